#pragma once

// The PipeWire server's clock, as far as the rate of a sound card goes. The server opens the
// card and so sets its rate: its graph runs at the settings' "clock.rate" unless
// "clock.force-rate" names another. 0.3.x lets a client set no narrower rate than that forced
// one, which holds for every device of the server; so whatever was forced before the first
// change here is put back by restore() and by the destructor, and other devices are not left
// forced once the panel lets go. Put back only while the server still holds this client's
// own value: a rate another client forced since stands. With a record file, each forced rate
// and the value before it are written there first, so that the next connection puts back
// what a crashed or killed run (or one that quit while the server was stopped) left forced.
//
// A thread of libpipewire's own follows the server. It touches nothing but this object's
// copy of the settings and the `changed` call, which must be safe from any thread and quick.
// `changed` also comes when a sound card's node starts, stops or takes a new format: the
// card's running rate may have moved.

#include "CoreAudioTypes.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace linuxbackends {

class PipeWireClock {
public:
    // Connects to the server at `remote`: a socket name in the runtime folder, an absolute
    // socket path, or empty for the user's own ($PIPEWIRE_REMOTE, else "pipewire-0"). nullptr
    // when no server answers within `timeout`. `record`: the forced-rate record, none if empty;
    // what it names is put back here when the server still holds it.
    static std::unique_ptr<PipeWireClock> connect(const std::string &remote, std::function<void()> changed,
                                                  std::chrono::milliseconds timeout = std::chrono::seconds(1),
                                                  const std::filesystem::path &record = {});
    // The socket a connection to `remote` knocks at, when that can be told without connecting.
    static std::optional<std::filesystem::path> socketFor(const std::string &remote);
    ~PipeWireClock();
    PipeWireClock(const PipeWireClock &) = delete;
    PipeWireClock &operator=(const PipeWireClock &) = delete;

    // False once the server has gone away; such a clock answers no rate.
    bool connected() const;
    // The rate, in Hz, the server runs a device at that nobody streams to yet: the forced rate
    // while one is set, else the default clock rate. Nothing when the server publishes neither.
    std::optional<UInt32> rate() const;
    // Makes the server run its graph, and so the card, at `rate` Hz, and waits until it
    // confirms. kAudioHardwareNotRunningError: the server went away; IllegalOperation: the
    // server has no settings to force a rate with, or refused the change.
    OSStatus forceRate(UInt32 rate);
    // Puts back what the forced rate was before the first forceRate(); nothing to do when it
    // was never changed here.
    OSStatus restore();

private:
    struct State;
    explicit PipeWireClock(std::unique_ptr<State> state);
    std::unique_ptr<State> m_state;
};

} // namespace linuxbackends
