#pragma once

#include "ATolvane.h"
#include "CoreAudio.h"
#include "IOKit.h"
#include "Preferences.h"
#include "SimAudio.h"
#include "SimUSB.h"
#include "TestDoubles.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <memory>
#include <optional>

// A simulated machine with a USB bus and an audio system, a virtual clock and a preferences
// folder of its own. The panel is woken on demand, so that a test can plug devices in before
// or after start-up.
struct DiscoveryHarness {
    sim::SimAudioSystem audio;
    platform::VirtualClock clock;
    RecordingScriptRunner scripts;
    QTemporaryDir preferences;
    std::unique_ptr<sim::SimUSBBus> bus;
    std::unique_ptr<ATolvane> panel;

    DiscoveryHarness()
    {
        platform::IORegistry::instance().reset();
        platform::setPreferencesDirectory(preferences.path());
        SetAudioHardwareBackend(&audio);
        platform::setClock(&clock);
        setScriptRunner(&scripts);
        bus = std::make_unique<sim::SimUSBBus>(&audio);
    }

    ~DiscoveryHarness()
    {
        panel.reset();
        bus.reset();
        platform::IORegistry::instance().reset();
        platform::setPreferencesDirectory(QString());
        SetAudioHardwareBackend(nullptr);
        platform::setClock(nullptr);
        setScriptRunner(nullptr);
    }

    ATolvane &wake()
    {
        panel = std::make_unique<ATolvane>();
        panel->awakeFromNib();
        return *panel;
    }

    // Delivers what the simulator has queued, then what that posted to the event loop: device
    // reports, notifications, read-backs; then lets any wait on the clock run out.
    void settle()
    {
        deliver();
        clock.runTimers();
        deliver();
    }

    // The same without moving the clock on.
    void deliver()
    {
        for (int i = 0; i < 5; ++i) {
            audio.waitForNotifications();
            QCoreApplication::processEvents();
        }
    }

    // Timers running on the event loop for the panel and everything it holds.
    std::size_t runningTimers() const
    {
        auto *dispatcher = QAbstractEventDispatcher::instance();
        std::size_t n = dispatcher->registeredTimers(panel.get()).size();
        for (QObject *child : panel->findChildren<QObject *>())
            n += dispatcher->registeredTimers(child).size();
        return n;
    }

    sim::SimUSBBus::Handle plug(sim::USBDevice usb = sim::USBDevice::zorvex(),
                                sim::ReportOrder order = sim::ReportOrder::HIDManagerFirst)
    {
        const auto handle = bus->plug(std::move(usb), order);
        settle();
        return handle;
    }

    void unplug(sim::SimUSBBus::Handle handle, sim::ReportOrder order = sim::ReportOrder::HIDManagerFirst)
    {
        bus->unplug(handle, order);
        settle();
    }

    void storeLinkFlag(const QVariant &value)
    {
        CFPreferencesSetAppValue(QStringLiteral("ZorvexLinkKey0"), value);
        CFPreferencesAppSynchronize();
    }

    // The link flag as the preferences file holds it; empty when none is stored or it is no number.
    static std::optional<SInt32> storedLinkFlag()
    {
        QFile file(platform::preferencesFilePath());
        SInt32 value = -1;
        if (!file.open(QIODevice::ReadOnly)
            || !CFNumberGetValue(
                QJsonDocument::fromJson(file.readAll()).object().value(QStringLiteral("ZorvexLinkKey0")).toVariant(),
                &value))
            return std::nullopt;
        return value;
    }

    std::size_t pauses(std::uint32_t micros) const
    {
        std::size_t n = 0;
        for (std::uint32_t p : clock.pauses())
            n += p == micros;
        return n;
    }

    std::vector<sim::AudioCall> calls(sim::AudioOp op) const
    {
        std::vector<sim::AudioCall> result;
        for (const sim::AudioCall &call : audio.journal())
            if (call.op == op)
                result.push_back(call);
        return result;
    }
    std::size_t countCalls(sim::AudioOp op) const { return calls(op).size(); }
    std::vector<sim::AudioCall> writes() const { return calls(sim::AudioOp::DeviceSetProperty); }
};
