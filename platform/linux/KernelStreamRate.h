#pragma once

// What the kernel says about a PCM stream that runs now. No ALSA event announces a new rate,
// so these are read again whenever the rate is wanted: hw_params of each of the PCM's
// substreams (the rate a program opened it at), and for a USB card the stream file's
// momentary frequency (what the device is clocked at). Files that are missing, unreadable,
// malformed, cut short, longer than a kernel file or not regular files read as "nothing runs",
// never as a rate; so does a number outside 8000-768000 Hz.

#include "CoreAudioTypes.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace linuxbackends {

// Where the kernel publishes its sound cards; tests point the backend at a copy.
inline constexpr const char *kProcAsound = "/proc/asound";

// A kernel file's whole text, or nothing when it cannot be read: missing, not a regular file,
// longer than any kernel file, or failing with an error (as a card's files do once it goes).
std::optional<std::string> readSmallFile(const std::filesystem::path &path);

// The rate in one substream's hw_params text ("rate: 44100 (44100/1)"), or nothing for a
// closed substream ("closed") and for text without a usable rate.
std::optional<UInt32> rateFromHwParams(std::string_view text);

// The momentary frequency of one direction (0 playback, 1 capture) in a USB stream file,
// when that direction's status is "Running"; in whole Hz.
std::optional<UInt32> rateFromStreamFile(std::string_view text, UInt32 direction);

// The rate a stream of the card's PCM device runs at in the direction, or nothing when no
// stream runs there. hw_params decide where the kernel has them; the stream file is asked only
// when the PCM has no substream files at all.
std::optional<UInt32> kernelRunningRate(const std::filesystem::path &procRoot, int card, int pcmDevice,
                                        UInt32 direction);

} // namespace linuxbackends
