// One step of a fader drag on a linked pair, against the simulator's own set-and-read pair.
// A linked step makes six device calls: write, level read and decibel read for the moved
// channel, then the same for its partner. Those six calls made bare, with no panel between
// them, show how much of the step is the device's and how much the panel's.
//
// Run back to back, a write often finds the simulator's notification thread still awake from
// the last one, and how often differs between the step and the pair. So the step and the pair
// are also measured as a drag makes them, pointer events apart: each ends when the device has
// told its listeners, which costs both one wake-up of that thread.

#include "ARoundButtonSlider.h"
#include "BenchSupport.h"

namespace {

// 0.25 and 0.75 lie on different device steps, so every iteration really changes the level.
double alternate(std::int64_t i)
{
    return (i & 1) ? 0.25 : 0.75;
}

void dragStepLinkedPair(benchmark::State &state, bool delivered)
{
    bench::BoundPanel p;
    p.panel->currPreference.m_nLink[0] = 1;
    ARoundButtonSlider *slider = p.panel->fChannelLevel1;
    slider->setIsDragging(true);
    std::int64_t i = 0;
    for (auto _ : state) {
        slider->setDoubleValueNotLinked(alternate(i++));
        p.panel->setChannelLevel(slider);
        if (delivered)
            p.audio.waitForNotifications();
    }
    state.SetItemsProcessed(state.iterations());
    state.SetLabel("journal off");
    if (p.audio.volume(p.device, 1, 1) != p.audio.volume(p.device, 1, 2))
        state.SkipWithError("the partner does not hold the moved channel's level");
    p.audio.waitForNotifications();
}

void simSetGetPair(benchmark::State &state, bool delivered)
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
        if (delivered)
            s.audio.waitForNotifications();
    }
    state.SetItemsProcessed(state.iterations());
    state.SetLabel("journal off");
    s.audio.waitForNotifications();
}

void BM_DragStepLinkedPair(benchmark::State &state)
{
    dragStepLinkedPair(state, false);
}

void BM_SimSetGetPair(benchmark::State &state)
{
    simSetGetPair(state, false);
}

void BM_DragStepLinkedPairDelivered(benchmark::State &state)
{
    dragStepLinkedPair(state, true);
}

void BM_SimSetGetPairDelivered(benchmark::State &state)
{
    simSetGetPair(state, true);
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
BENCHMARK(BM_DragStepLinkedPairDelivered)->MeasureProcessCPUTime();
BENCHMARK(BM_SimSetGetPairDelivered)->MeasureProcessCPUTime();

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
        const bench::Figures *paced = bench::find(figures, "BM_DragStepLinkedPairDelivered");
        const bench::Figures *pacedFloor = bench::find(figures, "BM_SimSetGetPairDelivered");
        if (paced && pacedFloor && pacedFloor->cpuNanosecondsPerIteration > 0)
            std::printf("summary: mixer: each waited for until the device has told its listeners, as a drag's steps "
                        "are, a linked drag step takes %.2f us of CPU and the pair %.2f us, so the step costs %.2fx "
                        "the pair\n",
                        paced->cpuNanosecondsPerIteration / 1e3, pacedFloor->cpuNanosecondsPerIteration / 1e3,
                        paced->cpuNanosecondsPerIteration / pacedFloor->cpuNanosecondsPerIteration);
    });
}
