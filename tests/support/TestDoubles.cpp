#include "TestDoubles.h"

#include <algorithm>

namespace platform {

void VirtualClock::sleepMicroseconds(std::uint32_t microseconds)
{
    std::lock_guard lock(m_mutex);
    m_pauses.push_back(microseconds);
    m_elapsed += std::chrono::microseconds(microseconds);
}

class VirtualClock::Timer final : public ClockTimer {
public:
    Timer(VirtualClock &clock, std::uint64_t id)
        : m_clock(clock)
        , m_id(id)
    {
    }
    ~Timer() override
    {
        std::lock_guard lock(m_clock.m_mutex);
        m_clock.m_timers.erase(m_id);
    }

private:
    VirtualClock &m_clock;
    std::uint64_t m_id;
};

std::unique_ptr<ClockTimer> VirtualClock::startTimer(std::uint32_t microseconds, std::function<void()> fired)
{
    std::lock_guard lock(m_mutex);
    const std::uint64_t id = m_nextTimer++;
    m_timers.emplace(id, Pending{m_elapsed + std::chrono::microseconds(microseconds), std::move(fired)});
    return std::make_unique<Timer>(*this, id);
}

bool VirtualClock::fireNext(std::chrono::microseconds until)
{
    std::function<void()> fired;
    {
        std::lock_guard lock(m_mutex);
        auto next = m_timers.end();
        for (auto it = m_timers.begin(); it != m_timers.end(); ++it)
            if (it->second.due <= until && (next == m_timers.end() || it->second.due < next->second.due))
                next = it;
        if (next == m_timers.end())
            return false;
        m_elapsed = std::max(m_elapsed, next->second.due);
        fired = std::move(next->second.fired);
        m_timers.erase(next);
    }
    // Unlocked: what fires may start or cancel timers.
    fired();
    return true;
}

void VirtualClock::advance(std::chrono::microseconds by)
{
    std::chrono::microseconds until;
    {
        std::lock_guard lock(m_mutex);
        until = m_elapsed + by;
    }
    while (fireNext(until)) {}
    std::lock_guard lock(m_mutex);
    m_elapsed = std::max(m_elapsed, until);
}

void VirtualClock::runTimers()
{
    while (fireNext(std::chrono::microseconds::max())) {}
}

std::size_t VirtualClock::pendingTimers() const
{
    std::lock_guard lock(m_mutex);
    return m_timers.size();
}

std::vector<std::uint32_t> VirtualClock::pauses() const
{
    std::lock_guard lock(m_mutex);
    return m_pauses;
}

std::chrono::microseconds VirtualClock::elapsed() const
{
    std::lock_guard lock(m_mutex);
    return m_elapsed;
}

void VirtualClock::clear()
{
    std::lock_guard lock(m_mutex);
    m_pauses.clear();
    m_elapsed = {};
}

} // namespace platform

bool RecordingScriptRunner::execute(const QString &source, QString *errorInfo)
{
    std::lock_guard lock(m_mutex);
    m_scripts.push_back(source);
    if (!m_succeed && errorInfo)
        *errorInfo = QStringLiteral("script failed");
    return m_succeed;
}

std::vector<QString> RecordingScriptRunner::scripts() const
{
    std::lock_guard lock(m_mutex);
    return m_scripts;
}
