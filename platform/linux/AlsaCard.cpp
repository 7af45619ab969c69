#include "AlsaCard.h"

#include "LinuxStatus.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <poll.h>
#include <string>

namespace linuxbackends {

namespace {

// The playback and capture halves of alsa-lib's simple element interface, so that each
// operation is written once.
struct ElementOps {
    int (*hasVolume)(snd_mixer_elem_t *);
    int (*volumeRange)(snd_mixer_elem_t *, long *, long *);
    int (*getVolume)(snd_mixer_elem_t *, snd_mixer_selem_channel_id_t, long *);
    int (*setVolume)(snd_mixer_elem_t *, snd_mixer_selem_channel_id_t, long);
    int (*setVolumeAll)(snd_mixer_elem_t *, long);
    int (*getDecibels)(snd_mixer_elem_t *, snd_mixer_selem_channel_id_t, long *);
    int (*hasSwitch)(snd_mixer_elem_t *);
    int (*getSwitch)(snd_mixer_elem_t *, snd_mixer_selem_channel_id_t, int *);
    int (*setSwitchAll)(snd_mixer_elem_t *, int);
    int (*hasChannel)(snd_mixer_elem_t *, snd_mixer_selem_channel_id_t);
    int (*isMono)(snd_mixer_elem_t *);
    int (*askDecibelsVolume)(snd_mixer_elem_t *, long, int, long *);
};

constexpr ElementOps kPlayback{
    snd_mixer_selem_has_playback_volume,     snd_mixer_selem_get_playback_volume_range,
    snd_mixer_selem_get_playback_volume,     snd_mixer_selem_set_playback_volume,
    snd_mixer_selem_set_playback_volume_all, snd_mixer_selem_get_playback_dB,
    snd_mixer_selem_has_playback_switch,     snd_mixer_selem_get_playback_switch,
    snd_mixer_selem_set_playback_switch_all, snd_mixer_selem_has_playback_channel,
    snd_mixer_selem_is_playback_mono,        snd_mixer_selem_ask_playback_dB_vol,
};
constexpr ElementOps kCapture{
    snd_mixer_selem_has_capture_volume,     snd_mixer_selem_get_capture_volume_range,
    snd_mixer_selem_get_capture_volume,     snd_mixer_selem_set_capture_volume,
    snd_mixer_selem_set_capture_volume_all, snd_mixer_selem_get_capture_dB,
    snd_mixer_selem_has_capture_switch,     snd_mixer_selem_get_capture_switch,
    snd_mixer_selem_set_capture_switch_all, snd_mixer_selem_has_capture_channel,
    snd_mixer_selem_is_capture_mono,        snd_mixer_selem_ask_capture_dB_vol,
};

const ElementOps &opsFor(UInt32 direction)
{
    return direction ? kCapture : kPlayback;
}

snd_pcm_stream_t streamFor(UInt32 direction)
{
    return direction ? SND_PCM_STREAM_CAPTURE : SND_PCM_STREAM_PLAYBACK;
}

struct ChannelLayout {
    bool mono = false;
    int channels = 0;
};

ChannelLayout layoutOf(const ElementOps &ops, snd_mixer_elem_t *elem)
{
    ChannelLayout layout;
    layout.mono = ops.isMono(elem) != 0;
    if (ops.hasChannel(elem, SND_MIXER_SCHN_FRONT_RIGHT))
        layout.channels = 2;
    else if (ops.hasChannel(elem, SND_MIXER_SCHN_FRONT_LEFT))
        layout.channels = 1;
    return layout;
}

// The element channel behind a panel channel; channel 0, the master, reads the first channel.
std::optional<snd_mixer_selem_channel_id_t> channelOf(const ElementOps &ops, snd_mixer_elem_t *elem, UInt32 channel)
{
    const ChannelLayout layout = layoutOf(ops, elem);
    const std::optional<int> index = elementChannelFor(channel == 0 ? 1 : channel, layout.mono, layout.channels);
    if (!index)
        return std::nullopt;
    return static_cast<snd_mixer_selem_channel_id_t>(*index);
}

// The element, its operations and the element channel that a panel channel of one side
// addresses; "unknown property" when the side has no such element or channel.
struct Addressed {
    snd_mixer_elem_t *elem = nullptr;
    const ElementOps *ops = nullptr;
    snd_mixer_selem_channel_id_t channel{};
};

OSStatus address(snd_mixer_elem_t *elem, UInt32 direction, UInt32 channel, Addressed &out)
{
    if (!elem)
        return kAudioHardwareUnknownPropertyError;
    const ElementOps &ops = opsFor(direction);
    const std::optional<snd_mixer_selem_channel_id_t> ch = channelOf(ops, elem, channel);
    if (!ch)
        return kAudioHardwareUnknownPropertyError;
    out = {elem, &ops, *ch};
    return noErr;
}

// The first PCM device of the card that has a stream in the direction.
std::optional<int> firstPcmDevice(snd_ctl_t *ctl, UInt32 direction)
{
    snd_pcm_info_t *info = nullptr;
    snd_pcm_info_alloca(&info);
    int device = -1;
    while (snd_ctl_pcm_next_device(ctl, &device) >= 0 && device >= 0) {
        snd_pcm_info_set_device(info, static_cast<unsigned int>(device));
        snd_pcm_info_set_subdevice(info, 0);
        snd_pcm_info_set_stream(info, streamFor(direction));
        if (snd_ctl_pcm_info(ctl, info) >= 0)
            return device;
    }
    return std::nullopt;
}

SelemIdPtr firstElementWithVolume(snd_mixer_t *mixer, UInt32 direction)
{
    const ElementOps &ops = opsFor(direction);
    for (snd_mixer_elem_t *elem = snd_mixer_first_elem(mixer); elem; elem = snd_mixer_elem_next(elem)) {
        if (!snd_mixer_selem_is_active(elem) || !ops.hasVolume(elem))
            continue;
        snd_mixer_selem_id_t *id = nullptr;
        if (snd_mixer_selem_id_malloc(&id) < 0)
            return nullptr;
        snd_mixer_selem_get_id(elem, id);
        return SelemIdPtr(id);
    }
    return nullptr;
}

struct PcmCapabilities {
    std::vector<UInt32> rates;
    UInt32 bits = 24;
    UInt32 channels = 2;
};

// What the hardware PCM accepts; alsa-lib's error when it cannot be opened (EBUSY included).
int probePcm(int card, int device, UInt32 direction, PcmCapabilities &caps)
{
    const std::string name = "hw:" + std::to_string(card) + "," + std::to_string(device);
    snd_pcm_t *raw = nullptr;
    // Non-blocking, so that a PCM another program plays through answers EBUSY at once.
    const int err = snd_pcm_open(&raw, name.c_str(), streamFor(direction), SND_PCM_NONBLOCK);
    if (err < 0)
        return err;
    const PcmPtr pcm(raw);
    snd_pcm_hw_params_t *params = nullptr;
    snd_pcm_hw_params_alloca(&params);
    if (const int e = snd_pcm_hw_params_any(pcm.get(), params); e < 0)
        return e;
    for (UInt32 rate : kStandardRates)
        if (snd_pcm_hw_params_test_rate(pcm.get(), params, rate, 0) == 0)
            caps.rates.push_back(rate);
    if (snd_pcm_hw_params_test_channels(pcm.get(), params, 2) != 0) {
        unsigned int channels = 0;
        if (snd_pcm_hw_params_get_channels_min(params, &channels) == 0 && channels > 0)
            caps.channels = channels;
    }
    struct Candidate {
        snd_pcm_format_t format;
        UInt32 bits;
    };
    constexpr Candidate candidates[] = {{SND_PCM_FORMAT_S24_3LE, 24},
                                        {SND_PCM_FORMAT_S32_LE, 32},
                                        {SND_PCM_FORMAT_S24_LE, 24},
                                        {SND_PCM_FORMAT_S16_LE, 16}};
    for (const Candidate &c : candidates) {
        if (snd_pcm_hw_params_test_format(pcm.get(), params, c.format) == 0) {
            caps.bits = c.bits;
            break;
        }
    }
    return 0;
}

} // namespace

std::unique_ptr<AlsaCard> AlsaCard::open(int index, OSStatus &status)
{
    const std::string hw = "hw:" + std::to_string(index);
    snd_ctl_t *rawCtl = nullptr;
    if (const int err = snd_ctl_open(&rawCtl, hw.c_str(), 0); err < 0) {
        status = audioStatusFromAlsa(err);
        return nullptr;
    }
    const CtlPtr ctl(rawCtl);
    snd_ctl_card_info_t *info = nullptr;
    snd_ctl_card_info_alloca(&info);
    if (const int err = snd_ctl_card_info(ctl.get(), info); err < 0) {
        status = audioStatusFromAlsa(err);
        return nullptr;
    }

    std::unique_ptr<AlsaCard> card(new AlsaCard(index));
    const char *name = snd_ctl_card_info_get_name(info);
    card->m_name = name ? name : "";
    for (UInt32 direction = 0; direction < 2; ++direction)
        card->m_sides[direction].pcmDevice = firstPcmDevice(ctl.get(), direction);

    // A card without a usable mixer still has a name and sides; its volume and mute answer
    // an error.
    snd_mixer_t *rawMixer = nullptr;
    if (snd_mixer_open(&rawMixer, 0) >= 0) {
        MixerPtr mixer(rawMixer);
        if (snd_mixer_attach(mixer.get(), hw.c_str()) >= 0
            && snd_mixer_selem_register(mixer.get(), nullptr, nullptr) >= 0 && snd_mixer_load(mixer.get()) >= 0) {
            card->m_mixer = std::move(mixer);
            for (UInt32 direction = 0; direction < 2; ++direction) {
                card->m_sides[direction].element = firstElementWithVolume(card->m_mixer.get(), direction);
                card->m_sides[direction].levels = card->readLevels(direction);
            }
        }
    }
    status = noErr;
    return card;
}

snd_mixer_elem_t *AlsaCard::element(UInt32 direction) const
{
    const Side &s = m_sides[side(direction)];
    if (!m_mixer || !s.element)
        return nullptr;
    return snd_mixer_find_selem(m_mixer.get(), s.element.get());
}

SideLevels AlsaCard::readLevels(UInt32 direction) const
{
    SideLevels levels;
    snd_mixer_elem_t *elem = element(direction);
    if (!elem)
        return levels;
    const ElementOps &ops = opsFor(direction);
    for (UInt32 channel = 1; channel <= 2; ++channel) {
        long raw = 0;
        if (const auto ch = channelOf(ops, elem, channel); ch && ops.getVolume(elem, *ch, &raw) >= 0)
            levels.raw[channel - 1] = raw;
    }
    int on = 0;
    if (ops.hasSwitch(elem) && ops.getSwitch(elem, SND_MIXER_SCHN_FRONT_LEFT, &on) >= 0)
        levels.on = on != 0;
    return levels;
}

OSStatus AlsaCard::volume(UInt32 direction, UInt32 channel, Float32 &scalar)
{
    Addressed a;
    if (const OSStatus status = address(element(direction), direction, channel, a); status != noErr)
        return status;
    VolumeRange range;
    long raw = 0;
    if (const int err = a.ops->volumeRange(a.elem, &range.min, &range.max); err < 0)
        return audioStatusFromAlsa(err);
    if (const int err = a.ops->getVolume(a.elem, a.channel, &raw); err < 0)
        return audioStatusFromAlsa(err);
    scalar = scalarFromRaw(raw, range);
    return noErr;
}

OSStatus AlsaCard::setVolume(UInt32 direction, UInt32 channel, Float32 scalar)
{
    Addressed a;
    if (const OSStatus status = address(element(direction), direction, channel, a); status != noErr)
        return status;
    VolumeRange range;
    if (const int err = a.ops->volumeRange(a.elem, &range.min, &range.max); err < 0)
        return audioStatusFromAlsa(err);
    const std::optional<long> raw = rawFromScalar(scalar, range);
    if (!raw)
        return kAudioHardwareIllegalOperationError;
    // The master moves every channel of the element; a mono element has only one to move.
    const bool all = channel == 0 || layoutOf(*a.ops, a.elem).mono;
    return audioStatusFromAlsa(all ? a.ops->setVolumeAll(a.elem, *raw) : a.ops->setVolume(a.elem, a.channel, *raw));
}

OSStatus AlsaCard::decibels(UInt32 direction, UInt32 channel, Float32 &db)
{
    Addressed a;
    if (const OSStatus status = address(element(direction), direction, channel, a); status != noErr)
        return status;
    long centibels = 0;
    if (const int err = a.ops->getDecibels(a.elem, a.channel, &centibels); err < 0)
        return audioStatusFromAlsa(err);
    db = decibelsFromAlsa(centibels);
    return noErr;
}

OSStatus AlsaCard::scalarForDecibels(UInt32 direction, UInt32 channel, Float32 db, Float32 &scalar)
{
    Addressed a;
    if (const OSStatus status = address(element(direction), direction, channel, a); status != noErr)
        return status;
    if (std::isnan(db))
        return kAudioHardwareIllegalOperationError;
    VolumeRange range;
    if (const int err = a.ops->volumeRange(a.elem, &range.min, &range.max); err < 0)
        return audioStatusFromAlsa(err);
    // Rounded down: a level asked for in decibels never comes out louder than asked.
    const long centibels = std::lround(std::clamp(static_cast<double>(db), -1e6, 1e6) * 100.0);
    long raw = 0;
    if (const int err = a.ops->askDecibelsVolume(a.elem, centibels, -1, &raw); err < 0)
        return audioStatusFromAlsa(err);
    scalar = scalarFromRaw(raw, range);
    return noErr;
}

OSStatus AlsaCard::mute(UInt32 direction, UInt32 &muted)
{
    snd_mixer_elem_t *elem = element(direction);
    const ElementOps &ops = opsFor(direction);
    if (!elem || !ops.hasSwitch(elem))
        return kAudioHardwareUnknownPropertyError;
    int on = 0;
    if (const int err = ops.getSwitch(elem, SND_MIXER_SCHN_FRONT_LEFT, &on); err < 0)
        return audioStatusFromAlsa(err);
    muted = on ? 0 : 1;
    return noErr;
}

OSStatus AlsaCard::setMute(UInt32 direction, UInt32 muted)
{
    snd_mixer_elem_t *elem = element(direction);
    const ElementOps &ops = opsFor(direction);
    if (!elem || !ops.hasSwitch(elem))
        return kAudioHardwareUnknownPropertyError;
    return audioStatusFromAlsa(ops.setSwitchAll(elem, muted ? 0 : 1));
}

OSStatus AlsaCard::physicalFormats(UInt32 direction, std::vector<AudioStreamBasicDescription> &formats)
{
    Side &s = m_sides[side(direction)];
    if (!s.pcmDevice)
        return kAudioHardwareUnknownPropertyError;
    if (s.probed) {
        formats = *s.probed;
        return noErr;
    }
    PcmCapabilities caps;
    const int err = probePcm(m_index, *s.pcmDevice, direction, caps);
    if (err == -EBUSY) {
        // Busy (another program streams through it): the rates cannot be asked, so the
        // standard ones are offered, and asked again next time.
        formats = formatsForRates({kStandardRates.begin(), kStandardRates.end()}, caps.bits, caps.channels);
        return noErr;
    }
    if (err < 0)
        return audioStatusFromAlsa(err);
    s.probed = formatsForRates(caps.rates, caps.bits, caps.channels);
    formats = *s.probed;
    return noErr;
}

AudioStreamBasicDescription AlsaCard::formatAt(UInt32 direction, UInt32 rate)
{
    std::vector<AudioStreamBasicDescription> formats;
    if (physicalFormats(direction, formats) != noErr || formats.empty())
        return linearPCMFormat(rate, 24, 2);
    for (const AudioStreamBasicDescription &f : formats)
        if (f.mSampleRate == static_cast<Float64>(rate))
            return f;
    return linearPCMFormat(rate, formats.front().mBitsPerChannel, formats.front().mChannelsPerFrame);
}

std::size_t AlsaCard::appendPollDescriptors(std::vector<pollfd> &fds)
{
    if (!m_mixer || m_lost)
        return 0;
    const int count = snd_mixer_poll_descriptors_count(m_mixer.get());
    if (count <= 0)
        return 0;
    const std::size_t start = fds.size();
    fds.resize(start + static_cast<std::size_t>(count));
    const int filled = snd_mixer_poll_descriptors(m_mixer.get(), fds.data() + start, static_cast<unsigned int>(count));
    const std::size_t kept = filled > 0 ? static_cast<std::size_t>(filled) : 0;
    fds.resize(start + kept);
    return kept;
}

void AlsaCard::handleEvents(std::span<pollfd> fds, std::vector<PropertyChange> &changes)
{
    if (!m_mixer || m_lost || fds.empty())
        return;
    unsigned short revents = 0;
    if (snd_mixer_poll_descriptors_revents(m_mixer.get(), fds.data(), static_cast<unsigned int>(fds.size()), &revents)
        < 0)
        return;
    if (revents & (POLLERR | POLLHUP | POLLNVAL)) {
        m_lost = true;
        return;
    }
    if (!(revents & POLLIN))
        return;
    if (snd_mixer_handle_events(m_mixer.get()) < 0) {
        m_lost = true;
        return;
    }
    for (UInt32 direction = 0; direction < 2; ++direction) {
        Side &s = m_sides[direction];
        const SideLevels now = readLevels(direction);
        const std::vector<PropertyChange> moved
            = changesBetween(deviceId(), static_cast<Boolean>(direction), s.levels, now);
        changes.insert(changes.end(), moved.begin(), moved.end());
        s.levels = now;
    }
}

} // namespace linuxbackends
