#pragma once

// How a backend fills and reads the byte buffers of property calls, and the one shape of a
// linear PCM format record. Shared by every backend so that all of them round, cut and refuse
// the same way.

#include "CoreAudioTypes.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

namespace platform {

// Writes one plain value into a read's buffer; the offered size must hold it.
template <class T>
requires std::is_trivially_copyable_v<T> OSStatus putValue(const T &value, UInt32 &ioSize, std::span<std::byte> out)
{
    if (ioSize < sizeof(T) || out.size() < sizeof(T))
        return kAudioHardwareBadPropertySizeError;
    std::memcpy(out.data(), &value, sizeof(T));
    ioSize = sizeof(T);
    return noErr;
}

// Copies as many whole records as the offered size holds; the size becomes the bytes filled.
template <class T>
requires std::is_trivially_copyable_v<T>
void putRecords(const std::vector<T> &records, UInt32 &ioSize, std::span<std::byte> out)
{
    const std::size_t offered = std::min<std::size_t>(ioSize, out.size());
    const std::size_t count = std::min(records.size(), offered / sizeof(T));
    if (count > 0)
        std::memcpy(out.data(), records.data(), count * sizeof(T));
    ioSize = static_cast<UInt32>(count * sizeof(T));
}

// A written value, or nothing when the buffer is not exactly one value long.
template <class T>
requires std::is_trivially_copyable_v<T> std::optional<T> readValue(std::span<const std::byte> data)
{
    if (data.size() != sizeof(T))
        return std::nullopt;
    T value{};
    std::memcpy(&value, data.data(), sizeof(T));
    return value;
}

// Signed, packed integer samples. Samples of 24 bits travel in 3 bytes on USB: the record
// counts whole bytes, rounding a partial byte up.
constexpr AudioStreamBasicDescription linearPCMFormat(Float64 rate, UInt32 bitsPerChannel, UInt32 channels)
{
    AudioStreamBasicDescription f;
    f.mSampleRate = rate;
    f.mFormatID = kAudioFormatLinearPCM;
    f.mFormatFlags = 0x4 | 0x8;
    f.mBytesPerFrame = ((bitsPerChannel + 7) / 8) * channels;
    f.mBytesPerPacket = f.mBytesPerFrame;
    f.mFramesPerPacket = 1;
    f.mChannelsPerFrame = channels;
    f.mBitsPerChannel = bitsPerChannel;
    return f;
}

} // namespace platform
