// How many property notifications per second become completed read-backs on the window's
// thread, against bare queued calls from another thread into that thread.

#include "BenchSupport.h"
#include "PanelTables.h"

#include <QCoreApplication>
#include <atomic>
#include <chrono>

namespace {

constexpr auto kGuard = std::chrono::seconds(10);

// Processes events until `done` holds; false if the guard ran out first (work was lost).
template <class Done>
bool drainUntil(Done done)
{
    const auto deadline = std::chrono::steady_clock::now() + kGuard;
    while (!done()) {
        QCoreApplication::processEvents();
        if (std::chrono::steady_clock::now() > deadline)
            return false;
    }
    return true;
}

void BM_NotificationReadBacks(benchmark::State &state)
{
    const auto n = static_cast<std::uint64_t>(state.range(0));
    bench::BoundPanel p;
    for (const ListenerRow &row : ListenerTable)
        p.panel->addSelector(row.selector, row.channel, row.property, static_cast<SInt8>(row.direction));
    // With the journal off, the read-backs are counted where the simulator checks each call for
    // an injected failure; the check never fails a call.
    std::atomic<std::uint64_t> readBacks{0};
    p.audio.failWhen([&readBacks](const sim::AudioCall &c) {
        if (c.op == sim::AudioOp::DeviceGetProperty && c.property == kAudioDevicePropertyVolumeScalar && c.channel == 1
            && c.isInput == 1)
            readBacks.fetch_add(1, std::memory_order_relaxed);
        return false;
    });

    bench::Pitcher pitcher;
    for (auto _ : state) {
        const std::uint64_t target = readBacks.load() + n;
        pitcher.start([&] {
            for (std::uint64_t i = 0; i < n; ++i)
                p.audio.notify(p.device, 1, 1, kAudioDevicePropertyVolumeScalar);
        });
        const bool complete = drainUntil([&] { return readBacks.load() >= target; });
        pitcher.wait();
        if (!complete) {
            state.SkipWithError("read-backs went missing");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(n));
    state.SetLabel("journal off");

    p.audio.waitForNotifications();
    for (const ListenerRow &row : ListenerTable)
        p.panel->removeSelectorOnChannel(row.channel, row.property, static_cast<SInt8>(row.direction));
    QCoreApplication::processEvents();
}

void BM_QueuedCallFloor(benchmark::State &state)
{
    const auto n = static_cast<std::uint64_t>(state.range(0));
    QObject target;
    std::uint64_t ran = 0; // touched on this thread only
    bench::Pitcher pitcher;
    for (auto _ : state) {
        const std::uint64_t goal = ran + n;
        pitcher.start([&] {
            for (std::uint64_t i = 0; i < n; ++i)
                QMetaObject::invokeMethod(
                    &target, [&ran] { ++ran; }, Qt::QueuedConnection);
        });
        const bool complete = drainUntil([&] { return ran >= goal; });
        pitcher.wait();
        if (!complete) {
            state.SkipWithError("queued calls went missing");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(n));
}

} // namespace

BENCHMARK(BM_NotificationReadBacks)->Arg(1000)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_QueuedCallFloor)->Arg(1000)->UseRealTime()->Unit(benchmark::kMicrosecond);

int main(int argc, char **argv)
{
    return bench::runBenchmarks(argc, argv, [](const std::map<std::string, bench::Figures> &figures) {
        const bench::Figures *panel = bench::find(figures, "BM_NotificationReadBacks");
        const bench::Figures *floor = bench::find(figures, "BM_QueuedCallFloor");
        if (!panel || !floor || panel->itemsPerSecond <= 0) {
            std::printf("summary: notifications: no figures (filtered out or failed)\n");
            return;
        }
        const double slower = floor->itemsPerSecond / panel->itemsPerSecond;
        std::printf("summary: notifications: the panel handles %.0f read-backs/s and the event loop carries "
                    "%.0f bare queued calls/s, so a read-back is %.2fx %s than a bare queued call (journal off)\n",
                    panel->itemsPerSecond, floor->itemsPerSecond, slower >= 1 ? slower : 1 / slower,
                    slower >= 1 ? "slower" : "faster");
    });
}
