#pragma once

// Stand-ins for the clock and the script runner, installed by tests and benchmarks so that
// pauses and scripts are recorded instead of taken.

#include "AppleScript.h"
#include "Clock.h"

#include <chrono>
#include <map>
#include <mutex>
#include <vector>

namespace platform {

// Records each pause and advances its own time by it; never blocks. Timers fire only when a
// test moves the time on past them (advance, runTimers), on the test's thread.
class VirtualClock final : public Clock {
public:
    void sleepMicroseconds(std::uint32_t microseconds) override;
    std::unique_ptr<ClockTimer> startTimer(std::uint32_t microseconds, std::function<void()> fired) override;
    std::vector<std::uint32_t> pauses() const;
    std::chrono::microseconds elapsed() const;
    void clear();
    // Moves the time on, firing the timers that fall due on the way, in order.
    void advance(std::chrono::microseconds by);
    // Moves the time on until no timer is pending.
    void runTimers();
    std::size_t pendingTimers() const;

private:
    class Timer;
    struct Pending {
        std::chrono::microseconds due;
        std::function<void()> fired;
    };
    // Takes the earliest timer due by `until` off the list, if any.
    bool fireNext(std::chrono::microseconds until);

    mutable std::mutex m_mutex;
    std::vector<std::uint32_t> m_pauses;
    std::chrono::microseconds m_elapsed{0};
    std::map<std::uint64_t, Pending> m_timers; // by start order
    std::uint64_t m_nextTimer = 0;
};

} // namespace platform

class RecordingScriptRunner final : public ScriptRunner {
public:
    explicit RecordingScriptRunner(bool succeed = true)
        : m_succeed(succeed)
    {
    }
    bool execute(const QString &source, QString *errorInfo) override;
    std::vector<QString> scripts() const;

private:
    bool m_succeed;
    mutable std::mutex m_mutex;
    std::vector<QString> m_scripts;
};
