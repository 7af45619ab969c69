#pragma once

// One ALSA card as the audio backend sees it: its name, which sides it has (a playback PCM
// for the output side, a capture PCM for the input side), the first mixer element with a
// volume for each side, and the rates its PCMs accept. Not thread-safe: the backend calls
// every member under its own lock.

#include "AlsaMapping.h"
#include "PropertyListenerSet.h"

#include <alsa/asoundlib.h>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

struct pollfd;

namespace linuxbackends {

struct MixerCloser {
    void operator()(snd_mixer_t *mixer) const { snd_mixer_close(mixer); }
};
struct CtlCloser {
    void operator()(snd_ctl_t *ctl) const { snd_ctl_close(ctl); }
};
struct PcmCloser {
    void operator()(snd_pcm_t *pcm) const { snd_pcm_close(pcm); }
};
struct SelemIdFree {
    void operator()(snd_mixer_selem_id_t *id) const { snd_mixer_selem_id_free(id); }
};
using MixerPtr = std::unique_ptr<snd_mixer_t, MixerCloser>;
using CtlPtr = std::unique_ptr<snd_ctl_t, CtlCloser>;
using PcmPtr = std::unique_ptr<snd_pcm_t, PcmCloser>;
using SelemIdPtr = std::unique_ptr<snd_mixer_selem_id_t, SelemIdFree>;

class AlsaCard {
public:
    // nullptr, with `status` saying why, when the card cannot be opened.
    static std::unique_ptr<AlsaCard> open(int index, OSStatus &status);

    int index() const { return m_index; }
    AudioDeviceID deviceId() const { return deviceIdForCard(m_index); }
    const std::string &name() const { return m_name; }
    bool hasSide(UInt32 direction) const { return m_sides[side(direction)].pcmDevice.has_value(); }
    // The PCM device that carries the side, as numbered under /proc/asound/cardN.
    std::optional<int> pcmDevice(UInt32 direction) const { return m_sides[side(direction)].pcmDevice; }
    // Stopped answering (unplugged); the backend drops it at the next look at the card list.
    bool lost() const { return m_lost; }

    OSStatus volume(UInt32 direction, UInt32 channel, Float32 &scalar);
    OSStatus setVolume(UInt32 direction, UInt32 channel, Float32 scalar);
    OSStatus decibels(UInt32 direction, UInt32 channel, Float32 &db);
    // The scalar at which a channel would sit nearest below the given decibels.
    OSStatus scalarForDecibels(UInt32 direction, UInt32 channel, Float32 db, Float32 &scalar);
    OSStatus mute(UInt32 direction, UInt32 &muted);
    OSStatus setMute(UInt32 direction, UInt32 muted);

    OSStatus physicalFormats(UInt32 direction, std::vector<AudioStreamBasicDescription> &formats);
    // The side's record at `rate` Hz: the listed one, or one like them for a rate the PCM did
    // not list (a program may open it at any rate the hardware takes).
    AudioStreamBasicDescription formatAt(UInt32 direction, UInt32 rate);

    // Appends the mixer's descriptors; returns how many.
    std::size_t appendPollDescriptors(std::vector<pollfd> &fds);
    // Takes the mixer's events after poll() reported on its descriptors, and appends the
    // notifications they call for. A card whose descriptors report an error is marked lost.
    void handleEvents(std::span<pollfd> fds, std::vector<PropertyChange> &changes);

private:
    struct Side {
        std::optional<int> pcmDevice;
        SelemIdPtr element;
        SideLevels levels;
        std::optional<std::vector<AudioStreamBasicDescription>> probed;
    };
    static std::size_t side(UInt32 direction) { return direction ? 1 : 0; }

    explicit AlsaCard(int index)
        : m_index(index)
    {
    }
    // The side's element, looked up afresh: alsa-lib frees elements that the driver removes.
    snd_mixer_elem_t *element(UInt32 direction) const;
    SideLevels readLevels(UInt32 direction) const;

    int m_index;
    std::string m_name;
    MixerPtr m_mixer;
    Side m_sides[2];
    bool m_lost = false;
};

} // namespace linuxbackends
