// How long a rate choice takes to reach a PipeWire server: from the choice until another
// client of the server sees the new rate, and until the side's format notification is owed.
// The server is the tests' private one (dummy driver, null sink), so the figures are the
// server's and libpipewire's share of the time, not a device's re-clocking.

#include "BenchSupport.h"
#include "PrivatePipeWire.h"
#include "RateWatch.h"

#include <chrono>
#include <cstdlib>

using namespace linuxbackends;

namespace {

constexpr auto kGuard = std::chrono::seconds(10);
constexpr UInt32 kRates[] = {96000, 44100};

std::unique_ptr<PrivatePipeWire> startServer(benchmark::State &state)
{
    ::unsetenv("PIPEWIRE_REMOTE");
    auto server = std::make_unique<PrivatePipeWire>();
    if (!server->available()) {
        state.SkipWithError(server->installed() ? "the PipeWire daemon did not start"
                                                : "the PipeWire daemon is not installed");
        return nullptr;
    }
    return server;
}

void BM_ChoiceSeenByAnotherClient(benchmark::State &state)
{
    const auto server = startServer(state);
    if (!server)
        return;
    RateWatch watch({"/nonexistent", server->socket(), "/nonexistent", "/nonexistent", {}}, {});
    watch.listen({AudioDeviceID{1}, 0, 0, 0});
    const auto observer = PipeWireClock::connect(server->socket(), {});
    const auto connectBy = std::chrono::steady_clock::now() + kGuard;
    while (!watch.holdsServer() && std::chrono::steady_clock::now() < connectBy)
        std::this_thread::yield();
    if (!observer || !watch.holdsServer()) {
        state.SkipWithError("no connection to the server");
        return;
    }
    std::size_t i = 0;
    for (auto _ : state) {
        const UInt32 rate = kRates[i++ % 2];
        if (watch.choose(rate) != noErr) {
            state.SkipWithError("the server refused");
            break;
        }
        const auto deadline = std::chrono::steady_clock::now() + kGuard;
        while (observer->rate() != rate && std::chrono::steady_clock::now() < deadline)
            std::this_thread::yield();
        if (observer->rate() != rate) {
            state.SkipWithError("the other client never saw the rate");
            break;
        }
    }
}

void BM_ChoiceToNotification(benchmark::State &state)
{
    const auto server = startServer(state);
    if (!server)
        return;
    RateWatch watch({"/nonexistent", server->socket(), "/nonexistent", "/nonexistent", {}}, {});
    watch.listen({AudioDeviceID{1}, 0, 0, 0});
    const auto connectBy = std::chrono::steady_clock::now() + kGuard;
    while (!watch.holdsServer() && std::chrono::steady_clock::now() < connectBy)
        std::this_thread::yield();
    watch.changes();
    std::size_t i = 0;
    for (auto _ : state) {
        bool owed = watch.choose(kRates[i++ % 2]) == noErr;
        const auto deadline = std::chrono::steady_clock::now() + kGuard;
        while (owed && watch.changes().empty())
            owed = std::chrono::steady_clock::now() < deadline;
        if (!owed) {
            state.SkipWithError("no notification owed after the choice");
            break;
        }
    }
}

} // namespace

BENCHMARK(BM_ChoiceSeenByAnotherClient)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ChoiceToNotification)->UseRealTime()->Unit(benchmark::kMicrosecond);

int main(int argc, char **argv)
{
    return bench::runBenchmarks(argc, argv, [](const std::map<std::string, bench::Figures> &figures) {
        const bench::Figures *seen = bench::find(figures, "BM_ChoiceSeenByAnotherClient");
        const bench::Figures *owed = bench::find(figures, "BM_ChoiceToNotification");
        if (!seen || !owed) {
            std::printf("summary: rate: no figures (filtered out, failed or no PipeWire)\n");
            return;
        }
        std::printf("summary: rate: choice to another client seeing it %.1f us, choice to notification owed "
                    "%.1f us (private PipeWire server, no device)\n",
                    seen->nanosecondsPerIteration / 1000.0, owed->nanosecondsPerIteration / 1000.0);
    });
}
