#include "AButton.h"
#include "AMatrix.h"
#include "ATextField.h"
#include "PanelHarness.h"

#include <QAccessible>
#include <QApplication>
#include <QTest>

#include <gtest/gtest.h>

using platform::linearPCMFormat;
using sim::AudioCall;
using sim::AudioOp;

namespace {

AButton *cellWithTag(AMatrix *matrix, int tag)
{
    for (AButton *cell : matrix->cells())
        if (cell->tag() == tag)
            return cell;
    return nullptr;
}

int selectedTag(const ATolvane &panel)
{
    const AButton *cell = panel.fSampleRate->selectedCell();
    return cell ? cell->tag() : -1;
}

// The device lists these formats on both sides, in this order.
sim::DeviceConfig withFormats(std::vector<AudioStreamBasicDescription> output,
                              std::vector<AudioStreamBasicDescription> input)
{
    sim::DeviceConfig config = sim::DeviceConfig::zorvex();
    config.output.physicalFormats = std::move(output);
    config.input.physicalFormats = std::move(input);
    return config;
}

} // namespace

TEST(SampleRateSet, AClickSetsTheFirstListedFormatAtTheRateInputSideFirst)
{
    const std::vector<AudioStreamBasicDescription> formats
        = {linearPCMFormat(44100, 16, 2), linearPCMFormat(48000, 24, 2), linearPCMFormat(48000, 16, 2),
           linearPCMFormat(96000, 24, 2)};
    PanelHarness h(true, withFormats(formats, formats));
    h.panel->enableControls(0);
    cellWithTag(h.panel->fSampleRate, 1)->click();

    const auto writes = h.calls(AudioOp::StreamSetProperty);
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[0].object, toUInt32(h.audio.streams(h.device, 1).front()));
    EXPECT_EQ(writes[1].object, toUInt32(h.audio.streams(h.device, 0).front()));
    for (const Boolean side : {Boolean{0}, Boolean{1}})
        EXPECT_EQ(h.audio.currentFormat(h.device, side), linearPCMFormat(48000, 24, 2)) << "the first 48000 record";
    EXPECT_EQ(selectedTag(*h.panel), 1);
}

// Each side is set on its own: a side that does not list the rate (exactly), or whose stream or
// format list cannot be read, is left alone, and the other side still changes.
TEST(SampleRateSet, ASideThatCannotTakeTheRateIsLeftAloneAndTheOtherStillChanges)
{
    const AudioStreamBasicDescription almost = linearPCMFormat(47999.99, 24, 2);
    struct Case {
        const char *what;
        std::vector<AudioStreamBasicDescription> inputFormats;
        std::function<bool(const AudioCall &)> fails;
    };
    const Case cases[] = {
        {"not listed", {linearPCMFormat(44100, 16, 2)}, {}},
        {"listed at 47999.99", {almost}, {}},
        {"no stream list", sim::DeviceConfig::standardFormats(),
         [](const AudioCall &c) { return c.isInput == 1 && c.property == kAudioDevicePropertyStreams; }},
        {"no format list", sim::DeviceConfig::standardFormats(),
         [](const AudioCall &c) { return c.isInput == 1 && c.property == kAudioStreamPropertyPhysicalFormats; }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        PanelHarness h(true, withFormats(sim::DeviceConfig::standardFormats(), c.inputFormats));
        const AudioStreamBasicDescription inputBefore = h.audio.currentFormat(h.device, 1);
        if (c.fails)
            h.audio.failWhen(c.fails);
        h.panel->setHwSampleRate(48000, 1);
        h.panel->setHwSampleRate(48000, 0);
        EXPECT_EQ(h.audio.currentFormat(h.device, 1), inputBefore);
        EXPECT_EQ(h.audio.currentFormat(h.device, 0).mSampleRate, 48000.0);
    }
}

TEST(SampleRateSet, TagsOutsideTheTableRequest44100)
{
    for (int tag : {3, -1, 1000}) {
        PanelHarness h;
        h.panel->setHwSampleRate(96000, 0);
        AButton sender;
        sender.setTag(tag);
        h.panel->setSampleRate(&sender);
        EXPECT_EQ(h.audio.currentFormat(h.device, 0).mSampleRate, 44100.0) << tag;
        EXPECT_EQ(h.audio.currentFormat(h.device, 1).mSampleRate, 44100.0) << tag;
    }
}

TEST(SampleRateSet, ReadsWholeFormatRecordsOnly)
{
    PanelHarness h;
    // 100 bytes announced: two whole 40-byte records and a fragment that must not be read.
    h.audio.reportSizeWhen(
        [](const AudioCall &c) {
            return c.op == AudioOp::DeviceGetPropertyInfo && c.property == kAudioStreamPropertyPhysicalFormats;
        },
        100);
    h.panel->setHwSampleRate(44100, 0);
    const auto reads = h.calls(AudioOp::DeviceGetProperty);
    ASSERT_FALSE(reads.empty());
    EXPECT_EQ(reads.back().property, kAudioStreamPropertyPhysicalFormats);
    EXPECT_EQ(reads.back().size, 80u);
    EXPECT_EQ(h.calls(AudioOp::StreamSetProperty).size(), 1u);

    h.audio.clearJournal();
    h.panel->setHwSampleRate(96000, 0);
    EXPECT_TRUE(h.calls(AudioOp::StreamSetProperty).empty()) << "96000 is the fifth record, beyond the two read";
}

TEST(SampleRateShow, ReadBackClassesSelectTagAndText)
{
    const std::pair<double, int> cases[] = {{92000, 1}, {92001, 0},  {46001, 1}, {46000, 2}, {44099.9, 2}, {88200, 1},
                                            {32000, 2}, {192000, 0}, {96000, 0}, {48000, 1}, {44100, 2}};
    const char *texts[] = {"96000 Hz", "48000 Hz", "44100 Hz"};
    for (const auto &[rate, tag] : cases) {
        const AudioStreamBasicDescription format = linearPCMFormat(rate, 24, 2);
        PanelHarness h(true, withFormats({format}, {format}));
        h.panel->outputSampleRateChanged();
        EXPECT_EQ(selectedTag(*h.panel), tag) << rate;
        EXPECT_EQ(h.panel->fSampleText->stringValue().toStdString(), texts[tag]) << rate;
    }
}

// Only the output side is shown. A failed read leaves selector and text as they were (48 kHz
// here, which no fault would produce); where no rate applies, nothing is selected and the
// text says so, with its explanation only as long as that state lasts.
TEST(SampleRateShow, OnlyTheOutputSideIsShownAndAFailedReadOrNoRateShowNothingInvented)
{
    PanelHarness h(true, withFormats({linearPCMFormat(96000, 24, 2)}, {linearPCMFormat(44100, 24, 2)}));
    h.panel->inputSampleRateChanged();
    EXPECT_EQ(selectedTag(*h.panel), -1);
    EXPECT_TRUE(h.audio.journal().empty());

    h.panel->fSampleRate->selectCellWithTag(1);
    h.panel->fSampleText->setStringValue(QStringLiteral("48000 Hz"));
    const auto failFormatReads = [&h](OSStatus status) {
        h.audio.clearFailures();
        h.audio.failWhen([](const AudioCall &c) { return c.property == kAudioStreamPropertyPhysicalFormat; }, status);
        h.panel->outputSampleRateChanged();
    };
    failFormatReads(kAudioHardwareUnspecifiedError);
    EXPECT_EQ(selectedTag(*h.panel), 1);
    EXPECT_EQ(h.panel->fSampleText->stringValue(), QStringLiteral("48000 Hz"));

    failFormatReads(kAudioHardwareNotRunningError);
    EXPECT_EQ(selectedTag(*h.panel), -1) << "no rate is invented";
    EXPECT_EQ(h.panel->fSampleText->stringValue(), QStringLiteral("No rate"));
    EXPECT_FALSE(h.panel->fSampleText->toolTip().isEmpty());

    h.audio.clearFailures();
    h.panel->outputSampleRateChanged();
    EXPECT_EQ(selectedTag(*h.panel), 0);
    EXPECT_EQ(h.panel->fSampleText->stringValue().toStdString(), "96000 Hz");
    EXPECT_TRUE(h.panel->fSampleText->toolTip().isEmpty()) << "the explanation goes with the state it explained";
}

TEST(SampleRateSet, AChoiceThatWentNowhereShowsTheRunningRateAndSaysWhy)
{
    const std::pair<OSStatus, const char *> cases[] = {{kAudioHardwareNotRunningError, "No sound server"},
                                                       {kAudioHardwareIllegalOperationError, "Server keeps rate"},
                                                       {kAudioHardwareUnspecifiedError, "Rate unchanged"}};
    for (const auto &[status, text] : cases) {
        PanelHarness h;
        h.panel->enableControls(0);
        h.panel->outputSampleRateChanged();
        const int running = selectedTag(*h.panel);
        h.audio.failWhen([](const AudioCall &c) { return c.op == AudioOp::StreamSetProperty; }, status);
        cellWithTag(h.panel->fSampleRate, running == 0 ? 1 : 0)->click();
        EXPECT_EQ(h.calls(AudioOp::StreamSetProperty).size(), 2u) << text;
        EXPECT_EQ(selectedTag(*h.panel), running) << "the choice is not shown as taken";
        EXPECT_EQ(h.panel->fSampleText->stringValue().toStdString(), text);
        EXPECT_FALSE(h.panel->fSampleText->toolTip().isEmpty()) << text;
    }
}

TEST(SampleRateMatrix, IsOneTabStopWhoseArrowKeysChooseAndReturnPresses)
{
    PanelHarness h;
    h.panel->enableControls(0);
    h.panel->outputSampleRateChanged();
    h.panel->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(h.panel.get()));
    h.panel->activateWindow();
    AMatrix *m = h.panel->fSampleRate;
    const auto tabStops = [m] {
        std::vector<int> tags;
        for (AButton *cell : m->cells())
            if (cell->focusPolicy() & Qt::TabFocus)
                tags.push_back(cell->tag());
        return tags;
    };
    EXPECT_EQ(tabStops(), std::vector<int>{2}) << "the running rate's cell";
    cellWithTag(m, 2)->setFocus();
    struct Step {
        Qt::Key key;
        int tag;
        Float64 rate;
    };
    // Up from the bottom cell, round past the top, then back down.
    for (const Step s : {Step{Qt::Key_Up, 1, 48000}, Step{Qt::Key_Up, 0, 96000}, Step{Qt::Key_Up, 2, 44100},
                         Step{Qt::Key_Down, 0, 96000}}) {
        h.audio.clearJournal();
        QTest::keyClick(QApplication::focusWidget(), s.key);
        ASSERT_NE(m->selectedCell(), nullptr);
        EXPECT_EQ(m->selectedCell()->tag(), s.tag);
        EXPECT_EQ(QApplication::focusWidget(), m->selectedCell()) << "the focus moves with the choice";
        EXPECT_EQ(tabStops(), std::vector<int>{s.tag});
        const auto writes = h.calls(AudioOp::StreamSetProperty);
        ASSERT_EQ(writes.size(), 2u) << s.tag;
        EXPECT_EQ(writes[1].formatValue().mSampleRate, s.rate);
    }
    QAccessibleInterface *cell = QAccessible::queryAccessibleInterface(cellWithTag(m, 1));
    EXPECT_EQ(cell->role(), QAccessible::RadioButton);
    EXPECT_TRUE(cell->state().checkable && !cell->state().checked);

    cellWithTag(m, 1)->setFocus();
    QTest::keyClick(cellWithTag(m, 1), Qt::Key_Return);
    EXPECT_EQ(m->selectedCell()->tag(), 1);
    EXPECT_TRUE(cell->state().checked);
}
