#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>

namespace platform {

// One pending wake-up of a clock. Destroying it cancels the wake-up if it has not come yet.
class ClockTimer {
public:
    virtual ~ClockTimer() = default;
};

// Every pause the panel takes goes through the installed clock, so that tests run the
// prescribed waits on virtual time and assert them instead of sitting through them.
class Clock {
public:
    virtual ~Clock() = default;
    virtual void sleepMicroseconds(std::uint32_t microseconds) = 0;
    // Calls `fired` once, `microseconds` from now, without blocking the caller in between.
    virtual std::unique_ptr<ClockTimer> startTimer(std::uint32_t microseconds, std::function<void()> fired) = 0;
};

// Pauses block; timers fire on the event loop of the thread that started them.
class RealClock final : public Clock {
public:
    void sleepMicroseconds(std::uint32_t microseconds) override;
    std::unique_ptr<ClockTimer> startTimer(std::uint32_t microseconds, std::function<void()> fired) override;
};

// Not owned; nullptr restores the real clock.
void setClock(Clock *clock);
Clock &currentClock();

// The panel's pause, named as the system call it stands for.
void usleep(std::uint32_t microseconds);
// A wait that leaves the window running: `fired` comes once the time is up, unless the
// returned timer is destroyed first.
std::unique_ptr<ClockTimer> startTimer(std::uint32_t microseconds, std::function<void()> fired);

} // namespace platform
