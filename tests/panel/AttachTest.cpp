#include "AButton.h"
#include "AMatrix.h"
#include "ARoundButtonSlider.h"
#include "ATextField.h"
#include "DiscoveryHarness.h"
#include "NotificationCenter.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using sim::AudioOp;

namespace {

// The observations an attached panel holds: listeners, sleep and wake, window focus.
std::array<std::size_t, 3> observations(const DiscoveryHarness &h)
{
    return {h.audio.listenerCount(), platform::NotificationCenter::workspaceCenter().observerCount(h.panel.get()),
            platform::NotificationCenter::defaultCenter().observerCount(h.panel.get())};
}
constexpr std::array<std::size_t, 3> kAttached{8, 2, 1};
constexpr std::array<std::size_t, 3> kNone{0, 0, 0};

} // namespace

TEST(Attach, FirstAttachRestoresFactoryDefaultsOnTheDeviceAndShowsWhatItKept)
{
    DiscoveryHarness h;
    h.wake();
    const auto zorvex = h.bus->plug();
    const AudioDeviceID device = h.bus->audioDevice(zorvex);
    // Used elsewhere before: quiet, muted, at 96 kHz.
    for (const Boolean side : {Boolean{0}, Boolean{1}}) {
        h.audio.externalSetMute(device, side, 0, 1);
        for (const UInt32 channel : {1u, 2u})
            h.audio.externalSetVolume(device, side, channel, 0.1f);
        const AudioStreamBasicDescription f96 = platform::linearPCMFormat(96000, 24, 2);
        AudioStreamSetProperty(h.audio.streams(device, side).front(), nullptr, 0, kAudioStreamPropertyPhysicalFormat,
                               sizeof(f96), bytesOf(f96));
    }
    h.audio.clearJournal();
    h.settle();
    ATolvane &p = *h.panel;
    ASSERT_TRUE(p.isAttached());
    EXPECT_EQ(p.windowTitle(), QStringLiteral("Zorvex"));
    EXPECT_EQ(p.fDeviceId, (std::array<AudioDeviceID, 2>{device, device}));
    EXPECT_EQ(p.currPreference.m_nLink[0], 1);

    const float input = std::round(0.59f * 127.0f) / 127.0f; // the device's step
    const std::pair<Boolean, UInt32> faders[] = {{1, 1}, {1, 2}, {0, 1}, {0, 2}};
    for (std::size_t i = 0; i < 4; ++i) {
        const float expected = i < 2 ? input : 1.0f;
        EXPECT_EQ(h.audio.volume(device, faders[i].first, faders[i].second), expected) << i;
        EXPECT_EQ(p.fChannelLevel[i]->doubleValue(), static_cast<double>(expected)) << i;
    }
    for (const Boolean side : {Boolean{0}, Boolean{1}}) {
        EXPECT_EQ(h.audio.mute(device, side, 0), 0u);
        EXPECT_EQ(h.audio.currentFormat(device, side).mSampleRate, 44100.0);
    }
    const auto rates = h.calls(AudioOp::StreamSetProperty);
    ASSERT_EQ(rates.size(), 2u);
    EXPECT_EQ(rates[0].object, toUInt32(h.audio.streams(device, 1).front())) << "input side first";
    ASSERT_EQ(h.bus->hid(zorvex)->registerWrites().size(), 1u);
    EXPECT_EQ(h.bus->hid(zorvex)->registerWrites()[0].reg, 26);
    EXPECT_EQ(h.bus->hid(zorvex)->registerWrites()[0].data, 0);

    EXPECT_EQ(p.fChannelLink->state(), 1);
    EXPECT_EQ(p.fSampleRate->selectedCell()->tag(), 2);
    EXPECT_EQ(p.fSampleText->stringValue(), QStringLiteral("44100 Hz"));
    EXPECT_EQ(p.fChannelDB2->stringValue(), QStringLiteral("+0.0"));
    EXPECT_EQ(h.pauses(50000), 0u) << "the audio devices were there at once";
    EXPECT_EQ(observations(h), kAttached);
}

// A stored number keeps the device's own settings and is the link flag as it is; anything else
// stored is no setting at all, and the factory defaults are written. Only exactly 1 links.
TEST(Attach, AStoredNumberKeepsTheDevicesSettingsAndAnythingElseRestoresDefaults)
{
    const std::pair<QVariant, bool> cases[]
        = {{0, true}, {1, true}, {2, true}, {-1, true}, {QStringLiteral("1"), false}, {true, false}, {1.5, false}};
    for (const auto &[stored, kept] : cases) {
        SCOPED_TRACE(stored.toString().toStdString() + " " + stored.typeName());
        DiscoveryHarness h;
        h.storeLinkFlag(stored);
        h.wake();
        sim::USBDevice usb = sim::USBDevice::zorvex();
        usb.audio->volumeSteps = 0;
        const auto zorvex = h.bus->plug(usb);
        const AudioDeviceID device = h.bus->audioDevice(zorvex);
        // Each channel at a level of its own: the window must show each as the device keeps it.
        const std::array<float, 4> own{0.25f, 0.3f, 0.35f, 0.4f};
        for (std::size_t i = 0; i < 4; ++i)
            h.audio.externalSetVolume(device, i < 2, static_cast<UInt32>(i % 2 + 1), own[i]);
        h.audio.externalSetMute(device, 0, 0, 1);
        h.settle();

        ATolvane &p = *h.panel;
        ASSERT_TRUE(p.isAttached());
        const std::int32_t flag = kept ? stored.toInt() : 1;
        EXPECT_EQ(p.currPreference.m_nLink[0], flag);
        EXPECT_EQ(h.audio.volume(device, 1, 1), kept ? 0.25f : 0.59f);
        EXPECT_EQ(h.audio.mute(device, 0, 0), kept ? 1u : 0u);
        EXPECT_EQ(h.countCalls(AudioOp::StreamSetProperty), kept ? 0u : 2u);
        EXPECT_EQ(h.bus->hid(zorvex)->registerWrites().size(), 1u);
        for (std::size_t i = 0; i < 4; ++i)
            EXPECT_EQ(p.fChannelLevel[i]->doubleValue(), static_cast<double>(kept ? own[i] : i < 2 ? 0.59f : 1.0f));
        EXPECT_EQ(p.fChannelMute2->state(), kept ? 1 : 0);
        EXPECT_EQ(p.fChannelLink->state(), flag == 1 ? 1 : 0);
        p.fChannelLevel1->setDoubleValueNotLinked(0.5);
        p.setChannelLevel(p.fChannelLevel1);
        EXPECT_EQ(h.audio.volume(device, 1, 2) == 0.5f, flag == 1);
    }
}

TEST(Attach, WaitsAboutTwoSecondsForASideThatNeverComesThenDetaches)
{
    for (const bool inputMissing : {true, false}) {
        DiscoveryHarness h;
        h.wake();
        sim::USBDevice usb = sim::USBDevice::zorvex();
        (inputMissing ? usb.audio->hasInput : usb.audio->hasOutput) = false;
        const auto zorvex = h.plug(usb);
        ATolvane &p = *h.panel;
        EXPECT_FALSE(p.isAttached());
        EXPECT_EQ(h.pauses(50000), 41u);
        EXPECT_EQ(p.windowTitle(), QStringLiteral("Zorvex Disabled"));
        EXPECT_EQ(observations(h), kNone);
        EXPECT_TRUE(h.bus->hid(zorvex)->registerWrites().empty());
        EXPECT_EQ(p.HIDInterface(), nullptr) << "the failed attach ran the detach path";
    }
}

// A second interface attaches the panel again while it is attached; whichever of the two
// leaves first detaches it, and nothing stays registered for a panel that is gone.
TEST(Attach, ObservationsComeAndGoOnceWithOneInterfaceOrTwo)
{
    for (const int leavingFirst : {-1, 0, 1}) {
        SCOPED_TRACE(leavingFirst);
        DiscoveryHarness h;
        h.wake();
        const auto first = h.plug();
        ASSERT_NE(h.panel->fMeterTimer, nullptr);
        EXPECT_FALSE(h.panel->fMeterTimer->isActive()) << "its slot does nothing: it must not wake the process";
        if (leavingFirst < 0) {
            h.unplug(first);
            EXPECT_EQ(observations(h), kNone);
            EXPECT_EQ(h.panel->fMeterTimer, nullptr);
            EXPECT_EQ(h.panel->fDeviceId[0], kAudioDeviceUnknown);
            EXPECT_EQ(h.panel->fDeviceId[1], kAudioDeviceUnknown);
            continue;
        }
        const auto second = h.plug();
        EXPECT_EQ(observations(h), kAttached);
        h.unplug(leavingFirst == 0 ? first : second);
        EXPECT_EQ(observations(h), kNone);
        h.unplug(leavingFirst == 0 ? second : first);
        EXPECT_EQ(observations(h), kNone);
    }

    // Destroyed while attached to both, with the audio system still running.
    DiscoveryHarness h;
    h.wake();
    h.plug();
    const auto second = h.plug();
    h.panel.reset();
    EXPECT_EQ(h.audio.listenerCount(), 0u);
    h.audio.notify(h.bus->audioDevice(second), 1, 1, kAudioDevicePropertyVolumeScalar);
    h.settle();
}

// The link flag is written when it changes, at detach and at quit, to the user's configuration folder, and the
// next attach (in this run or the next) keeps the device's settings.
TEST(Attach, TheLinkFlagIsStoredAtDetachAndQuitAndSurvivesARestart)
{
    QTemporaryDir home;
    const QByteArray savedConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", home.path().toUtf8());
    {
        DiscoveryHarness first;
        platform::setPreferencesDirectory(QString()); // the real location, under the temporary home
        first.wake();
        auto zorvex = first.plug();
        first.panel->enableControls(0);
        first.panel->fChannelLink->click(); // linked by the defaults; now off
        EXPECT_EQ(first.storedLinkFlag(), 0) << "stored when changed: a kill before the detach keeps it";
        first.storeLinkFlag(1);
        first.unplug(zorvex);
        EXPECT_EQ(first.storedLinkFlag(), 0);
        first.audio.clearJournal();
        first.plug();
        EXPECT_EQ(first.panel->currPreference.m_nLink[0], 0);
        EXPECT_EQ(first.countCalls(AudioOp::StreamSetProperty), 0u) << "stored settings: no defaults";
        first.panel->fChannelLink->click(); // on again
        first.storeLinkFlag(0);
        first.panel->applicationWillTerminate();
    }
    EXPECT_TRUE(QFile::exists(home.path() + QStringLiteral("/Orvanelle/zorvex-panel.json")));
    {
        DiscoveryHarness second;
        platform::setPreferencesDirectory(QString());
        second.wake();
        second.plug();
        EXPECT_EQ(second.panel->currPreference.m_nLink[0], 1);
        EXPECT_EQ(second.panel->fChannelLink->state(), 1);
        EXPECT_EQ(second.countCalls(AudioOp::StreamSetProperty), 0u) << "stored settings, not defaults";
    }
    savedConfig.isNull() ? qunsetenv("XDG_CONFIG_HOME") : qputenv("XDG_CONFIG_HOME", savedConfig);
}

// The link flag that could not be saved is said once on stderr and shown in the window until
// a later save succeeds.
TEST(Attach, AFailedSaveOfTheLinkFlagIsShownUntilASaveSucceeds)
{
    DiscoveryHarness h;
    h.wake();
    ATolvane &p = *h.panel;
    // A path that takes no write, whoever runs the test (a read-only folder does not stop root).
    const QByteArray file = QFile::encodeName(platform::preferencesFilePath());
    ASSERT_EQ(::mkfifo(file.constData(), 0600), 0);

    testing::internal::CaptureStderr();
    h.unplug(h.plug());
    h.unplug(h.plug());
    const std::string said = testing::internal::GetCapturedStderr();
    std::size_t lines = 0;
    for (std::size_t at = said.find("zorvex-panel:"); at != std::string::npos; at = said.find("zorvex-panel:", at + 1))
        ++lines;
    EXPECT_EQ(lines, 2u) << "the path, then the failed save, each once:\n" << said;
    EXPECT_NE(said.find("could not save the link setting"), std::string::npos) << said;
    EXPECT_EQ(p.settingsNote(), QStringLiteral("The link setting could not be saved."));

    ASSERT_EQ(::unlink(file.constData()), 0);
    h.unplug(h.plug());
    EXPECT_TRUE(p.settingsNote().isEmpty());
    EXPECT_EQ(h.storedLinkFlag(), 1);
}

TEST(Attach, AFailedAttachNeverOverwritesTheStoredFlag)
{
    DiscoveryHarness h;
    h.storeLinkFlag(1);
    h.wake();
    sim::USBDevice usb = sim::USBDevice::zorvex();
    usb.audio.reset(); // no audio device: the attach fails before the flag is read
    h.unplug(h.plug(usb));
    h.panel->applicationWillTerminate();
    EXPECT_EQ(h.storedLinkFlag(), 1) << "the fresh panel's record (0) must not replace the user's choice";
}

// Idle, nothing may wake the process: no timer runs while disabled or attached, and the sleep
// timer runs only while the system sleeps.
TEST(Attach, SleepSendsTheCommandUntilWakeAndNoOtherTimerRuns)
{
    DiscoveryHarness h;
    h.wake();
    h.settle();
    EXPECT_EQ(h.runningTimers(), 0u) << "disabled";
    const auto zorvex = h.plug();
    ATolvane &p = *h.panel;
    ASSERT_TRUE(p.isAttached());
    EXPECT_EQ(h.runningTimers(), 0u) << "attached";
    sim::SimHIDDevice &hid = *h.bus->hid(zorvex);
    hid.clear();
    auto &workspace = platform::NotificationCenter::workspaceCenter();

    workspace.postNotification(NSWorkspaceWillSleepNotification);
    ASSERT_NE(p.fPowerTimer, nullptr);
    EXPECT_TRUE(p.fPowerTimer->isActive());
    EXPECT_EQ(h.runningTimers(), 1u) << "the sleep timer alone";
    EXPECT_EQ(p.fPowerTimer->interval(), 500);
    EXPECT_TRUE(hid.registerWrites().empty()) << "the first command waits for the timer";
    QPointer<QTimer> first = p.fPowerTimer;
    QMetaObject::invokeMethod(first, "timeout"); // one tick, without waiting half a second
    EXPECT_EQ(hid.registerWrites().size(), 1u);

    // A second will-sleep replaces the timer instead of leaving one that nothing stops.
    workspace.postNotification(NSWorkspaceWillSleepNotification);
    EXPECT_TRUE(first.isNull());
    ASSERT_NE(p.fPowerTimer, nullptr);
    workspace.postNotification(NSWorkspaceDidWakeNotification);
    EXPECT_EQ(p.fPowerTimer, nullptr);
    EXPECT_EQ(h.runningTimers(), 0u);

    workspace.postNotification(NSWorkspaceWillSleepNotification);
    h.unplug(zorvex);
    EXPECT_EQ(p.fPowerTimer, nullptr);
}
