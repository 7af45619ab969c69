#include "AButton.h"
#include "AMatrix.h"
#include "ARoundButtonSlider.h"
#include "PanelHarness.h"
#include "PanelTables.h"

#include <gtest/gtest.h>

using sim::AudioCall;
using sim::AudioOp;

namespace {

void registerAll(ATolvane &panel)
{
    for (const ListenerRow &row : ListenerTable)
        panel.addSelector(row.selector, row.channel, row.property, static_cast<SInt8>(row.direction));
}

void removeAll(ATolvane &panel)
{
    for (const ListenerRow &row : ListenerTable)
        panel.removeSelectorOnChannel(row.channel, row.property, static_cast<SInt8>(row.direction));
}

// What each row's read-back reads first: (channel, property, input side), or nothing.
std::optional<std::tuple<UInt32, AudioPropertyID, Boolean>> firstRead(const PanelHarness &h)
{
    for (const AudioCall &c : h.audio.journal())
        if (c.op == AudioOp::DeviceGetProperty || c.op == AudioOp::DeviceGetPropertyInfo)
            return std::make_tuple(c.channel, c.property, c.isInput);
    return std::nullopt;
}

} // namespace

TEST(Listeners, RegistrationFollowsTheTableOnTheBoundSides)
{
    sim::DeviceConfig out = sim::DeviceConfig::zorvex();
    out.hasInput = false;
    PanelHarness h(false, out);
    sim::DeviceConfig in = sim::DeviceConfig::zorvex();
    in.hasOutput = false;
    const AudioDeviceID input = h.audio.addDevice(in);
    h.panel->fDeviceId = {h.device, input};
    registerAll(*h.panel);
    const auto adds = h.calls(AudioOp::DeviceAddPropertyListener);
    ASSERT_EQ(adds.size(), 8u);
    for (std::size_t i = 0; i < 8; ++i) {
        EXPECT_EQ(adds[i].channel, ListenerTable[i].channel);
        EXPECT_EQ(adds[i].property, ListenerTable[i].property);
        EXPECT_EQ(adds[i].isInput, ListenerTable[i].direction);
        EXPECT_EQ(adds[i].object, toUInt32(ListenerTable[i].direction ? input : h.device)) << i;
    }
    removeAll(*h.panel);
    const auto removes = h.calls(AudioOp::DeviceRemovePropertyListener);
    ASSERT_EQ(removes.size(), 8u);
    for (std::size_t i = 0; i < 8; ++i)
        EXPECT_EQ(removes[i].object, adds[i].object) << "each removal reaches the device of its registration";
    EXPECT_EQ(h.audio.listenerCount(), 0u);
}

TEST(Listeners, EachRowReachesItsReadBack)
{
    using Read = std::tuple<UInt32, AudioPropertyID, Boolean>;
    const std::optional<Read> expected[] = {
        std::nullopt, // the input rate is not shown
        Read{0, kAudioDevicePropertyStreams, 0},
        Read{1, kAudioDevicePropertyVolumeScalar, 1},
        Read{2, kAudioDevicePropertyVolumeScalar, 1},
        Read{1, kAudioDevicePropertyVolumeScalar, 0},
        Read{2, kAudioDevicePropertyVolumeScalar, 0},
        Read{0, kAudioDevicePropertyMute, 1},
        Read{0, kAudioDevicePropertyMute, 0},
    };
    PanelHarness h;
    registerAll(*h.panel);
    for (std::size_t i = 0; i < ListenerTable.size(); ++i) {
        h.audio.clearJournal();
        const ListenerRow &row = ListenerTable[i];
        h.audio.notify(h.device, row.channel, row.direction, row.property);
        h.settle();
        EXPECT_EQ(firstRead(h), expected[i]) << row.selectorName;
    }
    removeAll(*h.panel);
}

TEST(Listeners, ChangesMadeElsewhereMoveTheControls)
{
    PanelHarness h(true, PanelHarness::exactZorvex());
    registerAll(*h.panel);
    h.audio.externalSetVolume(h.device, 1, 2, 0.3f);
    h.audio.externalSetMute(h.device, 1, 0, 1);
    h.settle();
    EXPECT_EQ(h.panel->fChannelLevel2->doubleValue(), static_cast<double>(0.3f));
    EXPECT_EQ(h.panel->fChannelMute1->state(), 1);

    // Another program switching the output side's rate moves the selector.
    h.audio.clearJournal();
    const AudioStreamID stream = h.audio.streams(h.device, 0).front();
    const AudioStreamBasicDescription f96 = platform::linearPCMFormat(96000, 24, 2);
    AudioStreamSetProperty(stream, nullptr, 0, kAudioStreamPropertyPhysicalFormat, sizeof(f96), bytesOf(f96));
    h.settle();
    ASSERT_NE(h.panel->fSampleRate->selectedCell(), nullptr);
    EXPECT_EQ(h.panel->fSampleRate->selectedCell()->tag(), 0);
    removeAll(*h.panel);
}

TEST(Listeners, NotificationsOutsideTheTableDoNothingAndTheDeviceIdIsNotCompared)
{
    PanelHarness h;
    // A mute on input channel 1, a decibel change, a rate change on channel 1.
    EXPECT_EQ(PanelPropertyListener(h.device, 1, 1, kAudioDevicePropertyMute, h.panel.get()), noErr);
    EXPECT_EQ(PanelPropertyListener(h.device, 0, 1, kAudioDevicePropertyVolumeDecibels, h.panel.get()), noErr);
    EXPECT_EQ(PanelPropertyListener(h.device, 1, 0, kAudioDevicePropertyStreamFormat, h.panel.get()), noErr);
    QCoreApplication::processEvents();
    EXPECT_TRUE(h.audio.journal().empty());

    PanelPropertyListener(AudioDeviceID{0xDEAD}, 1, 0, kAudioDevicePropertyVolumeScalar, h.panel.get());
    ASSERT_TRUE(firstRead(h).has_value());
    EXPECT_EQ(std::get<0>(*firstRead(h)), 1u);
    EXPECT_EQ(std::get<2>(*firstRead(h)), 0);
}

TEST(Listeners, NothingReachesThePanelAfterRemovalAndRegisteringAgainDeliversAgain)
{
    PanelHarness h;
    registerAll(*h.panel);
    // Notifications delivered but whose read-backs are still queued when the listeners go.
    for (int i = 0; i < 20; ++i)
        h.audio.notify(h.device, 1, 1, kAudioDevicePropertyVolumeScalar);
    h.audio.waitForNotifications();
    removeAll(*h.panel);
    h.audio.notify(h.device, 1, 1, kAudioDevicePropertyVolumeScalar);
    h.audio.clearJournal();
    h.settle();
    EXPECT_TRUE(h.calls(AudioOp::DeviceGetProperty).empty());

    registerAll(*h.panel);
    h.audio.clearJournal();
    h.audio.notify(h.device, 0, 0, kAudioDevicePropertyMute);
    h.settle();
    EXPECT_EQ(h.calls(AudioOp::DeviceGetProperty).size(), 1u);
    removeAll(*h.panel);
}
