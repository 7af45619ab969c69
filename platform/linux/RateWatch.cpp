#include "RateWatch.h"

#include <cstdlib>
#include <system_error>

namespace linuxbackends {

RateWatch::RateWatch(RateSources sources, std::function<void()> wake)
    : m_sources(std::move(sources))
    , m_wake(std::move(wake))
{
    if (m_sources.pulseSocket.empty()) {
        if (const char *runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime)
            m_sources.pulseSocket = std::filesystem::path(runtime) / "pulse" / "native";
    }
}

// The server's forced rate is put back by the clock's own end.
RateWatch::~RateWatch() = default;

PipeWireClock *RateWatch::soundServer()
{
    if (m_server && !m_server->connected())
        m_server.reset();
    const auto now = std::chrono::steady_clock::now();
    if (!m_server && now >= m_nextServerTry) {
        m_server = PipeWireClock::connect(m_sources.soundServer, m_wake);
        // A server that is not there is looked for again at most once a second.
        if (!m_server)
            m_nextServerTry = now + std::chrono::seconds(1);
    }
    return m_server.get();
}

std::optional<UInt32> RateWatch::rate(const PcmSide &side)
{
    if (const std::optional<UInt32> running
        = kernelRunningRate(m_sources.procRoot, side.card, side.pcmDevice, side.isInput))
        return running;
    if (PipeWireClock *server = soundServer())
        return server->rate();
    return std::nullopt;
}

OSStatus RateWatch::choose(UInt32 rate)
{
    if (PipeWireClock *server = soundServer())
        return server->forceRate(rate);
    std::error_code ec;
    if (!m_sources.pulseSocket.empty() && std::filesystem::exists(m_sources.pulseSocket, ec))
        return kAudioHardwareIllegalOperationError;
    return kAudioHardwareNotRunningError;
}

void RateWatch::listen(const PcmSide &side)
{
    Listened &entry = m_sides[{side.device, side.isInput}];
    if (entry.listeners++ == 0) {
        entry.side = side;
        entry.seen = rate(side);
    }
}

void RateWatch::unlisten(AudioDeviceID device, Boolean isInput)
{
    const auto it = m_sides.find({device, isInput});
    if (it != m_sides.end() && --it->second.listeners <= 0)
        m_sides.erase(it);
    // Nobody listens any more (the panel detached): the forced rate is put back, and nothing
    // is watched until someone listens again.
    if (m_sides.empty())
        m_server.reset();
}

std::vector<platform::PropertyChange> RateWatch::changes()
{
    std::vector<platform::PropertyChange> owed;
    for (auto &[key, entry] : m_sides) {
        const std::optional<UInt32> now = rate(entry.side);
        if (now != entry.seen) {
            entry.seen = now;
            owed.push_back({key.first, 0, key.second, kAudioDevicePropertyStreamFormat});
        }
    }
    return owed;
}

} // namespace linuxbackends
