#include "ATolvane.h"

#include "AStatusLine.h"
#include "CoreAudio.h"
#include "Logging.h"
#include "PanelGlobals.h"

#include <vector>

namespace {
const std::string kCardName = "Zorvex";
} // namespace

bool soundCardPresent()
{
    bool present = false;
    const OSStatus status = forEachAudioDeviceNamed(kCardName, [&present](AudioDeviceID) { present = true; });
    if (status != noErr)
        qCWarning(lcAudio, "no audio system answers (status %d): is the sound server running?", status);
    return present;
}

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
        // Only the disabled window's own explanation is taken back; other news stays.
        if (fStatusLine->message() == m_shownReason)
            fStatusLine->setMessage({});
        m_shownReason.clear();
        return;
    }
    // Waiting for the sound card is not yet missing it: the last word stands meanwhile.
    if (m_pendingService)
        return;
    const QString reason = disabledReason();
    if (reason != m_shownReason)
        qCInfo(lcDiscovery) << "disabled:" << reason;
    m_shownReason = reason;
    fStatusLine->setMessage(reason);
}

void ATolvane::recheckSoundCard()
{
    // Kept while attached too, so that the window says the right thing after an unplug
    // whichever half of the interface leaves first.
    m_soundCardSeen = soundCardPresent();
    if (m_attached)
        return;
    if (m_soundCardSeen && m_pendingService)
        resumePendingAttach();
    else
        explainState();
}

void ATolvane::noteUserClientRefused(bool refused)
{
    m_userClientRefused = refused;
}
