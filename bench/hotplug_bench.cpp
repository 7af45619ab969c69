// What one plug and unplug of the interface costs, with the panel attaching and detaching each
// time: time per cycle, and heap bytes left behind per cycle (flat is 0).

#include "BenchSupport.h"
#include "IOKit.h"
#include "Preferences.h"
#include "SimUSB.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <malloc.h>

namespace {

double gBytesPerCycle = 0;
std::int64_t gCycles = 0;

std::size_t heapInUse()
{
    return mallinfo2().uordblks;
}

void cycle(sim::SimUSBBus &bus)
{
    const auto handle = bus.plug();
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    bus.unplug(handle);
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
}

void BM_PlugUnplugCycle(benchmark::State &state)
{
    platform::IORegistry::instance().reset();
    QTemporaryDir preferences;
    platform::setPreferencesDirectory(preferences.path());
    bench::SimBinding binding;
    auto bus = std::make_unique<sim::SimUSBBus>(&binding.audio);
    auto panel = std::make_unique<ATolvane>();
    panel->awakeFromNib();
    // Warm-up: caches, the first preferences file, the first notification thread.
    for (int i = 0; i < 50; ++i)
        cycle(*bus);

    // The virtual clock keeps every pause it served; emptied each cycle (keeping its capacity) so
    // that only the system's own growth is counted.
    binding.clock.clear();
    const std::size_t before = heapInUse();
    for (auto _ : state) {
        cycle(*bus);
        binding.clock.clear();
    }
    const std::size_t after = heapInUse();
    gCycles = static_cast<std::int64_t>(state.iterations());
    gBytesPerCycle = (static_cast<double>(after) - static_cast<double>(before)) / static_cast<double>(gCycles);
    state.counters["bytes_per_cycle"] = gBytesPerCycle;
    state.SetItemsProcessed(state.iterations());

    panel.reset();
    bus.reset();
    platform::IORegistry::instance().reset();
    platform::setPreferencesDirectory(QString());
}

} // namespace

BENCHMARK(BM_PlugUnplugCycle)->Iterations(10000)->Unit(benchmark::kMicrosecond);

int main(int argc, char **argv)
{
    return bench::runBenchmarks(argc, argv, [](const std::map<std::string, bench::Figures> &figures) {
        const bench::Figures *cycles = bench::find(figures, "BM_PlugUnplugCycle");
        if (!cycles || gCycles == 0) {
            std::printf("summary: hot-plug: no figures (filtered out or failed)\n");
            return;
        }
        std::printf("summary: hot-plug: a plug/unplug cycle takes %.0f us and leaves %+.1f heap bytes behind "
                    "(average over %lld cycles)\n",
                    cycles->nanosecondsPerIteration / 1000.0, gBytesPerCycle, static_cast<long long>(gCycles));
    });
}
