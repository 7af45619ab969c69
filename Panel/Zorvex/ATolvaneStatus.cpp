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
    if (m_attached)
        return {};
    if (m_userClientRefused)
        return tr("No permission to use the Zorvex's HID device: install the udev rule 70-zorvex.rules, "
                  "then unplug and replug the Zorvex.");
    if (reportedInterface())
        return tr("The Zorvex's HID device is here, but not its sound card \"Zorvex\" "
                  "(see /proc/asound/cards).");
    if (m_soundCardSeen)
        return tr("The sound card \"Zorvex\" is here, but not its HID device (see /dev/hidraw*).");
    return tr("Connect the Zorvex by USB");
}

void ATolvane::explainState()
{
    if (!fStatusLine)
        return;
    if (m_attached) {
        m_userClientRefused = false;
        if (m_recheckTimer)
            m_recheckTimer->stop();
        // Only the disabled window's own explanation is taken back; other news stays.
        if (fStatusLine->message() == m_shownReason)
            fStatusLine->setMessage({});
        m_shownReason.clear();
        return;
    }
    const QString reason = disabledReason();
    if (reason != m_shownReason)
        qCInfo(lcDiscovery) << "disabled:" << reason;
    m_shownReason = reason;
    fStatusLine->setMessage(reason);
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
