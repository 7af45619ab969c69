#include "SimAudio.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace sim {

namespace {

constexpr Float32 kDecibelFloor = -96.0f;

using platform::putRecords;
using platform::putValue;
using platform::readValue;

template <class T>
std::vector<std::byte> toBytes(const T &value)
{
    const auto view = bytesOf(value);
    return {view.begin(), view.end()};
}

} // namespace

// Where a read is filled. While a size limit is in force the answer is built aside and only
// the allowed bytes reach the caller, so a limited read writes no byte past the size it reports.
class SimAudioSystem::ReadTarget {
public:
    ReadTarget(std::span<std::byte> caller, std::optional<UInt32> limit)
        : m_caller(caller)
        , m_limit(limit)
        , m_out(caller)
    {
        if (m_limit && *m_limit < caller.size()) {
            m_scratch.resize(caller.size());
            m_out = m_scratch;
        }
    }

    std::span<std::byte> out() const { return m_out; }

    // Hands the first `filled` bytes, cut to the limit, to the caller and journals them with
    // the call; returns how many.
    UInt32 deliver(UInt32 filled, AudioCall &call)
    {
        if (m_limit)
            filled = std::min(*m_limit, filled);
        if (m_out.data() != m_caller.data() && filled > 0)
            std::memcpy(m_caller.data(), m_out.data(), filled);
        call.data.assign(m_caller.begin(), m_caller.begin() + filled);
        return filled;
    }

private:
    std::span<std::byte> m_caller;
    std::optional<UInt32> m_limit;
    std::vector<std::byte> m_scratch;
    std::span<std::byte> m_out;
};

const char *toString(AudioOp op)
{
    switch (op) {
    case AudioOp::HardwareGetPropertyInfo: return "AudioHardwareGetPropertyInfo";
    case AudioOp::HardwareGetProperty: return "AudioHardwareGetProperty";
    case AudioOp::DeviceGetPropertyInfo: return "AudioDeviceGetPropertyInfo";
    case AudioOp::DeviceGetProperty: return "AudioDeviceGetProperty";
    case AudioOp::DeviceSetProperty: return "AudioDeviceSetProperty";
    case AudioOp::StreamGetProperty: return "AudioStreamGetProperty";
    case AudioOp::StreamSetProperty: return "AudioStreamSetProperty";
    case AudioOp::DeviceAddPropertyListener: return "AudioDeviceAddPropertyListener";
    case AudioOp::DeviceRemovePropertyListener: return "AudioDeviceRemovePropertyListener";
    }
    return "?";
}

Float32 AudioCall::floatValue() const
{
    return readValue<Float32>(data).value_or(0.0f);
}
UInt32 AudioCall::uintValue() const
{
    return readValue<UInt32>(data).value_or(0u);
}
AudioStreamBasicDescription AudioCall::formatValue() const
{
    return readValue<AudioStreamBasicDescription>(data).value_or(AudioStreamBasicDescription{});
}

// A square-law taper: full scale is 0 dB, half scale about -12 dB, silence at the floor.
Float32 defaultDecibelCurve(Float32 scalar)
{
    if (!(scalar > 0.0f))
        return kDecibelFloor;
    return std::max(kDecibelFloor, 40.0f * std::log10(scalar));
}

Float32 scalarForDecibels(const std::function<Float32(Float32)> &curve, Float32 decibels)
{
    if (std::isnan(decibels) || decibels <= curve(0.0f))
        return 0.0f;
    if (decibels >= curve(1.0f))
        return 1.0f;
    // The curve rises with the scalar; 32 halvings leave less than a float's step.
    Float32 low = 0.0f;
    Float32 high = 1.0f;
    for (int i = 0; i < 32; ++i) {
        const Float32 middle = (low + high) / 2.0f;
        (curve(middle) < decibels ? low : high) = middle;
    }
    return curve(high) - decibels <= decibels - curve(low) ? high : low;
}

std::vector<AudioStreamBasicDescription> DeviceConfig::standardFormats()
{
    using platform::linearPCMFormat;
    return {linearPCMFormat(44100, 16, 2), linearPCMFormat(44100, 24, 2), linearPCMFormat(48000, 16, 2),
            linearPCMFormat(48000, 24, 2), linearPCMFormat(96000, 24, 2)};
}

DeviceConfig DeviceConfig::zorvex()
{
    DeviceConfig config;
    config.output.physicalFormats = standardFormats();
    config.input.physicalFormats = standardFormats();
    return config;
}

SimAudioSystem::SimAudioSystem()
{
    m_notifier = std::thread([this] { notificationLoop(); });
    std::unique_lock lock(m_queueMutex);
    m_queueChanged.wait(lock, [this] { return m_notifierId != std::thread::id(); });
}

SimAudioSystem::~SimAudioSystem()
{
    {
        std::lock_guard lock(m_queueMutex);
        m_stopping = true;
    }
    m_queueChanged.notify_all();
    m_notifier.join();
}

AudioDeviceID SimAudioSystem::addDevice(DeviceConfig config)
{
    const AudioDeviceID id = addDeviceLocked(std::move(config));
    platform::AudioHardwarePropertyChanged(kAudioHardwarePropertyDevices);
    return id;
}

AudioDeviceID SimAudioSystem::addDeviceLocked(DeviceConfig config)
{
    std::lock_guard lock(m_stateMutex);
    Device device;
    device.id = AudioDeviceID{m_nextObjectId++};
    device.name = config.name;
    device.volumeSteps = std::max(0, config.volumeSteps);
    device.decibels = config.decibels ? config.decibels : defaultDecibelCurve;
    const SideConfig *configs[2] = {&config.output, &config.input};
    const bool present[2] = {config.hasOutput, config.hasInput};
    for (UInt32 direction = 0; direction < 2; ++direction) {
        Side &side = device.sides[direction];
        const SideConfig &sideConfig = *configs[direction];
        side.present = present[direction];
        if (!side.present)
            continue;
        const std::vector<UInt32> directions = sideConfig.streamDirections.value_or(std::vector<UInt32>{direction});
        for (UInt32 streamDirection : directions)
            side.streams.push_back({AudioStreamID{m_nextObjectId++}, streamDirection});
        side.physicalFormats = sideConfig.physicalFormats;
        if (sideConfig.initialFormat < side.physicalFormats.size())
            side.format = side.physicalFormats[sideConfig.initialFormat];
        for (Float32 &v : side.volume)
            v = storedVolume(device, 1.0f);
    }
    m_devices.push_back(std::move(device));
    return m_devices.back().id;
}

void SimAudioSystem::removeDevice(AudioDeviceID id)
{
    {
        std::lock_guard lock(m_stateMutex);
        std::erase_if(m_devices, [id](const Device &d) { return d.id == id; });
    }
    platform::AudioHardwarePropertyChanged(kAudioHardwarePropertyDevices);
}

Float32 SimAudioSystem::storedVolume(const Device &device, Float32 scalar) const
{
    if (std::isnan(scalar))
        scalar = 0.0f;
    scalar = std::clamp(scalar, 0.0f, 1.0f);
    if (device.volumeSteps == 0)
        return scalar;
    const Float32 steps = static_cast<Float32>(device.volumeSteps);
    return std::round(scalar * steps) / steps;
}

SimAudioSystem::Device *SimAudioSystem::findDevice(AudioDeviceID id)
{
    auto it = std::find_if(m_devices.begin(), m_devices.end(), [id](const Device &d) { return d.id == id; });
    return it == m_devices.end() ? nullptr : &*it;
}

const SimAudioSystem::Device *SimAudioSystem::findDevice(AudioDeviceID id) const
{
    return const_cast<SimAudioSystem *>(this)->findDevice(id);
}

SimAudioSystem::Side *SimAudioSystem::findSide(AudioDeviceID id, Boolean isInput)
{
    Device *device = findDevice(id);
    if (!device)
        return nullptr;
    Side &side = device->sides[isInput ? 1 : 0];
    return side.present ? &side : nullptr;
}

std::pair<SimAudioSystem::Device *, SimAudioSystem::Side *> SimAudioSystem::findStream(AudioStreamID id)
{
    for (Device &device : m_devices)
        for (Side &side : device.sides)
            for (const Stream &stream : side.streams)
                if (stream.id == id)
                    return {&device, &side};
    return {nullptr, nullptr};
}

// ---- journal and failures ----

OSStatus SimAudioSystem::begin(AudioCall &call)
{
    for (const Rule &rule : m_failures)
        if (rule.predicate(call))
            return rule.status;
    return noErr;
}

void SimAudioSystem::finish(AudioCall &&call, OSStatus status)
{
    call.status = status;
    if (m_journaling)
        m_journal.push_back(std::move(call));
}

std::optional<UInt32> SimAudioSystem::sizeOverride(const AudioCall &call) const
{
    for (const Rule &rule : m_sizes)
        if (rule.predicate(call))
            return rule.size;
    return std::nullopt;
}

std::vector<AudioCall> SimAudioSystem::journal() const
{
    std::lock_guard lock(m_stateMutex);
    return m_journal;
}

void SimAudioSystem::clearJournal()
{
    std::lock_guard lock(m_stateMutex);
    m_journal.clear();
}

void SimAudioSystem::failWhen(std::function<bool(const AudioCall &)> predicate, OSStatus status)
{
    std::lock_guard lock(m_stateMutex);
    m_failures.push_back({std::move(predicate), status, 0});
}

void SimAudioSystem::reportSizeWhen(std::function<bool(const AudioCall &)> predicate, UInt32 size)
{
    std::lock_guard lock(m_stateMutex);
    m_sizes.push_back({std::move(predicate), noErr, size});
}

void SimAudioSystem::clearFailures()
{
    std::lock_guard lock(m_stateMutex);
    m_failures.clear();
    m_sizes.clear();
}

void SimAudioSystem::setJournaling(bool enabled)
{
    std::lock_guard lock(m_stateMutex);
    m_journaling = enabled;
}

// ---- hardware ----

OSStatus SimAudioSystem::finishRead(AudioCall &&call, OSStatus status, ReadTarget &target, UInt32 &ioSize)
{
    if (status == noErr)
        ioSize = target.deliver(ioSize, call);
    finish(std::move(call), status);
    return status;
}

// A size answer is cut as a size rule says, and journalled, before the call ends.
OSStatus SimAudioSystem::finishSizeAnswer(AudioCall &&call, OSStatus status, UInt32 &outSize)
{
    if (status == noErr) {
        if (auto size = sizeOverride(call))
            outSize = *size;
        call.data = toBytes(outSize);
    }
    finish(std::move(call), status);
    return status;
}

OSStatus SimAudioSystem::hardwareGetPropertyInfo(AudioPropertyID property, UInt32 &outSize)
{
    std::lock_guard lock(m_stateMutex);
    AudioCall call{AudioOp::HardwareGetPropertyInfo, 0, 0, 0, property, 0, {}, noErr};
    OSStatus status = begin(call);
    if (status == noErr) {
        if (property == kAudioHardwarePropertyDevices)
            outSize = static_cast<UInt32>(m_devices.size() * sizeof(AudioDeviceID));
        else
            status = kAudioHardwareUnknownPropertyError;
    }
    return finishSizeAnswer(std::move(call), status, outSize);
}

OSStatus SimAudioSystem::hardwareGetProperty(AudioPropertyID property, UInt32 &ioSize, std::span<std::byte> outData)
{
    std::lock_guard lock(m_stateMutex);
    AudioCall call{AudioOp::HardwareGetProperty, 0, 0, 0, property, ioSize, {}, noErr};
    OSStatus status = begin(call);
    if (status == noErr) {
        if (property == kAudioHardwarePropertyDevices) {
            std::vector<AudioDeviceID> ids;
            for (const Device &d : m_devices)
                ids.push_back(d.id);
            ReadTarget target(outData, sizeOverride(call));
            putRecords(ids, ioSize, target.out());
            ioSize = target.deliver(ioSize, call);
        } else {
            status = kAudioHardwareUnknownPropertyError;
        }
    }
    finish(std::move(call), status);
    return status;
}

// ---- devices ----

OSStatus SimAudioSystem::deviceGetPropertyInfo(AudioDeviceID id, UInt32 channel, Boolean isInput,
                                               AudioPropertyID property, UInt32 &outSize)
{
    std::lock_guard lock(m_stateMutex);
    AudioCall call{AudioOp::DeviceGetPropertyInfo, toUInt32(id), channel, isInput, property, 0, {}, noErr};
    OSStatus status = begin(call);
    if (status == noErr) {
        Device *device = findDevice(id);
        Side *side = findSide(id, isInput);
        if (!device) {
            status = kAudioHardwareBadDeviceError;
        } else if (property == kAudioDevicePropertyDeviceNameCFString) {
            outSize = sizeof(CFStringRef);
        } else if (!side) {
            // A device without this side has no such property, like a real one.
            status = kAudioHardwareUnknownPropertyError;
        } else if (property == kAudioDevicePropertyStreams) {
            outSize = static_cast<UInt32>(side->streams.size() * sizeof(AudioStreamID));
        } else if (property == kAudioStreamPropertyPhysicalFormats) {
            outSize = static_cast<UInt32>(side->physicalFormats.size() * sizeof(AudioStreamBasicDescription));
        } else if (property == kAudioDevicePropertyStreamFormat) {
            outSize = sizeof(AudioStreamBasicDescription);
        } else if (property == kAudioDevicePropertyVolumeScalar || property == kAudioDevicePropertyVolumeDecibels
                   || property == kAudioDevicePropertyMute || property == kAudioDevicePropertyVolumeDecibelsToScalar) {
            outSize = 4;
        } else {
            status = kAudioHardwareUnknownPropertyError;
        }
    }
    return finishSizeAnswer(std::move(call), status, outSize);
}

OSStatus SimAudioSystem::deviceGetProperty(AudioDeviceID id, UInt32 channel, Boolean isInput, AudioPropertyID property,
                                           UInt32 &ioSize, std::span<std::byte> outData)
{
    std::lock_guard lock(m_stateMutex);
    AudioCall call{AudioOp::DeviceGetProperty, toUInt32(id), channel, isInput, property, ioSize, {}, noErr};
    OSStatus status = begin(call);
    const Device *device = findDevice(id);
    Side *side = findSide(id, isInput);
    ReadTarget target(outData, sizeOverride(call));
    auto putScalar = [&](const auto &value) { status = putValue(value, ioSize, target.out()); };
    if (status != noErr) {
    } else if (!device) {
        status = kAudioHardwareBadDeviceError;
    } else if (!side) {
        status = kAudioHardwareUnknownPropertyError;
    } else if (property == kAudioDevicePropertyVolumeScalar || property == kAudioDevicePropertyVolumeDecibels) {
        if (channel >= kChannels)
            status = kAudioHardwareUnknownPropertyError;
        else if (property == kAudioDevicePropertyVolumeScalar)
            putScalar(side->volume[channel]);
        else
            putScalar(device->decibels(side->volume[channel]));
    } else if (property == kAudioDevicePropertyVolumeDecibelsToScalar) {
        const std::optional<Float32> decibels = ioSize >= sizeof(Float32)
            ? readValue<Float32>(std::span<const std::byte>(outData.first(sizeof(Float32))))
            : std::nullopt;
        if (channel >= kChannels || !decibels)
            status = kAudioHardwareUnknownPropertyError;
        else
            putScalar(scalarForDecibels(device->decibels, *decibels));
    } else if (property == kAudioDevicePropertyMute) {
        if (channel != 0)
            status = kAudioHardwareUnknownPropertyError;
        else
            putScalar(side->mute);
    } else if (property == kAudioDevicePropertyStreams) {
        std::vector<AudioStreamID> ids;
        for (const Stream &s : side->streams)
            ids.push_back(s.id);
        putRecords(ids, ioSize, target.out());
    } else if (property == kAudioStreamPropertyPhysicalFormats) {
        putRecords(side->physicalFormats, ioSize, target.out());
    } else if (property == kAudioDevicePropertyStreamFormat) {
        putScalar(side->format);
    } else {
        status = kAudioHardwareUnknownPropertyError;
    }
    return finishRead(std::move(call), status, target, ioSize);
}

OSStatus SimAudioSystem::deviceGetName(AudioDeviceID id, UInt32 channel, Boolean isInput, AudioPropertyID property,
                                       UInt32 &ioSize, CFStringRef &outName)
{
    std::lock_guard lock(m_stateMutex);
    AudioCall call{AudioOp::DeviceGetProperty, toUInt32(id), channel, isInput, property, ioSize, {}, noErr};
    OSStatus status = begin(call);
    const Device *device = findDevice(id);
    if (status != noErr) {
    } else if (!device) {
        status = kAudioHardwareBadDeviceError;
    } else if (property != kAudioDevicePropertyDeviceNameCFString) {
        status = kAudioHardwareUnknownPropertyError;
    } else if (ioSize < sizeof(CFStringRef)) {
        status = kAudioHardwareBadPropertySizeError;
    } else if (!device->name) {
        status = kAudioHardwareUnspecifiedError;
    } else {
        outName = std::make_unique<const std::string>(*device->name);
        ioSize = sizeof(CFStringRef);
        for (char c : *device->name)
            call.data.push_back(static_cast<std::byte>(c));
    }
    finish(std::move(call), status);
    return status;
}

OSStatus SimAudioSystem::deviceSetProperty(AudioDeviceID id, UInt32 channel, Boolean isInput, AudioPropertyID property,
                                           std::span<const std::byte> data)
{
    std::vector<Notification> changes;
    OSStatus status = noErr;
    {
        std::lock_guard lock(m_stateMutex);
        AudioCall call{
            AudioOp::DeviceSetProperty, toUInt32(id), channel, isInput, property, static_cast<UInt32>(data.size()),
            {data.begin(), data.end()}, noErr};
        status = begin(call);
        const Device *device = findDevice(id);
        Side *side = findSide(id, isInput);
        if (status != noErr) {
        } else if (!device) {
            status = kAudioHardwareBadDeviceError;
        } else if (!side) {
            status = kAudioHardwareUnknownPropertyError;
        } else if (data.size() != 4) {
            status = kAudioHardwareBadPropertySizeError;
        } else if (property == kAudioDevicePropertyVolumeScalar) {
            if (channel >= kChannels) {
                status = kAudioHardwareUnknownPropertyError;
            } else {
                const Float32 stored = storedVolume(*device, *readValue<Float32>(data));
                changes = volumeChanges(*device, *side, isInput, channel, stored);
            }
        } else if (property == kAudioDevicePropertyMute) {
            const UInt32 mute = *readValue<UInt32>(data) != 0 ? 1 : 0;
            if (channel != 0) {
                status = kAudioHardwareUnknownPropertyError;
            } else if (mute != side->mute) {
                side->mute = mute;
                changes.push_back({id, channel, isInput, kAudioDevicePropertyMute});
            }
        } else {
            status = kAudioHardwareIllegalOperationError;
        }
        finish(std::move(call), status);
    }
    for (const Notification &n : changes)
        queueNotification(n);
    return status;
}

// ---- streams ----

OSStatus SimAudioSystem::streamGetProperty(AudioStreamID id, UInt32 channel, AudioPropertyID property, UInt32 &ioSize,
                                           std::span<std::byte> outData)
{
    std::lock_guard lock(m_stateMutex);
    AudioCall call{AudioOp::StreamGetProperty, toUInt32(id), channel, 0, property, ioSize, {}, noErr};
    OSStatus status = begin(call);
    auto [device, side] = findStream(id);
    ReadTarget target(outData, sizeOverride(call));
    auto put = [&](const auto &value) { status = putValue(value, ioSize, target.out()); };
    if (status != noErr) {
    } else if (!side) {
        status = kAudioHardwareBadStreamError;
    } else if (property == kAudioStreamPropertyDirection) {
        const auto it
            = std::find_if(side->streams.begin(), side->streams.end(), [id](const Stream &s) { return s.id == id; });
        put(it->direction);
    } else if (property == kAudioStreamPropertyPhysicalFormat) {
        put(side->format);
    } else {
        status = kAudioHardwareUnknownPropertyError;
    }
    return finishRead(std::move(call), status, target, ioSize);
}

OSStatus SimAudioSystem::streamSetProperty(AudioStreamID id, UInt32 channel, AudioPropertyID property,
                                           std::span<const std::byte> data)
{
    std::optional<Notification> change;
    OSStatus status = noErr;
    {
        std::lock_guard lock(m_stateMutex);
        AudioCall call{AudioOp::StreamSetProperty, toUInt32(id), channel, 0, property, static_cast<UInt32>(data.size()),
                       {data.begin(), data.end()}, noErr};
        status = begin(call);
        auto [device, side] = findStream(id);
        if (status != noErr) {
        } else if (!side) {
            status = kAudioHardwareBadStreamError;
        } else if (property != kAudioStreamPropertyPhysicalFormat) {
            status = kAudioHardwareIllegalOperationError;
        } else if (data.size() != sizeof(AudioStreamBasicDescription)) {
            status = kAudioHardwareBadPropertySizeError;
        } else {
            const auto format = *readValue<AudioStreamBasicDescription>(data);
            if (std::find(side->physicalFormats.begin(), side->physicalFormats.end(), format)
                == side->physicalFormats.end()) {
                status = kAudioDeviceUnsupportedFormatError;
            } else if (!(format == side->format)) {
                side->format = format;
                const Boolean isInput = side == &device->sides[1] ? 1 : 0;
                change = Notification{device->id, 0, isInput, kAudioDevicePropertyStreamFormat};
            }
        }
        finish(std::move(call), status);
    }
    if (change)
        queueNotification(*change);
    return status;
}

Float32 SimAudioSystem::volume(AudioDeviceID device, Boolean isInput, UInt32 channel) const
{
    std::lock_guard lock(m_stateMutex);
    const Side *side = const_cast<SimAudioSystem *>(this)->findSide(device, isInput);
    return side && channel < kChannels ? side->volume[channel] : 0.0f;
}

Float32 SimAudioSystem::decibels(AudioDeviceID device, Boolean isInput, UInt32 channel) const
{
    std::lock_guard lock(m_stateMutex);
    const Device *d = findDevice(device);
    const Side *side = const_cast<SimAudioSystem *>(this)->findSide(device, isInput);
    return d && side && channel < kChannels ? d->decibels(side->volume[channel]) : kDecibelFloor;
}

UInt32 SimAudioSystem::mute(AudioDeviceID device, Boolean isInput, UInt32 channel) const
{
    std::lock_guard lock(m_stateMutex);
    const Side *side = const_cast<SimAudioSystem *>(this)->findSide(device, isInput);
    return side && channel == 0 ? side->mute : 0;
}

AudioStreamBasicDescription SimAudioSystem::currentFormat(AudioDeviceID device, Boolean isInput) const
{
    std::lock_guard lock(m_stateMutex);
    const Side *side = const_cast<SimAudioSystem *>(this)->findSide(device, isInput);
    return side ? side->format : AudioStreamBasicDescription{};
}

std::vector<AudioStreamID> SimAudioSystem::streams(AudioDeviceID device, Boolean isInput) const
{
    std::lock_guard lock(m_stateMutex);
    std::vector<AudioStreamID> ids;
    if (const Side *side = const_cast<SimAudioSystem *>(this)->findSide(device, isInput))
        for (const Stream &s : side->streams)
            ids.push_back(s.id);
    return ids;
}

} // namespace sim
