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

void VirtualClock::sleepMicroseconds(std::uint32_t microseconds)
{
    std::lock_guard lock(m_mutex);
    m_pauses.push_back(microseconds);
    m_elapsed += std::chrono::microseconds(microseconds);
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
