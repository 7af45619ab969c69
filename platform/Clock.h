#pragma once

#include <chrono>
#include <cstdint>

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

// Not owned; nullptr restores the real clock.
void setClock(Clock *clock);
Clock &currentClock();

// The panel's pause, named as the system call it stands for.
void usleep(std::uint32_t microseconds);

} // namespace platform
