#pragma once

#include "CoreAudioTypes.h"

#include <array>
#include <optional>

class ATolvane;

// Level index 0..3: input 1, input 2, output 1, output 2. Mute index 0..1: input master,
// output master (rows 0 and 1 only). Direction: 0 output, 1 input.
struct ChannelProperty {
    UInt32 levelChannel;
    AudioPropertyID levelProperty;
    UInt32 decibelChannel;
    AudioPropertyID decibelProperty;
    UInt32 muteChannel;
    AudioPropertyID muteProperty;
    UInt8 levelDirection;
    UInt8 muteDirection;
};

inline constexpr std::array<ChannelProperty, 4> ChannelPropertyTable = {{
    {1, kAudioDevicePropertyVolumeScalar, 1, kAudioDevicePropertyVolumeDecibels, 0, kAudioDevicePropertyMute, 1, 1},
    {2, kAudioDevicePropertyVolumeScalar, 2, kAudioDevicePropertyVolumeDecibels, 0, kAudioDevicePropertyMute, 1, 0},
    {1, kAudioDevicePropertyVolumeScalar, 1, kAudioDevicePropertyVolumeDecibels, 0, kAudioDevicePropertyMute, 0, 0},
    {2, kAudioDevicePropertyVolumeScalar, 2, kAudioDevicePropertyVolumeDecibels, 0, kAudioDevicePropertyMute, 0, 0},
}};

// One row per registered property listener; the only truth for registration, removal and
// dispatch. The selector is kept by name and as the member it names.
struct ListenerRow {
    const char *selectorName;
    void (ATolvane::*selector)();
    UInt32 channel;
    AudioPropertyID property;
    UInt8 direction;
};

extern const std::array<ListenerRow, 8> ListenerTable;

// The first row for a notification; the device is not compared.
std::optional<std::size_t> listenerRow(UInt32 channel, AudioPropertyID property, Boolean isInput);

// Requested sample rate by rate-selector tag; any other tag requests the last entry's rate.
inline constexpr std::array<UInt32, 3> SampleRateByTag = {96000, 48000, 44100};
inline constexpr UInt32 kDefaultSampleRate = 44100;
