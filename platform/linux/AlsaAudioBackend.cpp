#include "AlsaAudioBackend.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace linuxbackends {

namespace {

using platform::putRecords;
using platform::putValue;
using platform::readValue;

// alsa-lib prints some failures to stderr by itself; here every failure is a status the
// caller sees, and the panel writes no log.
void quietAlsaErrors(const char *, int, const char *, int, const char *, ...)
{
}

bool isLevelProperty(AudioPropertyID property)
{
    return property == kAudioDevicePropertyVolumeScalar || property == kAudioDevicePropertyVolumeDecibels
        || property == kAudioDevicePropertyMute;
}

} // namespace

UniqueFd::~UniqueFd()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

UniqueFd &UniqueFd::operator=(UniqueFd &&other) noexcept
{
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
}

AlsaAudioBackend::AlsaAudioBackend(RateSources rateSources)
    : m_rates(std::move(rateSources), [this] { wake(); })
{
    snd_lib_error_set_handler(quietAlsaErrors);
    {
        std::lock_guard lock(m_stateMutex);
        refreshCards();
    }
    int fds[2] = {-1, -1};
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0)
        return; // no way to stop a poller: no notifications rather than a thread that never ends
    m_wakeRead = UniqueFd(fds[0]);
    m_wakeWrite = UniqueFd(fds[1]);
    m_thread = std::thread([this] { notificationLoop(); });
}

AlsaAudioBackend::~AlsaAudioBackend()
{
    {
        std::lock_guard lock(m_stateMutex);
        m_stopping = true;
    }
    wake();
    if (m_thread.joinable())
        m_thread.join();
    snd_lib_error_set_handler(nullptr);
}

void AlsaAudioBackend::refreshCards()
{
    std::vector<int> present;
    int index = -1;
    while (snd_card_next(&index) >= 0 && index >= 0)
        present.push_back(index);

    bool changed = false;
    for (auto it = m_cards.begin(); it != m_cards.end();) {
        const bool listed = std::find(present.begin(), present.end(), it->first) != present.end();
        if (listed && !it->second->lost()) {
            ++it;
            continue;
        }
        m_retired.push_back(std::move(it->second));
        it = m_cards.erase(it);
        changed = true;
    }
    for (int card : present) {
        if (m_cards.contains(card))
            continue;
        OSStatus status = noErr;
        // A card that cannot be opened now (permissions, going away) is tried again next time.
        if (std::unique_ptr<AlsaCard> opened = AlsaCard::open(card, status)) {
            m_cards.emplace(card, std::move(opened));
            changed = true;
        }
    }
    if (changed)
        wake();
}

AlsaCard *AlsaAudioBackend::findCard(AudioDeviceID device)
{
    const std::optional<int> index = cardForDeviceId(device);
    if (!index)
        return nullptr;
    const auto it = m_cards.find(*index);
    return it == m_cards.end() ? nullptr : it->second.get();
}

AlsaCard *AlsaAudioBackend::findSide(AudioDeviceID device, Boolean isInput, OSStatus &status)
{
    AlsaCard *card = findCard(device);
    if (!card) {
        status = kAudioHardwareBadDeviceError;
        return nullptr;
    }
    if (!card->hasSide(isInput)) {
        // A card without this side has no such property, as the system's audio devices answer.
        status = kAudioHardwareUnknownPropertyError;
        return nullptr;
    }
    status = noErr;
    return card;
}

std::vector<AudioDeviceID> AlsaAudioBackend::deviceIds() const
{
    std::vector<AudioDeviceID> ids;
    for (const auto &[index, card] : m_cards)
        ids.push_back(card->deviceId());
    return ids;
}

// ---- hardware ----

OSStatus AlsaAudioBackend::hardwareGetPropertyInfo(AudioPropertyID property, UInt32 &outSize)
{
    if (property != kAudioHardwarePropertyDevices)
        return kAudioHardwareUnknownPropertyError;
    std::lock_guard lock(m_stateMutex);
    refreshCards();
    outSize = static_cast<UInt32>(m_cards.size() * sizeof(AudioDeviceID));
    return noErr;
}

OSStatus AlsaAudioBackend::hardwareGetProperty(AudioPropertyID property, UInt32 &ioSize, std::span<std::byte> outData)
{
    if (property != kAudioHardwarePropertyDevices)
        return kAudioHardwareUnknownPropertyError;
    std::lock_guard lock(m_stateMutex);
    refreshCards();
    putRecords(deviceIds(), ioSize, outData);
    return noErr;
}

// ---- devices ----

OSStatus AlsaAudioBackend::deviceGetPropertyInfo(AudioDeviceID device, UInt32, Boolean isInput,
                                                 AudioPropertyID property, UInt32 &outSize)
{
    std::lock_guard lock(m_stateMutex);
    if (property == kAudioDevicePropertyDeviceNameCFString) {
        if (!findCard(device))
            return kAudioHardwareBadDeviceError;
        outSize = sizeof(CFStringRef);
        return noErr;
    }
    OSStatus status = noErr;
    AlsaCard *card = findSide(device, isInput, status);
    if (!card)
        return status;
    if (property == kAudioDevicePropertyStreams) {
        outSize = sizeof(AudioStreamID);
    } else if (property == kAudioStreamPropertyPhysicalFormats) {
        std::vector<AudioStreamBasicDescription> formats;
        if ((status = card->physicalFormats(isInput, formats)) != noErr)
            return status;
        outSize = static_cast<UInt32>(formats.size() * sizeof(AudioStreamBasicDescription));
    } else if (property == kAudioDevicePropertyStreamFormat) {
        outSize = sizeof(AudioStreamBasicDescription);
    } else if (isLevelProperty(property)) {
        outSize = sizeof(Float32);
    } else {
        return kAudioHardwareUnknownPropertyError;
    }
    return noErr;
}

OSStatus AlsaAudioBackend::deviceGetProperty(AudioDeviceID device, UInt32 channel, Boolean isInput,
                                             AudioPropertyID property, UInt32 &ioSize, std::span<std::byte> outData)
{
    std::lock_guard lock(m_stateMutex);
    OSStatus status = noErr;
    AlsaCard *card = findSide(device, isInput, status);
    if (!card)
        return status;
    if (property == kAudioDevicePropertyVolumeScalar || property == kAudioDevicePropertyVolumeDecibels) {
        if (ioSize < sizeof(Float32))
            return kAudioHardwareBadPropertySizeError;
        Float32 value = 0;
        status = property == kAudioDevicePropertyVolumeScalar ? card->volume(isInput, channel, value)
                                                              : card->decibels(isInput, channel, value);
        return status == noErr ? putValue(value, ioSize, outData) : status;
    }
    if (property == kAudioDevicePropertyVolumeDecibelsToScalar) {
        const std::optional<Float32> db
            = ioSize >= sizeof(Float32) ? platform::readValue<Float32>(outData.first(sizeof(Float32))) : std::nullopt;
        if (!db)
            return kAudioHardwareBadPropertySizeError;
        Float32 scalar = 0;
        status = card->scalarForDecibels(isInput, channel, *db, scalar);
        return status == noErr ? putValue(scalar, ioSize, outData) : status;
    }
    if (property == kAudioDevicePropertyMute) {
        if (channel != 0)
            return kAudioHardwareUnknownPropertyError;
        if (ioSize < sizeof(UInt32))
            return kAudioHardwareBadPropertySizeError;
        UInt32 muted = 0;
        status = card->mute(isInput, muted);
        return status == noErr ? putValue(muted, ioSize, outData) : status;
    }
    if (property == kAudioDevicePropertyStreams) {
        putRecords(std::vector<AudioStreamID>{streamIdFor(device, isInput)}, ioSize, outData);
        return noErr;
    }
    if (property == kAudioStreamPropertyPhysicalFormats) {
        std::vector<AudioStreamBasicDescription> formats;
        if ((status = card->physicalFormats(isInput, formats)) != noErr)
            return status;
        putRecords(formats, ioSize, outData);
        return noErr;
    }
    if (property == kAudioDevicePropertyStreamFormat) {
        if (ioSize < sizeof(AudioStreamBasicDescription))
            return kAudioHardwareBadPropertySizeError;
        const std::optional<UInt32> rate = sideRate(*card, isInput);
        if (!rate)
            return kAudioHardwareNotRunningError;
        return putValue(card->formatAt(isInput, *rate), ioSize, outData);
    }
    return kAudioHardwareUnknownPropertyError;
}

OSStatus AlsaAudioBackend::deviceGetName(AudioDeviceID device, UInt32, Boolean, AudioPropertyID property,
                                         UInt32 &ioSize, CFStringRef &outName)
{
    if (property != kAudioDevicePropertyDeviceNameCFString)
        return kAudioHardwareUnknownPropertyError;
    std::lock_guard lock(m_stateMutex);
    const AlsaCard *card = findCard(device);
    if (!card)
        return kAudioHardwareBadDeviceError;
    if (ioSize < sizeof(CFStringRef))
        return kAudioHardwareBadPropertySizeError;
    outName = std::make_unique<const std::string>(card->name());
    ioSize = sizeof(CFStringRef);
    return noErr;
}

OSStatus AlsaAudioBackend::deviceSetProperty(AudioDeviceID device, UInt32 channel, Boolean isInput,
                                             AudioPropertyID property, std::span<const std::byte> data)
{
    std::lock_guard lock(m_stateMutex);
    OSStatus status = noErr;
    AlsaCard *card = findSide(device, isInput, status);
    if (!card)
        return status;
    if (property == kAudioDevicePropertyVolumeScalar) {
        const std::optional<Float32> scalar = readValue<Float32>(data);
        return scalar ? card->setVolume(isInput, channel, *scalar) : kAudioHardwareBadPropertySizeError;
    }
    if (property == kAudioDevicePropertyMute) {
        if (channel != 0)
            return kAudioHardwareUnknownPropertyError;
        const std::optional<UInt32> muted = readValue<UInt32>(data);
        return muted ? card->setMute(isInput, *muted) : kAudioHardwareBadPropertySizeError;
    }
    return kAudioHardwareIllegalOperationError;
}

// ---- streams ----

std::optional<AlsaAudioBackend::StreamCard> AlsaAudioBackend::findStreamCard(AudioStreamID stream)
{
    const std::optional<StreamSide> side = sideForStreamId(stream);
    if (!side)
        return std::nullopt;
    AlsaCard *card = findCard(side->device);
    if (!card || !card->hasSide(side->direction))
        return std::nullopt;
    return StreamCard{card, *side};
}

OSStatus AlsaAudioBackend::streamGetProperty(AudioStreamID stream, UInt32, AudioPropertyID property, UInt32 &ioSize,
                                             std::span<std::byte> outData)
{
    std::lock_guard lock(m_stateMutex);
    const std::optional<StreamCard> found = findStreamCard(stream);
    if (!found)
        return kAudioHardwareBadStreamError;
    const auto [card, side] = *found;
    if (property == kAudioStreamPropertyDirection)
        return putValue(side.direction, ioSize, outData);
    if (property == kAudioStreamPropertyPhysicalFormat) {
        if (ioSize < sizeof(AudioStreamBasicDescription))
            return kAudioHardwareBadPropertySizeError;
        const std::optional<UInt32> rate = sideRate(*card, side.direction);
        if (!rate)
            return kAudioHardwareNotRunningError;
        return putValue(card->formatAt(side.direction, *rate), ioSize, outData);
    }
    return kAudioHardwareUnknownPropertyError;
}

OSStatus AlsaAudioBackend::streamSetProperty(AudioStreamID stream, UInt32, AudioPropertyID property,
                                             std::span<const std::byte> data)
{
    std::lock_guard lock(m_stateMutex);
    const std::optional<StreamCard> found = findStreamCard(stream);
    if (!found)
        return kAudioHardwareBadStreamError;
    const auto [card, side] = *found;
    if (property != kAudioStreamPropertyPhysicalFormat)
        return kAudioHardwareIllegalOperationError;
    const std::optional<AudioStreamBasicDescription> format = readValue<AudioStreamBasicDescription>(data);
    if (!format)
        return kAudioHardwareBadPropertySizeError;
    std::vector<AudioStreamBasicDescription> formats;
    if (const OSStatus status = card->physicalFormats(side.direction, formats); status != noErr)
        return status;
    if (!acceptsFormat(formats, *format))
        return kAudioDeviceUnsupportedFormatError;
    // The notification follows from the watch, once the rate has really moved.
    return m_rates.choose(static_cast<UInt32>(format->mSampleRate));
}

// ---- rates ----

std::optional<UInt32> AlsaAudioBackend::sideRate(const AlsaCard &card, UInt32 direction)
{
    const std::optional<int> pcm = card.pcmDevice(direction);
    if (!pcm)
        return std::nullopt;
    return m_rates.rate({card.deviceId(), static_cast<Boolean>(direction), card.index(), *pcm});
}

// ---- listeners and notifications ----

OSStatus AlsaAudioBackend::deviceAddPropertyListener(AudioDeviceID device, UInt32 channel, Boolean isInput,
                                                     AudioPropertyID property, AudioDevicePropertyListenerProc proc,
                                                     void *clientData)
{
    if (!proc)
        return kAudioHardwareIllegalOperationError;
    const Boolean side = isInput ? 1 : 0;
    {
        std::lock_guard lock(m_stateMutex);
        AlsaCard *card = findCard(device);
        if (!card)
            return kAudioHardwareBadDeviceError;
        if (property == kAudioDevicePropertyStreamFormat && card->hasSide(side)) {
            m_rates.listen({device, side, card->index(), *card->pcmDevice(side)});
            wake(); // the notification thread starts reading rates
        }
    }
    // Not under the state lock: a listener running on the notification thread may be reading
    // a property, which takes that lock, while it holds the listeners' own.
    m_listeners.add({device, channel, static_cast<Boolean>(isInput ? 1 : 0), property}, proc, clientData);
    return noErr;
}

OSStatus AlsaAudioBackend::deviceRemovePropertyListener(AudioDeviceID device, UInt32 channel, Boolean isInput,
                                                        AudioPropertyID property, AudioDevicePropertyListenerProc proc)
{
    // The card may have gone already; its registrations are removed all the same.
    const Boolean side = isInput ? 1 : 0;
    if (!m_listeners.remove({device, channel, side, property}, proc))
        return kAudioHardwareIllegalOperationError;
    if (property != kAudioDevicePropertyStreamFormat)
        return noErr;
    std::lock_guard lock(m_stateMutex);
    m_rates.unlisten(device, side);
    return noErr;
}

void AlsaAudioBackend::wake()
{
    if (m_wakeWrite.get() < 0)
        return;
    const char byte = 1;
    // A full pipe already holds a wake-up; nothing is lost when this write finds it full.
    [[maybe_unused]] const ssize_t written = ::write(m_wakeWrite.get(), &byte, 1);
}

void AlsaAudioBackend::notificationLoop()
{
    struct Range {
        AlsaCard *card;
        std::size_t start;
        std::size_t count;
    };
    std::vector<pollfd> fds;
    std::vector<Range> ranges;
    for (;;) {
        fds.clear();
        ranges.clear();
        int timeout = -1;
        {
            std::lock_guard lock(m_stateMutex);
            m_retired.clear();
            if (m_stopping)
                return;
            // Rates are read on the events that may move them; only while a listened side's
            // substream is open, on a clock as well, for the rate its opener may set later.
            if (const std::optional<std::chrono::milliseconds> due = m_rates.readAgainIn())
                timeout = static_cast<int>(due->count());
            fds.push_back({m_wakeRead.get(), POLLIN, 0});
            if (m_rates.descriptor() >= 0)
                fds.push_back({m_rates.descriptor(), POLLIN, 0});
            for (const auto &[index, card] : m_cards) {
                const std::size_t start = fds.size();
                const std::size_t count = card->appendPollDescriptors(fds);
                if (count > 0)
                    ranges.push_back({card.get(), start, count});
            }
        }

        if (::poll(fds.data(), static_cast<nfds_t>(fds.size()), timeout) < 0 && errno != EINTR)
            return; // only invalid arguments fail here; nothing later would succeed either

        if (fds[0].revents & POLLIN) {
            char drain[64];
            while (::read(m_wakeRead.get(), drain, sizeof drain) > 0) {}
        }

        std::vector<PropertyChange> changes;
        {
            std::lock_guard lock(m_stateMutex);
            if (m_stopping)
                return;
            for (const Range &range : ranges) {
                // A card dropped while this thread polled sits in m_retired: still alive, no
                // longer reported.
                const bool current = std::any_of(m_cards.begin(), m_cards.end(),
                                                 [&](const auto &entry) { return entry.second.get() == range.card; });
                if (current)
                    range.card->handleEvents(std::span(fds).subspan(range.start, range.count), changes);
            }
            const std::vector<PropertyChange> moved = m_rates.changes();
            changes.insert(changes.end(), moved.begin(), moved.end());
        }
        for (const PropertyChange &change : changes)
            m_listeners.dispatch(change);
    }
}

} // namespace linuxbackends
