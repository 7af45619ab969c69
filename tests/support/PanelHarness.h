#pragma once

#include "ATolvane.h"
#include "AppleScript.h"
#include "Clock.h"
#include "CoreAudio.h"
#include "IOKit.h"
#include "Preferences.h"
#include "SimAudio.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <algorithm>
#include <memory>

// A panel woken from its interface file, on a simulated audio system, a virtual clock and a
// script runner that records; bound to one "Zorvex" device unless told otherwise.
struct PanelHarness {
    sim::SimAudioSystem audio;
    platform::VirtualClock clock;
    RecordingScriptRunner scripts;
    std::unique_ptr<ATolvane> panel;
    AudioDeviceID device{};

    QTemporaryDir preferences;

    explicit PanelHarness(bool bind = true, sim::DeviceConfig config = sim::DeviceConfig::zorvex())
    {
        // A fresh bus and a fresh preferences folder: nothing of an earlier test leaks in.
        platform::IORegistry::instance().reset();
        platform::setPreferencesDirectory(preferences.path());
        SetAudioHardwareBackend(&audio);
        platform::setClock(&clock);
        setScriptRunner(&scripts);
        device = audio.addDevice(std::move(config));
        panel = std::make_unique<ATolvane>();
        panel->awakeFromNib();
        if (bind)
            panel->fDeviceId = {device, device};
        audio.clearJournal();
    }

    ~PanelHarness()
    {
        panel.reset();
        platform::IORegistry::instance().reset();
        platform::setPreferencesDirectory(QString());
        SetAudioHardwareBackend(nullptr);
        platform::setClock(nullptr);
        setScriptRunner(nullptr);
    }

    std::vector<sim::AudioCall> calls(sim::AudioOp op) const
    {
        std::vector<sim::AudioCall> result;
        for (const sim::AudioCall &call : audio.journal())
            if (call.op == op)
                result.push_back(call);
        return result;
    }

    std::vector<sim::AudioCall> writes() const { return calls(sim::AudioOp::DeviceSetProperty); }

    // Delivers every notification the simulator has queued, then every read-back they posted.
    void settle()
    {
        audio.waitForNotifications();
        QCoreApplication::processEvents();
    }
};
