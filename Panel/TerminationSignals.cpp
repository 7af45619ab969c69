#include "TerminationSignals.h"

#include <QSocketNotifier>
#include <array>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>
#include <utility>

namespace {

constexpr std::array kSignals = {SIGTERM, SIGINT, SIGHUP};
// [0] read by the GUI thread, [1] written by the handler; -1 when closed.
std::array<int, 2> gPipe = {-1, -1};

extern "C" void onTerminationSignal(int signalNumber)
{
    const int saved = errno;
    const auto byte = static_cast<unsigned char>(signalNumber);
    // A full pipe already holds a wake-up; the signal is not lost, only merged.
    [[maybe_unused]] const ssize_t written = ::write(gPipe[1], &byte, 1);
    errno = saved;
}

void closePipe()
{
    for (int &fd : gPipe)
        if (fd >= 0)
            ::close(std::exchange(fd, -1));
}

} // namespace

TerminationSignals::TerminationSignals(QObject *parent)
    : QObject(parent)
{
    if (gPipe[0] >= 0 || ::pipe2(gPipe.data(), O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    struct sigaction action {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    // A signal during a blocking call (the attach's pauses, a HID read) resumes the call.
    action.sa_flags = SA_RESTART;
    for (const int signalNumber : kSignals) {
        if (::sigaction(signalNumber, &action, nullptr) != 0) {
            closePipe();
            return;
        }
    }
    m_notifier = std::make_unique<QSocketNotifier>(gPipe[0], QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &TerminationSignals::drain);
}

TerminationSignals::~TerminationSignals()
{
    if (!m_notifier)
        return;
    m_notifier.reset();
    for (const int signalNumber : kSignals)
        std::signal(signalNumber, SIG_DFL);
    closePipe();
}

void TerminationSignals::drain()
{
    unsigned char byte = 0;
    while (::read(gPipe[0], &byte, 1) == 1)
        emit received(byte);
}
