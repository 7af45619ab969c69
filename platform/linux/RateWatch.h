#pragma once

// The rate each side of a sound card runs at, and the choice of it. A USB card keeps no rate
// of its own: whoever opens its PCM sets it. So a side reads as the rate the kernel reports for
// a stream running there, else the rate the PipeWire server will open the card at, else
// nothing: no rate applies. A choice asks the server to run at that rate; where only the
// server-wide forced rate exists, what it held before is put back when the last side stops
// being listened to, and when this object ends.
//
// The kernel announces no rate change, so the owner reads changes() now and then while
// watching() holds (the ALSA backend: every kRatePollPeriod on its notification thread), and
// at once when `wake` is called from the server's thread. Not thread-safe otherwise: the
// owner calls every member under one lock.

#include "CoreAudioTypes.h"
#include "KernelStreamRate.h"
#include "PipeWireClock.h"
#include "PropertyListenerSet.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace linuxbackends {

// Where the rates come from; tests point these at fakes.
struct RateSources {
    std::filesystem::path procRoot = kProcAsound;
    // The PipeWire server; empty: the user's own.
    std::string soundServer;
    // PulseAudio's socket: when it exists and no PipeWire server answers, the server that owns
    // the card cannot switch rates. Empty: $XDG_RUNTIME_DIR/pulse/native.
    std::filesystem::path pulseSocket;
};

// One side of a card, as the kernel numbers it and as the audio interface names it.
struct PcmSide {
    AudioDeviceID device{};
    Boolean isInput = 0;
    int card = 0;
    int pcmDevice = 0;
};

// Within about half a second of a running rate's change, the side's format notification.
inline constexpr std::chrono::milliseconds kRatePollPeriod{250};

class RateWatch {
public:
    RateWatch(RateSources sources, std::function<void()> wake);
    ~RateWatch();
    RateWatch(const RateWatch &) = delete;
    RateWatch &operator=(const RateWatch &) = delete;

    // In Hz; nothing when no rate applies.
    std::optional<UInt32> rate(const PcmSide &side);
    // noErr once the server runs at `rate` Hz. kAudioHardwareNotRunningError: no sound server
    // keeps a rate; kAudioHardwareIllegalOperationError: the server cannot switch, or refused.
    OSStatus choose(UInt32 rate);

    // A stream-format listener for the side came, or went.
    void listen(const PcmSide &side);
    void unlisten(AudioDeviceID device, Boolean isInput);
    bool watching() const { return !m_sides.empty(); }
    // The format notifications owed for listened sides whose rate moved since last seen.
    std::vector<platform::PropertyChange> changes();
    // Whether a server connection is held (and so a forced rate may be pending restore).
    bool holdsServer() const { return m_server != nullptr; }

private:
    PipeWireClock *soundServer();

    struct Listened {
        PcmSide side;
        int listeners = 0;
        std::optional<UInt32> seen;
    };
    using SideKey = std::pair<AudioDeviceID, Boolean>;

    RateSources m_sources;
    std::function<void()> m_wake;
    std::map<SideKey, Listened> m_sides;
    std::unique_ptr<PipeWireClock> m_server;
    std::chrono::steady_clock::time_point m_nextServerTry{};
};

} // namespace linuxbackends
