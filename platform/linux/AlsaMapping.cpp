#include "AlsaMapping.h"

#include <algorithm>
#include <cmath>

namespace linuxbackends {

namespace {
// Stream ids keep the device id above this many bits.
constexpr UInt32 kStreamShift = 8;
constexpr UInt32 kStreamTag = 0x10;
// alsa-lib has at most 32 cards.
constexpr int kMaxCards = 32;
} // namespace

Float32 scalarFromRaw(long raw, VolumeRange range)
{
    if (range.max <= range.min)
        return 0.0f;
    const long clamped = std::clamp(raw, range.min, range.max);
    // In double: the span of a 32-bit range does not fit a float's mantissa.
    const double span = static_cast<double>(range.max) - static_cast<double>(range.min);
    return static_cast<Float32>((static_cast<double>(clamped) - static_cast<double>(range.min)) / span);
}

std::optional<long> rawFromScalar(Float32 scalar, VolumeRange range)
{
    if (std::isnan(scalar))
        return std::nullopt;
    if (range.max <= range.min)
        return range.min;
    const double s = std::clamp(static_cast<double>(scalar), 0.0, 1.0);
    const double span = static_cast<double>(range.max) - static_cast<double>(range.min);
    const long raw = range.min + static_cast<long>(std::lround(s * span));
    return std::clamp(raw, range.min, range.max);
}

Float32 decibelsFromAlsa(long centibels)
{
    const double db = static_cast<double>(centibels) / 100.0;
    return static_cast<Float32>(std::max(db, static_cast<double>(kDecibelFloor)));
}

AudioDeviceID deviceIdForCard(int card)
{
    return AudioDeviceID{static_cast<UInt32>(card) + 1};
}

std::optional<int> cardForDeviceId(AudioDeviceID device)
{
    const UInt32 id = toUInt32(device);
    if (id == 0 || id > static_cast<UInt32>(kMaxCards))
        return std::nullopt;
    return static_cast<int>(id - 1);
}

AudioStreamID streamIdFor(AudioDeviceID device, UInt32 direction)
{
    return AudioStreamID{(toUInt32(device) << kStreamShift) | kStreamTag | (direction ? 1u : 0u)};
}

std::optional<StreamSide> sideForStreamId(AudioStreamID stream)
{
    const UInt32 id = toUInt32(stream);
    if ((id & 0xFEu) != kStreamTag)
        return std::nullopt;
    const AudioDeviceID device{id >> kStreamShift};
    if (!cardForDeviceId(device))
        return std::nullopt;
    return StreamSide{device, id & 1u};
}

std::optional<int> elementChannelFor(UInt32 channel, bool mono, int elementChannels)
{
    if (channel < 1 || channel > 2)
        return std::nullopt;
    if (mono)
        return 0;
    const int index = static_cast<int>(channel) - 1;
    if (index >= elementChannels)
        return std::nullopt;
    return index;
}

std::vector<AudioStreamBasicDescription> formatsForRates(const std::vector<UInt32> &rates, UInt32 bitsPerChannel,
                                                         UInt32 channels)
{
    std::vector<AudioStreamBasicDescription> formats;
    for (UInt32 rate : kStandardRates)
        if (std::find(rates.begin(), rates.end(), rate) != rates.end())
            formats.push_back(linearPCMFormat(rate, bitsPerChannel, channels));
    return formats;
}

bool acceptsFormat(const std::vector<AudioStreamBasicDescription> &listed, const AudioStreamBasicDescription &format)
{
    if (format.mFormatID != kAudioFormatLinearPCM)
        return false;
    return std::any_of(listed.begin(), listed.end(),
                       [&](const AudioStreamBasicDescription &f) { return f.mSampleRate == format.mSampleRate; });
}

std::vector<PropertyChange> changesBetween(AudioDeviceID device, Boolean isInput, const SideLevels &before,
                                           const SideLevels &after)
{
    std::vector<PropertyChange> changes;
    bool anyVolume = false;
    for (UInt32 channel = 1; channel <= 2; ++channel) {
        if (before.raw[channel - 1] == after.raw[channel - 1])
            continue;
        anyVolume = true;
        changes.push_back({device, channel, isInput, kAudioDevicePropertyVolumeScalar});
        changes.push_back({device, channel, isInput, kAudioDevicePropertyVolumeDecibels});
    }
    if (anyVolume) {
        changes.push_back({device, 0, isInput, kAudioDevicePropertyVolumeScalar});
        changes.push_back({device, 0, isInput, kAudioDevicePropertyVolumeDecibels});
    }
    if (before.on != after.on)
        changes.push_back({device, 0, isInput, kAudioDevicePropertyMute});
    return changes;
}

} // namespace linuxbackends
