#pragma once

// What both benchmark programs share: a panel bound to the simulated interface as the tests
// bind it, a helper thread that fires work at the window's thread, and a main that runs the
// benchmarks on the off-screen platform and prints a one-line summary from their figures.

#include "ATolvane.h"
#include "CoreAudio.h"
#include "PanelResources.h"
#include "SimAudio.h"
#include "TestDoubles.h"

#include <QApplication>
#include <benchmark/benchmark.h>

#include <condition_variable>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unistd.h>

namespace bench {

// The simulated interface installed as the audio system, with no added latency and the
// journal off: a journal grows with every call and would be measured along with the call.
struct SimBinding {
    sim::SimAudioSystem audio;
    platform::VirtualClock clock;
    RecordingScriptRunner scripts;
    AudioDeviceID device{};

    explicit SimBinding(sim::DeviceConfig config = sim::DeviceConfig::zorvex())
    {
        SetAudioHardwareBackend(&audio);
        platform::setClock(&clock);
        setScriptRunner(&scripts);
        device = audio.addDevice(std::move(config));
        audio.setJournaling(false);
    }
    ~SimBinding()
    {
        SetAudioHardwareBackend(nullptr);
        platform::setClock(nullptr);
        setScriptRunner(nullptr);
    }
    SimBinding(const SimBinding &) = delete;
    SimBinding &operator=(const SimBinding &) = delete;
};

// A woken panel with both sides bound to the one simulated device.
struct BoundPanel : SimBinding {
    std::unique_ptr<ATolvane> panel;

    BoundPanel()
    {
        panel = std::make_unique<ATolvane>();
        panel->awakeFromNib();
        panel->fDeviceId = {device, device};
    }
    ~BoundPanel() { panel.reset(); }
};

// One long-lived thread that runs a job on request, so that starting a thread is not part of
// what is measured.
class Pitcher {
public:
    Pitcher()
        : m_thread([this] { loop(); })
    {
    }
    ~Pitcher()
    {
        {
            std::lock_guard lock(m_mutex);
            m_stopping = true;
        }
        m_changed.notify_all();
        m_thread.join();
    }
    Pitcher(const Pitcher &) = delete;
    Pitcher &operator=(const Pitcher &) = delete;

    void start(std::function<void()> job)
    {
        {
            std::lock_guard lock(m_mutex);
            m_job = std::move(job);
        }
        m_changed.notify_all();
    }
    void wait()
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return !m_job; });
    }

private:
    void loop()
    {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_changed.wait(lock, [this] { return m_stopping || m_job; });
            if (m_stopping)
                return;
            lock.unlock();
            m_job();
            lock.lock();
            m_job = nullptr;
            m_changed.notify_all();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::function<void()> m_job;
    bool m_stopping = false;
    std::thread m_thread;
};

// The figures of the last run of each benchmark, by name.
struct Figures {
    double nanosecondsPerIteration = 0;
    // The CPU time of the whole process (all threads) with MeasureProcessCPUTime, else of
    // the benchmark's thread.
    double cpuNanosecondsPerIteration = 0;
    double itemsPerSecond = 0;
};

class CapturingReporter final : public benchmark::ConsoleReporter {
public:
    std::map<std::string, Figures> figures;

    // Colour only on a terminal, so that piped output stays plain text.
    CapturingReporter()
        : ConsoleReporter(::isatty(STDOUT_FILENO) ? OO_ColorTabular : OO_Tabular)
    {
    }

    void ReportRuns(const std::vector<Run> &runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred || run.iterations == 0)
                continue;
            Figures f;
            f.nanosecondsPerIteration = run.real_accumulated_time * 1e9 / static_cast<double>(run.iterations);
            f.cpuNanosecondsPerIteration = run.cpu_accumulated_time * 1e9 / static_cast<double>(run.iterations);
            if (const auto it = run.counters.find("items_per_second"); it != run.counters.end())
                f.itemsPerSecond = it->second.value;
            figures[run.run_name.function_name] = f;
        }
    }
};

// Runs the registered benchmarks on the off-screen platform, then hands their figures to
// `summarise`, which prints the program's summary lines.
inline int runBenchmarks(int argc, char **argv,
                         const std::function<void(const std::map<std::string, Figures> &)> &summarise)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    benchmark::Initialize(&argc, argv);
    QApplication app(argc, argv);
    initPanelResources();
    CapturingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    summarise(reporter.figures);
    std::fflush(stdout);
    return 0;
}

inline const Figures *find(const std::map<std::string, Figures> &figures, const std::string &name)
{
    const auto it = figures.find(name);
    return it == figures.end() ? nullptr : &it->second;
}

} // namespace bench
