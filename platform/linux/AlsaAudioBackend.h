#pragma once

// The audio property interface over alsa-lib. Each ALSA card is one device (id: card index
// + 1) named after the card; a playback PCM gives it an output side and a capture PCM an input
// side, each with one stream. Volume, decibels and mute are those of the side's first mixer
// element with a volume. Changes made anywhere (this program, other mixers, the device's own
// knobs) come back as property notifications from a thread of the backend's own, which polls
// the cards' mixers.
//
// A side's physical format is the rate it runs at, or will be opened at (see RateWatch); a
// side where no rate applies answers kAudioHardwareNotRunningError. Setting it asks the sound
// server to run at that rate, with RateWatch's statuses. While a stream-format listener is
// registered, the notification thread reads the rates again when the side's device node is
// opened or closed, when the server's settings or the card's node move, and every
// kRatePollPeriod while a substream is open; otherwise it does no rate work at all. Nothing
// under the state lock waits for the sound server: RateWatch talks to it from its own thread.

#include "AlsaCard.h"
#include "AlsaMapping.h"
#include "CoreAudio.h"
#include "PropertyListenerSet.h"
#include "RateWatch.h"

#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace linuxbackends {

// One owner for a file descriptor.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd)
        : m_fd(fd)
    {
    }
    ~UniqueFd();
    UniqueFd(UniqueFd &&other) noexcept
        : m_fd(std::exchange(other.m_fd, -1))
    {
    }
    UniqueFd &operator=(UniqueFd &&other) noexcept;
    UniqueFd(const UniqueFd &) = delete;
    UniqueFd &operator=(const UniqueFd &) = delete;
    int get() const { return m_fd; }

private:
    int m_fd = -1;
};

class AlsaAudioBackend final : public AudioHardwareBackend {
public:
    explicit AlsaAudioBackend(RateSources rateSources = {});
    ~AlsaAudioBackend() override;
    AlsaAudioBackend(const AlsaAudioBackend &) = delete;
    AlsaAudioBackend &operator=(const AlsaAudioBackend &) = delete;

    // Whether the notification thread runs; without it no notification arrives.
    bool notifying() const { return m_thread.joinable(); }
    std::size_t listenerCount() const { return m_listeners.size(); }

    OSStatus hardwareGetPropertyInfo(AudioPropertyID property, UInt32 &outSize) override;
    OSStatus hardwareGetProperty(AudioPropertyID property, UInt32 &ioSize, std::span<std::byte> outData) override;
    OSStatus deviceGetPropertyInfo(AudioDeviceID device, UInt32 channel, Boolean isInput, AudioPropertyID property,
                                   UInt32 &outSize) override;
    OSStatus deviceGetProperty(AudioDeviceID device, UInt32 channel, Boolean isInput, AudioPropertyID property,
                               UInt32 &ioSize, std::span<std::byte> outData) override;
    OSStatus deviceGetName(AudioDeviceID device, UInt32 channel, Boolean isInput, AudioPropertyID property,
                           UInt32 &ioSize, CFStringRef &outName) override;
    OSStatus deviceSetProperty(AudioDeviceID device, UInt32 channel, Boolean isInput, AudioPropertyID property,
                               std::span<const std::byte> data) override;
    OSStatus streamGetProperty(AudioStreamID stream, UInt32 channel, AudioPropertyID property, UInt32 &ioSize,
                               std::span<std::byte> outData) override;
    OSStatus streamSetProperty(AudioStreamID stream, UInt32 channel, AudioPropertyID property,
                               std::span<const std::byte> data) override;
    OSStatus deviceAddPropertyListener(AudioDeviceID device, UInt32 channel, Boolean isInput, AudioPropertyID property,
                                       AudioDevicePropertyListenerProc proc, void *clientData) override;
    OSStatus deviceRemovePropertyListener(AudioDeviceID device, UInt32 channel, Boolean isInput,
                                          AudioPropertyID property, AudioDevicePropertyListenerProc proc) override;

private:
    // Brings the card list up to date with the system's: new cards are opened, vanished and
    // lost ones dropped. Under m_stateMutex.
    void refreshCards();
    AlsaCard *findCard(AudioDeviceID device);
    // With the state lock held: the card behind a stream, while it still carries that side.
    struct StreamCard {
        AlsaCard *card = nullptr;
        StreamSide side;
    };
    // The card carrying a stream and which side of it the stream is; nothing for an id that
    // names no stream of a present card. Under m_stateMutex.
    std::optional<StreamCard> findStreamCard(AudioStreamID stream);
    AlsaCard *findSide(AudioDeviceID device, Boolean isInput, OSStatus &status);
    std::vector<AudioDeviceID> deviceIds() const;
    // Under m_stateMutex: the rate the card's side runs at or will be opened at.
    std::optional<UInt32> sideRate(const AlsaCard &card, UInt32 direction);
    void wake();
    void notificationLoop();

    mutable std::mutex m_stateMutex;
    std::map<int, std::unique_ptr<AlsaCard>> m_cards;
    // Dropped cards whose descriptors the notification thread may still be polling; it
    // frees them when it next holds the lock.
    std::vector<std::unique_ptr<AlsaCard>> m_retired;
    bool m_stopping = false;

    PropertyListenerSet m_listeners;
    UniqueFd m_wakeRead;
    UniqueFd m_wakeWrite;
    std::thread m_thread;
    // After the wake-up pipe, which the sound server's thread writes to; under m_stateMutex.
    RateWatch m_rates;
};

} // namespace linuxbackends
