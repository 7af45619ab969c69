#include "Clock.h"

#include <atomic>
#include <thread>

namespace platform {

namespace {
RealClock gRealClock;
std::atomic<Clock *> gClock{&gRealClock};
} // namespace

void RealClock::sleepMicroseconds(std::uint32_t microseconds)
{
    std::this_thread::sleep_for(std::chrono::microseconds(microseconds));
}

void setClock(Clock *clock)
{
    gClock.store(clock ? clock : &gRealClock);
}

Clock &currentClock()
{
    return *gClock.load();
}

void usleep(std::uint32_t microseconds)
{
    currentClock().sleepMicroseconds(microseconds);
}

} // namespace platform
