#include "CoreAudio.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <vector>

namespace {
std::atomic<AudioHardwareBackend *> gBackend{nullptr};

struct HardwareListener {
    AudioPropertyID property{};
    AudioHardwarePropertyListenerProc proc = nullptr;
    void *clientData = nullptr;
};
// Held across a dispatch, so that a removal waits for a call in progress; recursive, so that
// a listener may add or remove registrations while it runs.
std::recursive_mutex gHardwareListenersMutex;
std::vector<HardwareListener> gHardwareListeners;

// A size larger than the buffer behind it would let the backend write past the caller's
// storage; such a call is refused before it reaches the backend.
bool fits(const UInt32 *size, std::size_t bufferBytes)
{
    return size != nullptr && *size <= bufferBytes;
}
} // namespace

std::string fourCCString(AudioPropertyID id)
{
    const UInt32 v = toUInt32(id);
    std::string s(4, ' ');
    for (int i = 0; i < 4; ++i) {
        const char c = static_cast<char>((v >> (24 - 8 * i)) & 0xFF);
        s[static_cast<std::size_t>(i)] = (c >= 0x20 && c < 0x7F) ? c : '?';
    }
    return s;
}

void SetAudioHardwareBackend(AudioHardwareBackend *backend)
{
    gBackend.store(backend);
}

OSStatus AudioHardwareGetPropertyInfo(AudioPropertyID property, UInt32 *outSize, Boolean *outWritable)
{
    auto *backend = gBackend.load();
    if (!backend)
        return kAudioHardwareNotRunningError;
    UInt32 size = 0;
    const OSStatus status = backend->hardwareGetPropertyInfo(property, size);
    if (outSize)
        *outSize = size;
    if (outWritable)
        *outWritable = 0;
    return status;
}

OSStatus AudioHardwareGetProperty(AudioPropertyID property, UInt32 *ioSize, std::span<std::byte> outData)
{
    auto *backend = gBackend.load();
    if (!backend)
        return kAudioHardwareNotRunningError;
    if (!fits(ioSize, outData.size()))
        return kAudioHardwareBadPropertySizeError;
    return backend->hardwareGetProperty(property, *ioSize, outData.first(*ioSize));
}

OSStatus AudioDeviceGetPropertyInfo(AudioDeviceID device, UInt32 channel, Boolean isInput, AudioPropertyID property,
                                    UInt32 *outSize, Boolean *outWritable)
{
    auto *backend = gBackend.load();
    if (!backend)
        return kAudioHardwareNotRunningError;
    UInt32 size = 0;
    const OSStatus status = backend->deviceGetPropertyInfo(device, channel, isInput, property, size);
    if (outSize)
        *outSize = size;
    if (outWritable)
        *outWritable = 0;
    return status;
}

OSStatus AudioDeviceGetProperty(AudioDeviceID device, UInt32 channel, Boolean isInput, AudioPropertyID property,
                                UInt32 *ioSize, std::span<std::byte> outData)
{
    auto *backend = gBackend.load();
    if (!backend)
        return kAudioHardwareNotRunningError;
    if (!fits(ioSize, outData.size()))
        return kAudioHardwareBadPropertySizeError;
    return backend->deviceGetProperty(device, channel, isInput, property, *ioSize, outData.first(*ioSize));
}

OSStatus AudioDeviceGetProperty(AudioDeviceID device, UInt32 channel, Boolean isInput, AudioPropertyID property,
                                UInt32 *ioSize, CFStringRef *outName)
{
    auto *backend = gBackend.load();
    if (!backend)
        return kAudioHardwareNotRunningError;
    if (!ioSize || !outName)
        return kAudioHardwareBadPropertySizeError;
    return backend->deviceGetName(device, channel, isInput, property, *ioSize, *outName);
}

OSStatus AudioDeviceSetProperty(AudioDeviceID device, const AudioTimeStamp *, UInt32 channel, Boolean isInput,
                                AudioPropertyID property, UInt32 size, std::span<const std::byte> data)
{
    auto *backend = gBackend.load();
    if (!backend)
        return kAudioHardwareNotRunningError;
    if (size > data.size())
        return kAudioHardwareBadPropertySizeError;
    return backend->deviceSetProperty(device, channel, isInput, property, data.first(size));
}

OSStatus AudioStreamGetProperty(AudioStreamID stream, UInt32 channel, AudioPropertyID property, UInt32 *ioSize,
                                std::span<std::byte> outData)
{
    auto *backend = gBackend.load();
    if (!backend)
        return kAudioHardwareNotRunningError;
    if (!fits(ioSize, outData.size()))
        return kAudioHardwareBadPropertySizeError;
    return backend->streamGetProperty(stream, channel, property, *ioSize, outData.first(*ioSize));
}

OSStatus AudioStreamSetProperty(AudioStreamID stream, const AudioTimeStamp *, UInt32 channel, AudioPropertyID property,
                                UInt32 size, std::span<const std::byte> data)
{
    auto *backend = gBackend.load();
    if (!backend)
        return kAudioHardwareNotRunningError;
    if (size > data.size())
        return kAudioHardwareBadPropertySizeError;
    return backend->streamSetProperty(stream, channel, property, data.first(size));
}

OSStatus AudioDeviceAddPropertyListener(AudioDeviceID device, UInt32 channel, Boolean isInput, AudioPropertyID property,
                                        AudioDevicePropertyListenerProc proc, void *clientData)
{
    auto *backend = gBackend.load();
    if (!backend)
        return kAudioHardwareNotRunningError;
    if (!proc)
        return kAudioHardwareIllegalOperationError;
    return backend->deviceAddPropertyListener(device, channel, isInput, property, proc, clientData);
}

OSStatus AudioDeviceRemovePropertyListener(AudioDeviceID device, UInt32 channel, Boolean isInput,
                                           AudioPropertyID property, AudioDevicePropertyListenerProc proc)
{
    auto *backend = gBackend.load();
    if (!backend)
        return kAudioHardwareNotRunningError;
    return backend->deviceRemovePropertyListener(device, channel, isInput, property, proc);
}

OSStatus AudioHardwareAddPropertyListener(AudioPropertyID property, AudioHardwarePropertyListenerProc proc,
                                          void *clientData)
{
    if (!proc)
        return kAudioHardwareIllegalOperationError;
    std::lock_guard lock(gHardwareListenersMutex);
    gHardwareListeners.push_back({property, proc, clientData});
    return noErr;
}

OSStatus AudioHardwareRemovePropertyListener(AudioPropertyID property, AudioHardwarePropertyListenerProc proc)
{
    std::lock_guard lock(gHardwareListenersMutex);
    const auto it = std::find_if(gHardwareListeners.begin(), gHardwareListeners.end(),
                                 [&](const HardwareListener &l) { return l.property == property && l.proc == proc; });
    if (it == gHardwareListeners.end())
        return kAudioHardwareIllegalOperationError;
    gHardwareListeners.erase(it);
    return noErr;
}

namespace platform {

void AudioHardwarePropertyChanged(AudioPropertyID property)
{
    std::lock_guard lock(gHardwareListenersMutex);
    // A copy: a listener may change the registrations while the others wait their turn.
    const std::vector<HardwareListener> listeners = gHardwareListeners;
    for (const HardwareListener &l : listeners) {
        const bool stillRegistered
            = std::any_of(gHardwareListeners.begin(), gHardwareListeners.end(), [&](const HardwareListener &r) {
                  return r.property == l.property && r.proc == l.proc && r.clientData == l.clientData;
              });
        if (l.property == property && stillRegistered)
            l.proc(property, l.clientData);
    }
}

} // namespace platform
