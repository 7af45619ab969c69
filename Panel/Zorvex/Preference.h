#pragma once

#include <cstdint>

// The panel's working copy of the mixer settings. Levels, mutes and rate live in the device;
// only the link flag is carried across runs.
struct Preference {
    float m_fLevel[4] = {0, 0, 0, 0}; // volume scalar 0..1 by level index
    std::int32_t m_nMute[2] = {0, 0}; // mute button state by mute index
    std::int32_t m_nLink[1] = {0};    // exactly 1 means linked
};
