#pragma once

#include "DiscoveryHarness.h"

// A woken panel bound to one simulated "Zorvex" audio device (unless told otherwise), with no
// USB device plugged in: the mixer, rate and listener code driven directly.
struct PanelHarness : DiscoveryHarness {
    AudioDeviceID device{};

    explicit PanelHarness(bool bind = true, sim::DeviceConfig config = sim::DeviceConfig::zorvex())
    {
        device = audio.addDevice(std::move(config));
        wake();
        if (bind)
            panel->fDeviceId = {device, device};
        audio.clearJournal();
    }

    // A Zorvex that stores any volume exactly instead of in its 127 steps.
    static sim::DeviceConfig exactZorvex()
    {
        sim::DeviceConfig config = sim::DeviceConfig::zorvex();
        config.volumeSteps = 0;
        return config;
    }
};
