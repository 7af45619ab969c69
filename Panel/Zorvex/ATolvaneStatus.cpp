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
        // Only the disabled window's own explanation is taken back; other news stays.
        if (fStatusLine->message() == m_shownReason)
            fStatusLine->setMessage({});
        if (!m_shownReason.isEmpty())
            fStatusLine->announce(tr("The Zorvex is connected."));
        m_shownReason.clear();
        return;
    }
    // Waiting for the sound card is not yet missing it: the last word stands meanwhile.
    if (m_pendingService)
        return;
    const QString reason = disabledReason();
    if (reason != m_shownReason) {
        qCInfo(lcDiscovery) << "disabled:" << reason;
        fStatusLine->setMessage(reason);
    }
    m_shownReason = reason;
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
    else if (m_soundCardSeen && m_lateCardService)
        attachWithLateSoundCard();
    else
        explainState();
}

void ATolvane::noteUserClientRefused(bool refused)
{
    m_userClientRefused = refused;
}
