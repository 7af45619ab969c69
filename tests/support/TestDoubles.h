#pragma once

// Stand-ins for the clock and the script runner, installed by tests and benchmarks so that
// pauses and scripts are recorded instead of taken.

#include "AppleScript.h"
#include "Clock.h"

#include <chrono>
#include <mutex>
#include <vector>

namespace platform {

// Records each pause and advances its own time by it; never blocks.
class VirtualClock final : public Clock {
public:
    void sleepMicroseconds(std::uint32_t microseconds) override;
    std::vector<std::uint32_t> pauses() const;
    std::chrono::microseconds elapsed() const;
    void clear();

private:
    mutable std::mutex m_mutex;
    std::vector<std::uint32_t> m_pauses;
    std::chrono::microseconds m_elapsed{0};
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
