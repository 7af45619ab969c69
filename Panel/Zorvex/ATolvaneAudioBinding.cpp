#include "ATolvane.h"

#include "CoreAudio.h"
#include "PanelGlobals.h"
#include "PanelTables.h"

#include <QThread>
#include <optional>
#include <utility>
#include <vector>

const std::array<ListenerRow, 8> ListenerTable = {{
    {"inputSampleRateChanged", &ATolvane::inputSampleRateChanged, 0, kAudioDevicePropertyStreamFormat, 1},
    {"outputSampleRateChanged", &ATolvane::outputSampleRateChanged, 0, kAudioDevicePropertyStreamFormat, 0},
    {"channel1LevelChanged", &ATolvane::channel1LevelChanged, 1, kAudioDevicePropertyVolumeScalar, 1},
    {"channel2LevelChanged", &ATolvane::channel2LevelChanged, 2, kAudioDevicePropertyVolumeScalar, 1},
    {"channel3LevelChanged", &ATolvane::channel3LevelChanged, 1, kAudioDevicePropertyVolumeScalar, 0},
    {"channel4LevelChanged", &ATolvane::channel4LevelChanged, 2, kAudioDevicePropertyVolumeScalar, 0},
    {"channel1MuteChanged", &ATolvane::channel1MuteChanged, 0, kAudioDevicePropertyMute, 1},
    {"channel2MuteChanged", &ATolvane::channel2MuteChanged, 0, kAudioDevicePropertyMute, 0},
}};

namespace {
const std::string kDeviceName = "Zorvex";
}

OSStatus forEachAudioDeviceNamed(const std::string &wanted, const std::function<void(AudioDeviceID)> &found)
{
    UInt32 size = 0;
    if (const OSStatus status = AudioHardwareGetPropertyInfo(kAudioHardwarePropertyDevices, &size, nullptr);
        status != noErr)
        return status;
    // Whole ids only, whatever size the system reports.
    std::vector<AudioDeviceID> devices(size / sizeof(AudioDeviceID));
    if (devices.empty())
        return noErr;
    size = static_cast<UInt32>(devices.size() * sizeof(AudioDeviceID));
    if (const OSStatus status
        = AudioHardwareGetProperty(kAudioHardwarePropertyDevices, &size, std::as_writable_bytes(std::span(devices)));
        status != noErr)
        return status;
    devices.resize(size / sizeof(AudioDeviceID));

    for (AudioDeviceID device : devices) {
        CFStringRef name;
        UInt32 nameSize = sizeof(CFStringRef);
        if (AudioDeviceGetProperty(device, kAudioPropertyWildcardChannel, 0, kAudioDevicePropertyDeviceNameCFString,
                                   &nameSize, &name)
                == noErr
            && name && *name == wanted)
            found(device);
    }
    return noErr;
}

UInt32 ATolvane::detectAudioDeviceID()
{
    // Every device of that exact name is classified; a later one overwrites an earlier one's
    // side.
    (void)forEachAudioDeviceNamed(kDeviceName, [this](AudioDeviceID device) { detectAudioDeviceIDSub(device); });
    return 0;
}

UInt32 ATolvane::detectAudioDeviceIDSub(AudioDeviceID device)
{
    for (UInt32 pass = 0; pass < 2; ++pass) {
        const auto isInput = static_cast<Boolean>(pass);
        UInt32 size = 0;
        if (AudioDeviceGetPropertyInfo(device, 0, isInput, kAudioDevicePropertyStreams, &size, nullptr) != noErr
            || size == 0)
            continue;
        std::vector<AudioStreamID> streams(size / sizeof(AudioStreamID));
        if (streams.empty())
            continue;
        size = static_cast<UInt32>(streams.size() * sizeof(AudioStreamID));
        if (AudioDeviceGetProperty(device, 0, isInput, kAudioDevicePropertyStreams, &size,
                                   std::as_writable_bytes(std::span(streams)))
                != noErr
            || size < sizeof(AudioStreamID))
            continue;
        UInt32 direction = 0;
        UInt32 directionSize = sizeof(direction);
        if (AudioStreamGetProperty(streams.front(), 0, kAudioStreamPropertyDirection, &directionSize,
                                   bytesOf(direction))
            != noErr)
            continue;
        // The first stream's own direction decides the side, not the pass that found it.
        fDeviceId[direction != 0 ? 1 : 0] = device;
    }
    return 0;
}

void ATolvane::addSelector(void (ATolvane::*)(), UInt32 channel, AudioPropertyID property, SInt8 direction)
{
    // The selector is not kept: dispatch looks the method up in the table.
    const std::size_t side = direction ? 1 : 0;
    const auto isInput = static_cast<Boolean>(direction);
    const std::optional<std::size_t> row = listenerRow(channel, property, isInput);
    if (row && m_listenerDevice[*row] != kAudioDeviceUnknown) {
        // Attached again (a second interface): the row follows the device now bound.
        if (m_listenerDevice[*row] == fDeviceId[side])
            return;
        removeSelectorOnChannel(channel, property, direction);
    }
    const OSStatus status
        = AudioDeviceAddPropertyListener(fDeviceId[side], channel, isInput, property, PanelPropertyListener, this);
    if (row && status == noErr)
        m_listenerDevice[*row] = fDeviceId[side];
}

void ATolvane::removeSelectorOnChannel(UInt32 channel, AudioPropertyID property, SInt8 direction)
{
    const auto isInput = static_cast<Boolean>(direction);
    const std::optional<std::size_t> row = listenerRow(channel, property, isInput);
    if (!row)
        return;
    const AudioDeviceID device = std::exchange(m_listenerDevice[*row], kAudioDeviceUnknown);
    if (device == kAudioDeviceUnknown)
        return;
    AudioDeviceRemovePropertyListener(device, channel, isInput, property, PanelPropertyListener);
    // Once the removal has returned no new notification arrives; read-backs already queued for
    // this row are made stale here so that none reaches the panel afterwards.
    std::lock_guard lock(m_pendingMutex);
    ++m_listenerGeneration[*row];
}

void ATolvane::performReadBack(std::size_t row)
{
    if (row >= ListenerTable.size())
        return;
    if (QThread::currentThread() == thread()) {
        (this->*ListenerTable[row].selector)();
        return;
    }
    bool wake = false;
    {
        std::lock_guard lock(m_pendingMutex);
        wake = m_pending.empty();
        m_pending.push_back({row, m_listenerGeneration[row]});
    }
    // One wake-up per batch: a storm of notifications costs one event, not one per
    // notification; the batch itself crosses threads only under the mutex. Invoked by name: the
    // typed form allocates a slot object on this thread that the GUI thread then reads, handed
    // over inside Qt where ThreadSanitizer cannot see the ordering, and it reports a race.
    if (wake)
        QMetaObject::invokeMethod(this, "drainReadBacks", Qt::QueuedConnection);
}

void ATolvane::drainReadBacks()
{
    std::vector<PendingReadBack> batch;
    {
        std::lock_guard lock(m_pendingMutex);
        batch.swap(m_pending);
    }
    for (const PendingReadBack &pending : batch) {
        {
            std::lock_guard lock(m_pendingMutex);
            if (m_listenerGeneration[pending.row] != pending.generation)
                continue;
        }
        // An exception must not unwind through the event loop.
        try {
            (this->*ListenerTable[pending.row].selector)();
        } catch (...) {
        }
    }
}

std::optional<std::size_t> listenerRow(UInt32 channel, AudioPropertyID property, Boolean isInput)
{
    for (std::size_t i = 0; i < ListenerTable.size(); ++i) {
        const ListenerRow &row = ListenerTable[i];
        if (row.property == property && row.channel == channel && row.direction == static_cast<UInt8>(isInput))
            return i;
    }
    return std::nullopt;
}

OSStatus PanelPropertyListener(AudioDeviceID, UInt32 channel, Boolean isInput, AudioPropertyID property,
                               void *clientData)
{
    auto *panel = static_cast<ATolvane *>(clientData);
    if (!panel)
        return noErr;
    // Matched here, on the notifying thread; the read-back itself runs on the window's thread.
    // Nothing may escape into the caller's thread.
    try {
        if (const std::optional<std::size_t> row = listenerRow(channel, property, isInput))
            panel->performReadBack(*row);
    } catch (...) {
    }
    return noErr;
}
