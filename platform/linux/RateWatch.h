#pragma once

// The rate each side of a sound card runs at, and the choice of it. A USB card keeps no rate
// of its own: whoever opens its PCM sets it. So a side reads as the rate the kernel reports for
// a stream running there, else the rate the PipeWire server will open the card at, else
// nothing: no rate applies. A choice asks the server to run at that rate; where only the
// server-wide forced rate exists, what it held before is put back when the last side stops
// being listened to, and when this object ends.
//
// Everything that talks to the server (connecting, round trips, putting a rate back) runs on a
// thread of this object's own, so that a slow, hung or absent server never holds up a caller:
// the callers see the server's state as that thread last learnt it. The thread tries a server
// that is not there again after 1, 2, 4... up to 64 seconds, and at once when its socket
// appears; it also connects once at start, to put back what a run that crashed left forced.
//
// The kernel announces no rate change, but it does announce each open and close of a PCM's
// device node (inotify). So the owner polls descriptor() and reads changes() when it is
// readable, when `wake` is called (the server's settings or a card's node moved), and after
// readAgainIn() while a substream of a listened side is open; with every substream closed
// nothing is read until the next open. Not thread-safe otherwise: the owner calls every member
// under one lock.

#include "CoreAudioTypes.h"
#include "KernelStreamRate.h"
#include "PipeWireClock.h"
#include "PropertyListenerSet.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
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
    // The cards' PCM device nodes (pcmC<card>D<device>p/c), watched for opens and closes.
    std::filesystem::path devRoot = "/dev/snd";
    // Where a forced rate is recorded until it is put back. Empty: in $XDG_RUNTIME_DIR for the
    // user's own server (it outlives a crash, not the session), no record for a named one.
    std::filesystem::path forcedRateRecord;
};

// One side of a card, as the kernel numbers it and as the audio interface names it.
struct PcmSide {
    AudioDeviceID device{};
    Boolean isInput = 0;
    int card = 0;
    int pcmDevice = 0;
};

// While a substream is open, how often its rate is read again: a rate set by a program that
// keeps the device open shows within this. Right after an open or close, reads come sooner
// (from kRateFirstRead, doubling), to catch the rate a program sets just after opening. Two
// seconds keep a panel beside a running stream under one wake-up a second.
inline constexpr std::chrono::milliseconds kRatePollPeriod{2000};
inline constexpr std::chrono::milliseconds kRateFirstRead{100};

class RateWatch {
public:
    RateWatch(RateSources sources, std::function<void()> wake);
    ~RateWatch();
    RateWatch(const RateWatch &) = delete;
    RateWatch &operator=(const RateWatch &) = delete;

    // In Hz; nothing when no rate applies.
    std::optional<UInt32> rate(const PcmSide &side);
    // noErr once the choice is on its way to a server that keeps rates (a refusal then shows as
    // the side's format notification). kAudioHardwareNotRunningError: no sound server keeps a
    // rate; kAudioHardwareIllegalOperationError: the server cannot switch.
    OSStatus choose(UInt32 rate);

    // A stream-format listener for the side came, or went.
    void listen(const PcmSide &side);
    void unlisten(AudioDeviceID device, Boolean isInput);
    bool watching() const { return !m_sides.empty(); }
    // The format notifications owed for listened sides whose rate moved since last seen.
    std::vector<platform::PropertyChange> changes();
    // Readable when a listened side's device node was opened or closed; -1: none.
    int descriptor() const { return m_nodes; }
    // When changes() is due again without any event; nothing: not before an event.
    std::optional<std::chrono::milliseconds> readAgainIn() const;
    // Whether a server connection is held (and so a forced rate may be pending restore).
    bool holdsServer() const;

private:
    struct Listened {
        PcmSide side;
        int listeners = 0;
        int node = -1;
        std::optional<UInt32> seen;
    };
    using SideKey = std::pair<AudioDeviceID, Boolean>;

    // The server thread's work, and what it tells the callers.
    void serve();
    void poke() const;
    bool anySubstreamOpen() const;

    RateSources m_sources;
    std::function<void()> m_wake;
    std::map<SideKey, Listened> m_sides;
    int m_nodes = -1;
    std::chrono::milliseconds m_nextRead = kRateFirstRead;

    mutable std::mutex m_mutex; // guards the members below, shared with the server thread
    bool m_wanted = false;
    bool m_stopping = false;
    std::optional<UInt32> m_request;
    bool m_refused = false;
    bool m_serverUp = false;
    std::optional<UInt32> m_serverRate;

    int m_poke = -1; // eventfd: the server thread's wake-up
    std::thread m_server;
};

} // namespace linuxbackends
