#include "ARoundButtonSlider.h"
#include "PanelHarness.h"
#include "PanelTables.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>
#include <thread>

using sim::AudioCall;
using sim::AudioOp;

namespace {

std::size_t countReads(const PanelHarness &h, UInt32 channel, AudioPropertyID property, Boolean isInput)
{
    std::size_t n = 0;
    for (const AudioCall &c : h.audio.journal())
        n += c.op == AudioOp::DeviceGetProperty && c.channel == channel && c.property == property
            && c.isInput == isInput;
    return n;
}

} // namespace

// The simulator's thread floods the panel with notifications while the window's thread moves
// a fader: every notification leads to exactly one read-back, on the window's thread, and the
// fader's own writes and reads go on undisturbed.
TEST(ListenerStorm, EveryNotificationLeadsToExactlyOneReadBack)
{
    constexpr int kNotifications = 4000;
    constexpr int kFaderMoves = 300;

    PanelHarness h(true, PanelHarness::exactZorvex());
    for (const ListenerRow &row : ListenerTable)
        h.panel->addSelector(row.selector, row.channel, row.property, static_cast<SInt8>(row.direction));
    h.audio.clearJournal();

    std::thread producer([&] {
        for (int i = 0; i < kNotifications; ++i) {
            if (i % 2 == 0)
                h.audio.notify(h.device, 1, 0, kAudioDevicePropertyVolumeScalar); // output channel 1
            else
                h.audio.notify(h.device, 0, 0, kAudioDevicePropertyMute); // output master mute
        }
    });
    for (int i = 0; i < kFaderMoves; ++i) {
        h.panel->fChannelLevel1->setDoubleValueNotLinked((i % 100) / 100.0);
        h.panel->setChannelLevel(h.panel->fChannelLevel1);
        QCoreApplication::processEvents();
    }
    producer.join();
    h.audio.waitForNotifications();

    // Bounded: the queued read-backs are all posted by now; drain them.
    QElapsedTimer guard;
    guard.start();
    while (countReads(h, 0, kAudioDevicePropertyMute, 0) < kNotifications / 2 && guard.elapsed() < 20000)
        QCoreApplication::processEvents();
    QCoreApplication::processEvents();

    EXPECT_EQ(countReads(h, 1, kAudioDevicePropertyVolumeScalar, 0), std::size_t{kNotifications / 2});
    EXPECT_EQ(countReads(h, 0, kAudioDevicePropertyMute, 0), std::size_t{kNotifications / 2});
    // Each move reads its channel back once itself, and once more when the device's change
    // notification for it comes back (every move changes the value).
    EXPECT_EQ(countReads(h, 1, kAudioDevicePropertyVolumeScalar, 1), std::size_t{2 * kFaderMoves});
    EXPECT_EQ(h.panel->currPreference.m_fLevel[0], h.audio.volume(h.device, 1, 1));

    for (const ListenerRow &row : ListenerTable)
        h.panel->removeSelectorOnChannel(row.channel, row.property, static_cast<SInt8>(row.direction));
}
