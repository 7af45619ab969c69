// One step of a fader drag on a linked pair, against the simulator's own set-and-read pair.
// A linked step makes six device calls: write, level read and decibel read for the moved
// channel, then the same for its partner. Those six calls made bare, with no panel between
// them, show how much of the step is the device's and how much the panel's.

#include "ARoundButtonSlider.h"
#include "BenchSupport.h"

namespace {

// 0.25 and 0.75 lie on different device steps, so every iteration really changes the level.
double alternate(std::int64_t i)
{
    return (i & 1) ? 0.25 : 0.75;
}

void BM_DragStepLinkedPair(benchmark::State &state)
{
    bench::BoundPanel p;
    p.panel->currPreference.m_nLink[0] = 1;
    ARoundButtonSlider *slider = p.panel->fChannelLevel1;
    slider->setIsDragging(true);
    std::int64_t i = 0;
    for (auto _ : state) {
        slider->setDoubleValueNotLinked(alternate(i++));
        p.panel->setChannelLevel(slider);
    }
    state.SetItemsProcessed(state.iterations());
    state.SetLabel("journal off");
    if (p.audio.volume(p.device, 1, 1) != p.audio.volume(p.device, 1, 2))
        state.SkipWithError("the partner does not hold the moved channel's level");
    p.audio.waitForNotifications();
}

void BM_SimSetGetPair(benchmark::State &state)
{
    bench::SimBinding s;
    std::int64_t i = 0;
    for (auto _ : state) {
        const Float32 value = static_cast<Float32>(alternate(i++));
        AudioDeviceSetProperty(s.device, nullptr, 1, 1, kAudioDevicePropertyVolumeScalar, sizeof(value),
                               bytesOf(value));
        Float32 read = 0;
        UInt32 size = sizeof(read);
        AudioDeviceGetProperty(s.device, 1, 1, kAudioDevicePropertyVolumeScalar, &size, bytesOf(read));
        benchmark::DoNotOptimize(read);
    }
    state.SetItemsProcessed(state.iterations());
    state.SetLabel("journal off");
    s.audio.waitForNotifications();
}

void BM_SixBareCalls(benchmark::State &state)
{
    bench::SimBinding s;
    std::int64_t i = 0;
    for (auto _ : state) {
        const Float32 value = static_cast<Float32>(alternate(i++));
        for (UInt32 channel = 1; channel <= 2; ++channel) {
            AudioDeviceSetProperty(s.device, nullptr, channel, 1, kAudioDevicePropertyVolumeScalar, sizeof(value),
                                   bytesOf(value));
            for (AudioPropertyID property : {kAudioDevicePropertyVolumeScalar, kAudioDevicePropertyVolumeDecibels}) {
                Float32 read = 0;
                UInt32 size = sizeof(read);
                AudioDeviceGetProperty(s.device, channel, 1, property, &size, bytesOf(read));
                benchmark::DoNotOptimize(read);
            }
        }
    }
    state.SetItemsProcessed(state.iterations());
    state.SetLabel("journal off");
    s.audio.waitForNotifications();
}

} // namespace

// CPU time of every thread: the simulator's notification thread works for both.
BENCHMARK(BM_DragStepLinkedPair)->MeasureProcessCPUTime();
BENCHMARK(BM_SimSetGetPair)->MeasureProcessCPUTime();
BENCHMARK(BM_SixBareCalls)->MeasureProcessCPUTime();

int main(int argc, char **argv)
{
    return bench::runBenchmarks(argc, argv, [](const std::map<std::string, bench::Figures> &figures) {
        const bench::Figures *drag = bench::find(figures, "BM_DragStepLinkedPair");
        const bench::Figures *floor = bench::find(figures, "BM_SimSetGetPair");
        if (!drag || !floor || floor->cpuNanosecondsPerIteration <= 0) {
            std::printf("summary: mixer: no figures (filtered out or failed)\n");
            return;
        }
        const double ratio = drag->cpuNanosecondsPerIteration / floor->cpuNanosecondsPerIteration;
        std::printf("summary: mixer: a linked drag step takes %.2f us of CPU and the simulator's set+get pair "
                    "%.2f us, so the drag step costs %.2fx the pair (budget: at most 3x; journal off, no "
                    "latency)\n",
                    drag->cpuNanosecondsPerIteration / 1e3, floor->cpuNanosecondsPerIteration / 1e3, ratio);
        if (const bench::Figures *bare = bench::find(figures, "BM_SixBareCalls"))
            std::printf("summary: mixer: the six device calls of a linked step, made bare with no panel between "
                        "them, take %.2f us of CPU, %.2fx the pair, so the panel's part of the step is %.2f us\n",
                        bare->cpuNanosecondsPerIteration / 1e3,
                        bare->cpuNanosecondsPerIteration / floor->cpuNanosecondsPerIteration,
                        (drag->cpuNanosecondsPerIteration - bare->cpuNanosecondsPerIteration) / 1e3);
    });
}
