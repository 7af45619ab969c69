#include "ATolvane.h"

#include "AButton.h"
#include "AMatrix.h"
#include "AStatusLine.h"
#include "Clock.h"
#include "NotificationCenter.h"
#include "PanelTables.h"
#include "Preference.h"
#include "Preferences.h"

#include <QEvent>
#include <QTimer>

namespace {

constexpr int kAttachAttemptLimit = 40;                  // more than this many, and the wait is over
constexpr std::uint32_t kDevicePollMicroseconds = 50000; // between looks for the audio devices
constexpr int kTimerIntervalMilliseconds = 500;

Preference factoryDefaults()
{
    Preference p;
    p.m_fLevel[0] = p.m_fLevel[1] = 0.59f;
    p.m_fLevel[2] = p.m_fLevel[3] = 1.0f;
    p.m_nMute[0] = p.m_nMute[1] = 0;
    p.m_nLink[0] = 1;
    return p;
}

QString linkFlagKey()
{
    return QStringLiteral("%1%2").arg(QStringLiteral("ZorvexLinkKey")).arg(0);
}

} // namespace

UInt32 ATolvane::setupProperty()
{
    // The audio devices appear a little after the USB device; wait about two seconds for them.
    for (int attempts = 0;; ++attempts) {
        detectAudioDeviceID();
        if (fDeviceId[0] != kAudioDeviceUnknown) {
            if (attempts > kAttachAttemptLimit || fDeviceId[1] != kAudioDeviceUnknown)
                break;
        } else if (attempts > kAttachAttemptLimit) {
            return 0;
        }
        platform::usleep(kDevicePollMicroseconds);
    }
    if (fDeviceId[1] == kAudioDeviceUnknown)
        return 0;

    bool storedSettings = false;
    if (const CFPropertyList value = CFPreferencesCopyAppValue(linkFlagKey())) {
        SInt32 link = 0;
        storedSettings = CFNumberGetValue(*value, &link);
        currPreference.m_nLink[0] = storedSettings ? link : 0;
    } else {
        currPreference.m_nLink[0] = 1;
    }
    m_linkFlagRestored = true;

    for (const ListenerRow &row : ListenerTable)
        addSelector(row.selector, row.channel, row.property, static_cast<SInt8>(row.direction));

    // Attaching again for a second interface must not double the observations either.
    removeObservers();
    auto &workspace = platform::NotificationCenter::workspaceCenter();
    workspace.addObserver(this, NSWorkspaceWillSleepNotification, nullptr,
                          [this](const QString &name) { changedPowerState(name); });
    workspace.addObserver(this, NSWorkspaceDidWakeNotification, nullptr,
                          [this](const QString &name) { changedPowerState(name); });
    platform::NotificationCenter::defaultCenter().addObserver(this, NSWindowDidBecomeMainNotification, this,
                                                              [this](const QString &) { windowFocusing(); });

    // The meter has nothing to show, so its timer is made and dropped with the attach but never
    // started: a timer whose slot does nothing would only wake the process twice a second.
    stopTimer(fMeterTimer);
    fMeterTimer = new QTimer(this);
    fMeterTimer->setInterval(kTimerIntervalMilliseconds);
    connect(fMeterTimer, &QTimer::timeout, this, &ATolvane::updateMeterLevels);

    m_attached = true;
    if (storedSettings) {
        setPreference();
        refreshAllProperties();
    } else {
        setToFactoryDefaults(nullptr);
    }
    return 1;
}

void ATolvane::removeObservers()
{
    platform::NotificationCenter::defaultCenter().removeObserver(this, NSWindowDidBecomeMainNotification, this);
    auto &workspace = platform::NotificationCenter::workspaceCenter();
    workspace.removeObserver(this, NSWorkspaceDidWakeNotification, nullptr);
    workspace.removeObserver(this, NSWorkspaceWillSleepNotification, nullptr);
}

void ATolvane::saveLinkFlag()
{
    if (!m_linkFlagRestored)
        return;
    CFPreferencesSetAppValue(linkFlagKey(), QVariant::fromValue<qint32>(currPreference.m_nLink[0]));
    noteSettingsSaved(CFPreferencesAppSynchronize());
}

void ATolvane::unhookProperty()
{
    saveLinkFlag();
    for (const ListenerRow &row : ListenerTable)
        removeSelectorOnChannel(row.channel, row.property, static_cast<SInt8>(row.direction));

    removeObservers();

    stopTimer(fMeterTimer);
    // A sleep in progress must not keep sending commands to a device that is gone.
    stopTimer(fPowerTimer);
    fDeviceId = {kAudioDeviceUnknown, kAudioDeviceUnknown};
    m_attached = false;
    m_linkFlagRestored = false;
}

void ATolvane::changedPowerState(const QString &notificationName)
{
    // A second will-sleep replaces the running timer rather than leaving it behind.
    stopTimer(fPowerTimer);
    if (notificationName != NSWorkspaceWillSleepNotification)
        return;
    fPowerTimer = new QTimer(this);
    fPowerTimer->setInterval(kTimerIntervalMilliseconds);
    connect(fPowerTimer, &QTimer::timeout, this, &ATolvane::updatePowerState);
    fPowerTimer->start();
}

void ATolvane::stopTimer(QTimer *&timer)
{
    if (!timer)
        return;
    timer->stop();
    delete timer;
    timer = nullptr;
}

void ATolvane::setToFactoryDefaults(QObject *)
{
    currPreference = factoryDefaults();
    for (int i = 0; i < 4; ++i)
        appliedChannelLevel(i);
    for (int i = 0; i < 2; ++i)
        appliedChannelMute(i);
    setHwSampleRate(kFactorySampleRate, 1);
    setHwSampleRate(kFactorySampleRate, 0);
    setPreference();
    refreshAllProperties();
}

void ATolvane::refreshAllProperties()
{
    if (fChannelLink)
        // Shown by the rule the link follows: anything but exactly 1 is not linked.
        fChannelLink->setState(currPreference.m_nLink[0] == 1 ? 1 : 0);
    if (fChannelIn)
        fChannelIn->deselectAllCells();
    inputSampleRateChanged();
    outputSampleRateChanged();
    channel1LevelChanged();
    channel2LevelChanged();
    channel3LevelChanged();
    channel4LevelChanged();
    channel1MuteChanged();
    channel2MuteChanged();
}

// A change hook rather than an event() override: the window's event() also carries the
// read-back wake-ups posted from the notification thread, which the panel's code must not touch.
void ATolvane::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
        // Screen readers speak the title and the focused control on activation, not the status
        // line; and the reason said at start-up may have gone out before anyone listened.
        if (!m_attached && !m_shownReason.isEmpty() && fStatusLine)
            fStatusLine->announce(m_shownReason);
        platform::NotificationCenter::defaultCenter().postNotification(NSWindowDidBecomeMainNotification, this);
    }
}
