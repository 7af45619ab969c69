#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <type_traits>

// The scalar vocabulary of the audio hardware interface. Ids are distinct types so that a
// stream id can never be passed where a device id is expected.
using UInt8 = std::uint8_t;
using SInt8 = std::int8_t;
using UInt32 = std::uint32_t;
using SInt32 = std::int32_t;
using Float32 = float;
using Float64 = double;
using Boolean = std::uint8_t;
using OSStatus = std::int32_t;

inline constexpr OSStatus noErr = 0;

// Four-character codes packed first character high: 'volm' == 0x766F6C6D.
consteval UInt32 FourCC(const char (&code)[5])
{
    return (UInt32(UInt8(code[0])) << 24) | (UInt32(UInt8(code[1])) << 16) | (UInt32(UInt8(code[2])) << 8)
        | UInt32(UInt8(code[3]));
}

enum class AudioDeviceID : UInt32 {};
enum class AudioStreamID : UInt32 {};
enum class AudioPropertyID : UInt32 {};

inline constexpr AudioDeviceID kAudioDeviceUnknown{0};
inline constexpr UInt32 kAudioPropertyWildcardChannel = 0xFFFFFFFF;

constexpr UInt32 toUInt32(AudioDeviceID id)
{
    return static_cast<UInt32>(id);
}
constexpr UInt32 toUInt32(AudioStreamID id)
{
    return static_cast<UInt32>(id);
}
constexpr UInt32 toUInt32(AudioPropertyID id)
{
    return static_cast<UInt32>(id);
}
std::string fourCCString(AudioPropertyID id);

inline constexpr AudioPropertyID kAudioHardwarePropertyDevices{FourCC("dev#")};
inline constexpr AudioPropertyID kAudioDevicePropertyDeviceNameCFString{FourCC("lnam")};
inline constexpr AudioPropertyID kAudioDevicePropertyStreams{FourCC("stm#")};
inline constexpr AudioPropertyID kAudioDevicePropertyStreamFormat{FourCC("sfmt")};
inline constexpr AudioPropertyID kAudioDevicePropertyVolumeScalar{FourCC("volm")};
inline constexpr AudioPropertyID kAudioDevicePropertyVolumeDecibels{FourCC("vold")};
inline constexpr AudioPropertyID kAudioDevicePropertyMute{FourCC("mute")};
// A translation, not a setting: the 4-byte buffer carries decibels in and the volume scalar
// the channel would take for them out. Nothing is written to the device.
inline constexpr AudioPropertyID kAudioDevicePropertyVolumeDecibelsToScalar{FourCC("db2v")};
inline constexpr AudioPropertyID kAudioStreamPropertyDirection{FourCC("sdir")};
inline constexpr AudioPropertyID kAudioStreamPropertyPhysicalFormats{FourCC("pft#")};
inline constexpr AudioPropertyID kAudioStreamPropertyPhysicalFormat{FourCC("pft ")};

// Status codes, with the audio hardware interface's own values.
inline constexpr OSStatus kAudioHardwareNotRunningError = OSStatus(FourCC("stop"));
inline constexpr OSStatus kAudioHardwareUnspecifiedError = OSStatus(FourCC("what"));
inline constexpr OSStatus kAudioHardwareUnknownPropertyError = OSStatus(FourCC("who?"));
inline constexpr OSStatus kAudioHardwareBadPropertySizeError = OSStatus(FourCC("!siz"));
inline constexpr OSStatus kAudioHardwareIllegalOperationError = OSStatus(FourCC("nope"));
inline constexpr OSStatus kAudioHardwareBadDeviceError = OSStatus(FourCC("!dev"));
inline constexpr OSStatus kAudioHardwareBadStreamError = OSStatus(FourCC("!str"));
inline constexpr OSStatus kAudioDeviceUnsupportedFormatError = OSStatus(FourCC("!dat"));

struct AudioStreamBasicDescription {
    Float64 mSampleRate = 0;
    UInt32 mFormatID = 0;
    UInt32 mFormatFlags = 0;
    UInt32 mBytesPerPacket = 0;
    UInt32 mFramesPerPacket = 0;
    UInt32 mBytesPerFrame = 0;
    UInt32 mChannelsPerFrame = 0;
    UInt32 mBitsPerChannel = 0;
    UInt32 mReserved = 0;
    friend bool operator==(const AudioStreamBasicDescription &, const AudioStreamBasicDescription &) = default;
};
static_assert(sizeof(AudioStreamBasicDescription) == 40, "the format record is 40 bytes on the wire");

inline constexpr UInt32 kAudioFormatLinearPCM = FourCC("lpcm");

// Present in the call forms for fidelity; every caller passes no time stamp ("apply now").
struct AudioTimeStamp;

// A name handed out by a name read; the caller owns it, and dropping it is the release.
using CFStringRef = std::unique_ptr<const std::string>;

using AudioDevicePropertyListenerProc
    = OSStatus (*)(AudioDeviceID device, UInt32 channel, Boolean isInput, AudioPropertyID property, void *clientData);
using AudioHardwarePropertyListenerProc = OSStatus (*)(AudioPropertyID property, void *clientData);

// Views of one plain value as the byte buffer a property call fills or reads.
template <class T>
requires std::is_trivially_copyable_v<T> std::span<std::byte> bytesOf(T &value)
{
    return std::as_writable_bytes(std::span<T, 1>(&value, 1));
}

template <class T>
requires std::is_trivially_copyable_v<T> std::span<const std::byte> bytesOf(const T &value)
{
    return std::as_bytes(std::span<const T, 1>(&value, 1));
}
