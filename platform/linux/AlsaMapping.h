#pragma once

// The arithmetic between ALSA's view of a card and the audio property interface: raw mixer
// steps and volume scalars, hundredths of a decibel and decibels, the ids the backend hands
// out, and the format records of a side. Pure functions, so that they are tested without a card.

#include "CoreAudioTypes.h"
#include "PropertyBuffers.h"
#include "PropertyListenerSet.h"

#include <array>
#include <optional>
#include <vector>

namespace linuxbackends {

// A mixer element's raw volume range, as snd_mixer_selem_get_*_volume_range() gives it.
struct VolumeRange {
    long min = 0;
    long max = 0;
};

// 0.0 at the range's bottom, 1.0 at its top; raw values outside the range are clamped. A
// range without room (max <= min) has nothing to move and reads as 0.0.
Float32 scalarFromRaw(long raw, VolumeRange range);
// The nearest raw step for a scalar, clamped to 0..1; nullopt for a value that is not a number.
std::optional<long> rawFromScalar(Float32 scalar, VolumeRange range);

// The quietest level reported, in dB; alsa-lib's "muted" gain and anything below land here.
inline constexpr Float32 kDecibelFloor = -144.0f;
// alsa-lib gives gains in hundredths of a decibel.
Float32 decibelsFromAlsa(long centibels);

// Device ids are the card index + 1, so that card 0 is not the "unknown device" 0.
AudioDeviceID deviceIdForCard(int card);
std::optional<int> cardForDeviceId(AudioDeviceID device);

// One stream per side: the device id in the upper bits, the direction (0 output, 1 input)
// in the lowest, so that a stream id is never mistaken for a device id.
AudioStreamID streamIdFor(AudioDeviceID device, UInt32 direction);
struct StreamSide {
    AudioDeviceID device{};
    UInt32 direction = 0;
};
std::optional<StreamSide> sideForStreamId(AudioStreamID stream);

// Channel 1 and 2 of a side are the element's first and second channel; a mono element
// answers both from its single channel. nullopt for channels the element does not have.
// Channel 0, the master, is not a single element channel and is not mapped here.
std::optional<int> elementChannelFor(UInt32 channel, bool mono, int elementChannels);

// The rates the panel offers, in the order the records are listed.
inline constexpr std::array<UInt32, 3> kStandardRates = {44100, 48000, 96000};

using platform::linearPCMFormat;
// One record per accepted rate, in kStandardRates order.
std::vector<AudioStreamBasicDescription> formatsForRates(const std::vector<UInt32> &rates, UInt32 bitsPerChannel,
                                                         UInt32 channels);
// A record the backend may keep for a side: linear PCM at one of the listed rates.
bool acceptsFormat(const std::vector<AudioStreamBasicDescription> &listed, const AudioStreamBasicDescription &format);

} // namespace linuxbackends

namespace linuxbackends {

using platform::PropertyChange;
using platform::PropertyListenerSet;

// What the notification thread remembers of one side's element between mixer events: the raw
// volume of channels 1 and 2 and the switch (true: sound on). Absent values were unreadable.
struct SideLevels {
    std::array<std::optional<long>, 2> raw;
    std::optional<bool> on;
    friend bool operator==(const SideLevels &, const SideLevels &) = default;
};

// The notifications one side owes after its element moved from `before` to `after`: the
// volume scalar and decibels of each channel that moved, and of the master (channel 0)
// whenever any did; the mute of the master when the switch flipped.
std::vector<PropertyChange> changesBetween(AudioDeviceID device, Boolean isInput, const SideLevels &before,
                                           const SideLevels &after);

} // namespace linuxbackends
