#include "Clock.h"

#include <QTimer>
#include <atomic>
#include <thread>

namespace platform {

namespace {
RealClock gRealClock;
std::atomic<Clock *> gClock{&gRealClock};

class EventLoopTimer final : public ClockTimer {
public:
    EventLoopTimer(std::uint32_t microseconds, std::function<void()> fired)
    {
        m_timer.setSingleShot(true);
        // A coarse timer may come up to 5 % late; a wait bounded in whole milliseconds should not.
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, [fired = std::move(fired)] { fired(); });
        m_timer.start(static_cast<int>((microseconds + 999) / 1000));
    }

private:
    QTimer m_timer;
};
} // namespace

void RealClock::sleepMicroseconds(std::uint32_t microseconds)
{
    std::this_thread::sleep_for(std::chrono::microseconds(microseconds));
}

std::unique_ptr<ClockTimer> RealClock::startTimer(std::uint32_t microseconds, std::function<void()> fired)
{
    return std::make_unique<EventLoopTimer>(microseconds, std::move(fired));
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

std::unique_ptr<ClockTimer> startTimer(std::uint32_t microseconds, std::function<void()> fired)
{
    return currentClock().startTimer(microseconds, std::move(fired));
}

} // namespace platform
