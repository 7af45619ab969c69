#include "ATolvane.h"

#include "AStatusLine.h"
#include "CoreAudio.h"
#include "Logging.h"
#include "PanelGlobals.h"

#include <QTimer>
#include <vector>

namespace {

// While the window is disabled, how often it looks for a sound card that arrived without its
// HID device.
constexpr int kRecheckMilliseconds = 2000;

const std::string kCardName = "Zorvex";

// Whether the audio system lists a device of the interface's name.
bool soundCardPresent()
{
    bool present = false;
    const OSStatus status = forEachAudioDeviceNamed(kCardName, [&present](AudioDeviceID) { present = true; });
    if (status != noErr)
        qCWarning(lcAudio, "no audio system answers (status %d): is the sound server running?", status);
    return present;
}

} // namespace

QString ATolvane::disabledReason() const
{
    // What to do, in the user's words; the log and the README's troubleshooting name the nodes
    // and files behind each case.
    if (m_attached)
        return {};
    if (m_userClientRefused)
        return tr("The Zorvex is connected, but you may not use it yet. Unplug it and plug it in again; "
                  "if that does not help, reinstall the Zorvex panel.");
    if (reportedInterface())
        return tr("The Zorvex is connected, but its sound did not come up. Unplug it and plug it in again.");
    if (m_soundCardSeen)
        return tr("The Zorvex's sound is here, but not its controls. Unplug it and plug it in again.");
    return tr("Connect the Zorvex by USB");
}

void ATolvane::explainState()
{
    // Before discovery has reported what is already connected, and while quitting, there is
    // nothing true to say about why the window is disabled.
    if (!fStatusLine || !m_discoveryLooked || m_terminating)
        return;
    if (m_attached) {
        m_userClientRefused = false;
        if (m_recheckTimer)
            m_recheckTimer->stop();
        // Only the disabled window's own explanation is taken back; other news stays.
        if (fStatusLine->message() == m_shownReason)
            fStatusLine->setMessage({});
        if (!m_shownReason.isEmpty())
            fStatusLine->announce(tr("The Zorvex is connected."));
        m_shownReason.clear();
        return;
    }
    const QString reason = disabledReason();
    if (reason != m_shownReason) {
        qCInfo(lcDiscovery) << "disabled:" << reason;
        fStatusLine->setMessage(reason);
    }
    m_shownReason = reason;
    if (!m_recheckTimer) {
        m_recheckTimer = new QTimer(this);
        m_recheckTimer->setInterval(kRecheckMilliseconds);
        m_recheckTimer->setObjectName(QStringLiteral("soundCardRecheck"));
        connect(m_recheckTimer, &QTimer::timeout, this, &ATolvane::recheckSoundCard);
    }
    if (!m_recheckTimer->isActive())
        m_recheckTimer->start();
}

void ATolvane::recheckSoundCard()
{
    if (m_attached)
        return;
    m_soundCardSeen = soundCardPresent();
    explainState();
}

void ATolvane::noteUserClientRefused(bool refused)
{
    m_userClientRefused = refused;
}
