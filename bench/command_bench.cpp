// How soon a command from another process takes effect in a running panel: the whole socket
// round trip, from connecting to the reply that follows the device write.

#include "ATolvane.h"
#include "CommandChannel.h"
#include "CoreAudio.h"
#include "Desktop.h"
#include "PanelResources.h"
#include "Preferences.h"
#include "SimAudio.h"
#include "SimUSB.h"
#include "TestDoubles.h"

#include <QApplication>
#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

namespace {

constexpr int kCommands = 200;
constexpr double kTargetMilliseconds = 50.0;

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    initPanelResources();
    QTemporaryDir home;
    platform::setPreferencesDirectory(home.path());

    // The simulated interface attached as at start-up; its pauses on virtual time.
    sim::SimAudioSystem audio;
    platform::VirtualClock clock;
    SetAudioHardwareBackend(&audio);
    platform::setClock(&clock);
    auto bus = std::make_unique<sim::SimUSBBus>(&audio);
    bus->plug();
    auto panel = std::make_unique<ATolvane>();
    panel->awakeFromNib();
    for (int i = 0; i < 10 && !panel->isAttached(); ++i)
        QCoreApplication::processEvents();
    if (!panel->isAttached()) {
        std::printf("summary: command: no figures (the simulated interface did not attach)\n");
        return 1;
    }
    audio.setJournaling(false);

    SessionInstance session(home.filePath(QStringLiteral("bench.socket")));
    if (!session.listen()) {
        std::printf("summary: command: no figures (no socket)\n");
        return 1;
    }
    session.setRequestHandler([&](const QByteArray &line) { return answerCommandRequest(*panel, line); });

    std::vector<double> milliseconds;
    int failures = 0;
    std::atomic<bool> done = false;
    std::thread launches([&] {
        for (int i = 0; i < kCommands; ++i) {
            const QString level = i % 2 ? QStringLiteral("output1=0.25") : QStringLiteral("output1=-3dB");
            const auto start = std::chrono::steady_clock::now();
            const RunningPanelAnswer answer = askRunningPanel(session.socketPath(), {QStringLiteral("--set"), level});
            const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
            milliseconds.push_back(took.count());
            failures += !answer.reply || answer.reply->status != 0;
        }
        done = true;
    });
    while (!done)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    launches.join();

    std::sort(milliseconds.begin(), milliseconds.end());
    const double median = milliseconds[milliseconds.size() / 2];
    const double p95 = milliseconds[milliseconds.size() * 95 / 100];
    const double worst = milliseconds.back();
    std::printf("command round trips: %d, failed %d, median %.2f ms, 95th percentile %.2f ms, worst %.2f ms\n",
                kCommands, failures, median, p95, worst);
    std::printf("summary: command: a command to a running panel takes effect in %.2f ms (median of %d socket round "
                "trips, 95th percentile %.2f ms), %s the %.0f ms target.\n",
                median, kCommands, p95, p95 < kTargetMilliseconds ? "within" : "OVER", kTargetMilliseconds);

    session.setRequestHandler({});
    panel.reset();
    bus.reset();
    SetAudioHardwareBackend(nullptr);
    platform::setClock(nullptr);
    return failures == 0 ? 0 : 1;
}
