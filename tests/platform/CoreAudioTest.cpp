#include "CoreAudio.h"
#include "SimAudio.h"

#include <gtest/gtest.h>

namespace {

constexpr std::byte kCanary{0xA5};

// Fills every byte of whatever span it is handed, so that a wrapper passing more than the
// caller offered shows up as bytes written past the offered size.
class GreedyBackend final : public AudioHardwareBackend {
public:
    int calls = 0;

    OSStatus hardwareGetPropertyInfo(AudioPropertyID, UInt32 &outSize) override
    {
        ++calls;
        outSize = 4;
        return noErr;
    }
    OSStatus hardwareGetProperty(AudioPropertyID, UInt32 &, std::span<std::byte> out) override { return fill(out); }
    OSStatus deviceGetPropertyInfo(AudioDeviceID, UInt32, Boolean, AudioPropertyID, UInt32 &outSize) override
    {
        ++calls;
        outSize = 4;
        return noErr;
    }
    OSStatus deviceGetProperty(AudioDeviceID, UInt32, Boolean, AudioPropertyID, UInt32 &,
                               std::span<std::byte> out) override
    {
        return fill(out);
    }
    OSStatus deviceGetName(AudioDeviceID, UInt32, Boolean, AudioPropertyID, UInt32 &, CFStringRef &) override
    {
        ++calls;
        return noErr;
    }
    OSStatus deviceSetProperty(AudioDeviceID, UInt32, Boolean, AudioPropertyID, std::span<const std::byte>) override
    {
        ++calls;
        return noErr;
    }
    OSStatus streamGetProperty(AudioStreamID, UInt32, AudioPropertyID, UInt32 &, std::span<std::byte> out) override
    {
        return fill(out);
    }
    OSStatus streamSetProperty(AudioStreamID, UInt32, AudioPropertyID, std::span<const std::byte>) override
    {
        ++calls;
        return noErr;
    }
    OSStatus deviceAddPropertyListener(AudioDeviceID, UInt32, Boolean, AudioPropertyID, AudioDevicePropertyListenerProc,
                                       void *) override
    {
        ++calls;
        return noErr;
    }
    OSStatus deviceRemovePropertyListener(AudioDeviceID, UInt32, Boolean, AudioPropertyID,
                                          AudioDevicePropertyListenerProc) override
    {
        ++calls;
        return noErr;
    }

private:
    OSStatus fill(std::span<std::byte> out)
    {
        ++calls;
        for (std::byte &b : out)
            b = std::byte{0x11};
        return noErr;
    }
};

struct InstalledBackend {
    explicit InstalledBackend(AudioHardwareBackend *backend) { SetAudioHardwareBackend(backend); }
    ~InstalledBackend() { SetAudioHardwareBackend(nullptr); }
};

} // namespace

TEST(AudioWrappers, RefuseASizeLargerThanTheBufferAndHandTheBackendOnlyTheOfferedBytes)
{
    GreedyBackend backend;
    InstalledBackend installed(&backend);
    std::array<std::byte, 8> storage;
    storage.fill(kCanary);
    const std::span<std::byte> four = std::span(storage).first(4);
    const AudioDeviceID device{0x100};

    UInt32 size = 8;
    EXPECT_EQ(AudioHardwareGetProperty(kAudioHardwarePropertyDevices, &size, four), kAudioHardwareBadPropertySizeError);
    size = 8;
    EXPECT_EQ(AudioDeviceGetProperty(device, 1, 1, kAudioDevicePropertyVolumeScalar, &size, four),
              kAudioHardwareBadPropertySizeError);
    size = 5;
    EXPECT_EQ(AudioStreamGetProperty(AudioStreamID{0x101}, 0, kAudioStreamPropertyDirection, &size, four),
              kAudioHardwareBadPropertySizeError);
    EXPECT_EQ(AudioDeviceSetProperty(device, nullptr, 1, 1, kAudioDevicePropertyVolumeScalar, 8, four),
              kAudioHardwareBadPropertySizeError);
    EXPECT_EQ(AudioStreamSetProperty(AudioStreamID{0x101}, nullptr, 0, kAudioStreamPropertyPhysicalFormat, 40, four),
              kAudioHardwareBadPropertySizeError);
    EXPECT_EQ(AudioDeviceGetProperty(device, 1, 1, kAudioDevicePropertyVolumeScalar, nullptr, four),
              kAudioHardwareBadPropertySizeError);

    EXPECT_EQ(backend.calls, 0);

    // A smaller size hands the backend only the bytes offered.
    size = 3;
    EXPECT_EQ(AudioDeviceGetProperty(AudioDeviceID{0x100}, 1, 1, kAudioDevicePropertyVolumeScalar, &size, storage),
              noErr);
    size = 3;
    EXPECT_EQ(AudioHardwareGetProperty(kAudioHardwarePropertyDevices, &size, storage), noErr);
    size = 3;
    EXPECT_EQ(AudioStreamGetProperty(AudioStreamID{0x101}, 0, kAudioStreamPropertyDirection, &size, storage), noErr);

    EXPECT_EQ(backend.calls, 3);
    for (std::size_t i = 0; i < storage.size(); ++i)
        EXPECT_EQ(storage[i], i < 3 ? std::byte{0x11} : kCanary) << "byte " << i;
}
