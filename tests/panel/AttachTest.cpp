#include "AButton.h"
#include "AMatrix.h"
#include "ARoundButtonSlider.h"
#include "ATextField.h"
#include "DiscoveryHarness.h"
#include "NotificationCenter.h"
#include "PanelGlobals.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using sim::AudioCall;
using sim::AudioOp;

namespace {

float deviceStep(float value)
{
    return std::round(value * 127.0f) / 127.0f;
}

} // namespace

TEST(Attach, FirstAttachRestoresFactoryDefaults)
{
    DiscoveryHarness h;
    h.wake();
    const auto zorvex = h.plug();
    const AudioDeviceID device = h.bus->audioDevice(zorvex);
    ATolvane &p = *h.panel;

    ASSERT_TRUE(p.isAttached());
    EXPECT_EQ(p.windowTitle(), QStringLiteral("Zorvex"));
    EXPECT_EQ(p.fDeviceId[0], device);
    EXPECT_EQ(p.fDeviceId[1], device);
    EXPECT_EQ(p.currPreference.m_nLink[0], 1);

    // The device received the factory levels in level order, then the mutes, then the rates.
    std::vector<AudioCall> writes;
    for (const AudioCall &c : h.audio.journal())
        if (c.op == AudioOp::DeviceSetProperty || c.op == AudioOp::StreamSetProperty)
            writes.push_back(c);
    ASSERT_EQ(writes.size(), 8u);
    const float levels[] = {0.59f, 0.59f, 1.0f, 1.0f};
    const Boolean sides[] = {1, 1, 0, 0};
    const UInt32 channels[] = {1, 2, 1, 2};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(writes[i].property, kAudioDevicePropertyVolumeScalar);
        EXPECT_EQ(writes[i].floatValue(), levels[i]);
        EXPECT_EQ(writes[i].isInput, sides[i]);
        EXPECT_EQ(writes[i].channel, channels[i]);
    }
    EXPECT_EQ(writes[4].property, kAudioDevicePropertyMute);
    EXPECT_EQ(writes[4].isInput, 1);
    EXPECT_EQ(writes[4].uintValue(), 0u);
    EXPECT_EQ(writes[5].property, kAudioDevicePropertyMute);
    EXPECT_EQ(writes[5].isInput, 0);
    EXPECT_EQ(writes[6].object, toUInt32(h.audio.streams(device, 1).front())) << "input side first";
    EXPECT_EQ(writes[7].object, toUInt32(h.audio.streams(device, 0).front()));
    EXPECT_EQ(writes[6].formatValue().mSampleRate, 44100.0);
    EXPECT_EQ(writes[7].formatValue().mSampleRate, 44100.0);

    ASSERT_EQ(h.bus->hid(zorvex)->registerWrites().size(), 1u);
    EXPECT_EQ(h.bus->hid(zorvex)->registerWrites()[0].reg, 26);
    EXPECT_EQ(h.bus->hid(zorvex)->registerWrites()[0].data, 0);

    // The controls show what the device stored.
    EXPECT_EQ(p.fChannelLevel1->doubleValue(), static_cast<double>(deviceStep(0.59f)));
    EXPECT_EQ(p.fChannelLevel4->doubleValue(), 1.0);
    EXPECT_EQ(p.fChannelLink->state(), 1);
    EXPECT_EQ(p.fSampleRate->selectedCell()->tag(), 2);
    EXPECT_EQ(p.fSampleText->stringValue(), QStringLiteral("44100 Hz"));
    EXPECT_EQ(p.fChannelDB2->stringValue(), QStringLiteral("+0.0"));
    EXPECT_EQ(h.pauses(50000), 0u) << "the audio devices were there at once";
}

TEST(Attach, StoredFlagKeepsTheDevicesSettings)
{
    for (const qint32 stored : {0, 1, 2, -1}) {
        DiscoveryHarness h;
        h.storeLinkFlag(stored);
        h.wake();
        sim::USBDevice usb = sim::USBDevice::zorvex();
        usb.audio->volumeSteps = 0;
        const auto zorvex = h.bus->plug(usb);
        const AudioDeviceID device = h.bus->audioDevice(zorvex);
        h.audio.externalSetVolume(device, 1, 1, 0.25f);
        h.audio.externalSetMute(device, 0, 0, 1);
        h.audio.clearJournal();
        h.settle();

        ATolvane &p = *h.panel;
        ASSERT_TRUE(p.isAttached()) << stored;
        EXPECT_EQ(p.currPreference.m_nLink[0], stored);
        EXPECT_EQ(h.countCalls(AudioOp::DeviceSetProperty), 0u) << "no defaults are written";
        EXPECT_EQ(h.countCalls(AudioOp::StreamSetProperty), 0u);
        EXPECT_EQ(h.bus->hid(zorvex)->registerWrites().size(), 1u);
        EXPECT_EQ(p.fChannelLevel1->doubleValue(), 0.25);
        EXPECT_EQ(p.fChannelMute2->state(), 1);
        // The switch shows what the link does: only exactly 1 links.
        EXPECT_EQ(p.fChannelLink->state(), stored == 1 ? 1 : 0) << stored;
        p.fChannelLevel1->setDoubleValueNotLinked(0.5);
        p.setChannelLevel(p.fChannelLevel1);
        EXPECT_EQ(h.audio.volume(device, 1, 2) == 1.0f, stored != 1) << stored;
    }
}

TEST(Attach, UnreadableStoredFlagRestoresDefaults)
{
    for (const QVariant &stored : {QVariant(QStringLiteral("1")), QVariant(true), QVariant(1.5)}) {
        DiscoveryHarness h;
        h.storeLinkFlag(stored);
        h.wake();
        h.plug();
        ATolvane &p = *h.panel;
        ASSERT_TRUE(p.isAttached());
        EXPECT_EQ(p.currPreference.m_nLink[0], 1) << "factory defaults link the pairs";
        EXPECT_EQ(h.countCalls(AudioOp::StreamSetProperty), 2u) << stored.toString().toStdString();
    }
}

TEST(Attach, WaitsAboutTwoSecondsForASideThatNeverComes)
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
        EXPECT_EQ(h.countCalls(AudioOp::DeviceAddPropertyListener), 0u);
        EXPECT_TRUE(h.bus->hid(zorvex)->registerWrites().empty());
        EXPECT_EQ(p.HIDInterface(), nullptr) << "the failed attach ran the detach path";
    }
}

TEST(Attach, ListenersObserversAndMeterTimerComeAndGo)
{
    DiscoveryHarness h;
    h.wake();
    const auto zorvex = h.plug();
    ATolvane &p = *h.panel;
    EXPECT_EQ(h.audio.listenerCount(), 8u);
    EXPECT_EQ(platform::NotificationCenter::workspaceCenter().observerCount(&p), 2u);
    EXPECT_EQ(platform::NotificationCenter::defaultCenter().observerCount(&p), 1u);
    ASSERT_NE(p.fMeterTimer, nullptr);
    EXPECT_FALSE(p.fMeterTimer->isActive()) << "its slot does nothing: it must not wake the process";

    h.unplug(zorvex);
    EXPECT_EQ(h.audio.listenerCount(), 0u);
    EXPECT_EQ(platform::NotificationCenter::workspaceCenter().observerCount(&p), 0u);
    EXPECT_EQ(platform::NotificationCenter::defaultCenter().observerCount(&p), 0u);
    EXPECT_EQ(p.fMeterTimer, nullptr);
    EXPECT_EQ(p.fDeviceId[0], kAudioDeviceUnknown);
    EXPECT_EQ(p.fDeviceId[1], kAudioDeviceUnknown);
}

// A second interface attaches the panel again while it is attached; whichever of the two
// leaves first detaches it, and nothing stays registered for a panel that is gone.
TEST(Attach, TwoInterfacesNeverDoubleTheListenersAndLeaveNoneBehind)
{
    for (const bool firstLeavesFirst : {true, false}) {
        SCOPED_TRACE(firstLeavesFirst ? "first leaves first" : "second leaves first");
        DiscoveryHarness h;
        h.wake();
        const auto first = h.plug();
        const auto second = h.plug();
        ATolvane &p = *h.panel;
        EXPECT_TRUE(p.isAttached());
        EXPECT_EQ(h.audio.listenerCount(), 8u);
        EXPECT_EQ(platform::NotificationCenter::workspaceCenter().observerCount(&p), 2u);
        EXPECT_EQ(platform::NotificationCenter::defaultCenter().observerCount(&p), 1u);

        h.unplug(firstLeavesFirst ? first : second);
        EXPECT_EQ(h.audio.listenerCount(), 0u);
        const auto staying = firstLeavesFirst ? second : first;
        h.unplug(staying);
        EXPECT_EQ(h.audio.listenerCount(), 0u);
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

TEST(Attach, DetachWritesTheLinkFlagForTheNextAttach)
{
    DiscoveryHarness h;
    h.wake();
    auto zorvex = h.plug();
    ATolvane &p = *h.panel;
    p.enableControls(0);
    p.fChannelLink->click(); // linked by the defaults; now off
    EXPECT_EQ(p.currPreference.m_nLink[0], 0);
    h.unplug(zorvex);
    EXPECT_EQ(h.storedLinkFlag(), 0);

    h.audio.clearJournal();
    zorvex = h.plug();
    EXPECT_EQ(p.currPreference.m_nLink[0], 0);
    EXPECT_EQ(h.countCalls(AudioOp::StreamSetProperty), 0u) << "stored settings: no defaults";
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
    EXPECT_TRUE(CFPreferencesCopyAppValue(QStringLiteral("ZorvexLinkKey0")).has_value());
}

TEST(Attach, FailedAttachNeverOverwritesTheStoredFlag)
{
    DiscoveryHarness h;
    h.storeLinkFlag(1);
    h.wake();
    sim::USBDevice usb = sim::USBDevice::zorvex();
    usb.audio.reset(); // no audio device: the attach fails before the flag is read
    const auto zorvex = h.plug(usb);
    EXPECT_FALSE(h.panel->isAttached());
    h.unplug(zorvex);
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
    QTimer *const first = p.fPowerTimer;
    QMetaObject::invokeMethod(first, "timeout"); // one tick, without waiting half a second
    EXPECT_EQ(hid.registerWrites().size(), 1u);

    // A second will-sleep replaces the timer instead of leaving one that nothing stops.
    QPointer<QTimer> firstTimer = first;
    workspace.postNotification(NSWorkspaceWillSleepNotification);
    EXPECT_TRUE(firstTimer.isNull());
    ASSERT_NE(p.fPowerTimer, nullptr);

    workspace.postNotification(NSWorkspaceDidWakeNotification);
    EXPECT_EQ(p.fPowerTimer, nullptr);
    EXPECT_EQ(h.runningTimers(), 0u);

    // Going to sleep and then losing the device stops the timer too.
    workspace.postNotification(NSWorkspaceWillSleepNotification);
    h.unplug(zorvex);
    EXPECT_EQ(p.fPowerTimer, nullptr);
}

TEST(Attach, LinkFlagSurvivesARestartInTheUsersConfigurationFolder)
{
    QTemporaryDir home;
    const QByteArray savedConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", home.path().toUtf8());
    {
        DiscoveryHarness first;
        platform::setPreferencesDirectory(QString()); // the real location, under the temporary home
        first.wake();
        first.plug();
        first.panel->enableControls(0);
        first.panel->fChannelLink->click();
        ASSERT_EQ(first.panel->currPreference.m_nLink[0], 0);
        first.panel->applicationWillTerminate();
    }
    EXPECT_TRUE(QFile::exists(home.path() + QStringLiteral("/Orvanelle/zorvex-panel.json")));
    {
        DiscoveryHarness second;
        platform::setPreferencesDirectory(QString());
        second.wake();
        second.plug();
        EXPECT_EQ(second.panel->currPreference.m_nLink[0], 0);
        EXPECT_EQ(second.panel->fChannelLink->state(), 0);
        EXPECT_EQ(second.countCalls(AudioOp::StreamSetProperty), 0u) << "stored settings, not defaults";
    }
    if (savedConfig.isNull())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", savedConfig);
}
