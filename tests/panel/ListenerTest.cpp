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

} // namespace

// The output side and the input side on devices of their own: what another program changes on
// either reaches its own control, and nothing once the listeners are gone.
TEST(Listeners, ChangesMadeElsewhereMoveTheirControlsOnTheDeviceOfEachSide)
{
    sim::DeviceConfig out = PanelHarness::exactZorvex();
    out.hasInput = false;
    PanelHarness h(false, out);
    sim::DeviceConfig in = PanelHarness::exactZorvex();
    in.hasOutput = false;
    const AudioDeviceID input = h.audio.addDevice(in);
    h.panel->fDeviceId = {h.device, input};
    registerAll(*h.panel);
    EXPECT_EQ(h.audio.listenerCount(), ListenerTable.size());

    const float levels[] = {0.1f, 0.2f, 0.3f, 0.4f};
    const auto change = [&](int round) {
        for (std::size_t i = 0; i < 4; ++i)
            h.audio.externalSetVolume(i < 2 ? input : h.device, i < 2, i % 2 + 1, levels[i] + (round ? 0.5f : 0.0f));
        h.audio.externalSetMute(input, 1, 0, 1 - round);
        h.audio.externalSetMute(h.device, 0, 0, round);
        const AudioStreamBasicDescription f = platform::linearPCMFormat(round ? 48000 : 96000, 24, 2);
        AudioStreamSetProperty(h.audio.streams(h.device, 0).front(), nullptr, 0, kAudioStreamPropertyPhysicalFormat,
                               sizeof(f), bytesOf(f));
        h.settle();
    };
    change(0);
    for (std::size_t i = 0; i < 4; ++i)
        EXPECT_EQ(h.panel->fChannelLevel[i]->doubleValue(), static_cast<double>(levels[i])) << i;
    EXPECT_EQ(h.panel->fChannelMute1->state(), 1);
    EXPECT_EQ(h.panel->fChannelMute2->state(), 0);
    ASSERT_NE(h.panel->fSampleRate->selectedCell(), nullptr);
    EXPECT_EQ(h.panel->fSampleRate->selectedCell()->tag(), 0);

    removeAll(*h.panel);
    EXPECT_EQ(h.audio.listenerCount(), 0u) << "each removal reached the device of its registration";
    change(1);
    for (std::size_t i = 0; i < 4; ++i)
        EXPECT_EQ(h.panel->fChannelLevel[i]->doubleValue(), static_cast<double>(levels[i])) << i;
    EXPECT_EQ(h.panel->fChannelMute1->state(), 1);
    EXPECT_EQ(h.panel->fSampleRate->selectedCell()->tag(), 0);
}

TEST(Listeners, NotificationsOutsideTheTableDoNothingAndTheDeviceIdIsNotCompared)
{
    PanelHarness h;
    // A mute on input channel 1, a decibel change, a rate change on channel 1, the input's rate.
    EXPECT_EQ(PanelPropertyListener(h.device, 1, 1, kAudioDevicePropertyMute, h.panel.get()), noErr);
    EXPECT_EQ(PanelPropertyListener(h.device, 0, 1, kAudioDevicePropertyVolumeDecibels, h.panel.get()), noErr);
    EXPECT_EQ(PanelPropertyListener(h.device, 1, 0, kAudioDevicePropertyStreamFormat, h.panel.get()), noErr);
    EXPECT_EQ(PanelPropertyListener(h.device, 0, 1, kAudioDevicePropertyStreamFormat, h.panel.get()), noErr);
    QCoreApplication::processEvents();
    EXPECT_TRUE(h.audio.journal().empty());

    PanelPropertyListener(AudioDeviceID{0xDEAD}, 1, 0, kAudioDevicePropertyVolumeScalar, h.panel.get());
    const auto reads = h.calls(AudioOp::DeviceGetProperty);
    ASSERT_FALSE(reads.empty());
    EXPECT_EQ(reads[0].channel, 1u);
    EXPECT_EQ(reads[0].isInput, 0);
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
