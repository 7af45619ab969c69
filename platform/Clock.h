#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <vector>

namespace platform {

// Every pause the panel takes goes through the installed clock, so that tests run the
// prescribed waits on virtual time and assert them instead of sitting through them.
class Clock {
public:
    virtual ~Clock() = default;
    virtual void sleepMicroseconds(std::uint32_t microseconds) = 0;
};

class RealClock final : public Clock {
public:
    void sleepMicroseconds(std::uint32_t microseconds) override;
};

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

// Not owned; nullptr restores the real clock.
void setClock(Clock *clock);
Clock &currentClock();

// The panel's pause, named as the system call it stands for.
void usleep(std::uint32_t microseconds);

} // namespace platform
