#include "PanelHarness.h"
#include "PanelTables.h"

#include <gtest/gtest.h>

using sim::AudioCall;
using sim::AudioOp;
using sim::DeviceConfig;

namespace {

DeviceConfig named(std::optional<std::string> name)
{
    DeviceConfig config = DeviceConfig::zorvex();
    config.name = std::move(name);
    return config;
}

DeviceConfig outputOnly()
{
    DeviceConfig config = DeviceConfig::zorvex();
    config.hasInput = false;
    return config;
}

DeviceConfig inputOnly()
{
    DeviceConfig config = DeviceConfig::zorvex();
    config.hasOutput = false;
    return config;
}

// An unbound panel on an audio system that holds only the given devices.
struct BindingHarness : PanelHarness {
    BindingHarness()
        : PanelHarness(false, DeviceConfig::zorvex())
    {
        audio.removeDevice(device);
    }
};

} // namespace

// Each device named "Zorvex" fills the side its first stream faces; a later one overwrites it.
TEST(AudioBinding, EachMatchingDeviceFillsTheSideItsFirstStreamFaces)
{
    DeviceConfig bothSides = DeviceConfig::zorvex();
    bothSides.output.streamDirections = std::vector<UInt32>{0, 0};
    bothSides.input.streamDirections = std::vector<UInt32>{1, 1};
    DeviceConfig oddDirection = outputOnly();
    oddDirection.output.streamDirections = std::vector<UInt32>{7, 0}; // non-zero reads as input
    struct Case {
        const char *what;
        std::vector<DeviceConfig> devices;
        int output, input; // which of the devices binds each side; -1 none
    };
    DeviceConfig streamless = DeviceConfig::zorvex();
    streamless.output.streamDirections = std::vector<UInt32>{};
    streamless.input.streamDirections = std::vector<UInt32>{};
    // Names must match exactly; a device whose name cannot be read is passed over.
    std::vector<DeviceConfig> misnamed;
    for (const char *name : {"zorvex", "ZORVEX", "Zorvex ", "Zorvex 2", " Zorvex", "Zorve", ""})
        misnamed.push_back(named(std::string(name)));
    misnamed.push_back(named(std::nullopt));
    std::vector<DeviceConfig> misnamedThenReal = misnamed;
    misnamedThenReal.push_back(DeviceConfig::zorvex());
    const Case cases[] = {
        {"one device carrying both sides", {bothSides}, 0, 0},
        {"no device named exactly Zorvex", misnamed, -1, -1},
        {"failed names do not stop the search", misnamedThenReal, 8, 8},
        {"a device without streams", {streamless}, -1, -1},
        {"output only, then input only", {outputOnly(), inputOnly()}, 0, 1},
        {"a later match overwrites the same side", {DeviceConfig::zorvex(), DeviceConfig::zorvex()}, 1, 1},
        {"the first stream's own direction", {oddDirection}, -1, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        BindingHarness h;
        std::vector<AudioDeviceID> ids;
        for (const DeviceConfig &config : c.devices)
            ids.push_back(h.audio.addDevice(config));
        EXPECT_EQ(h.panel->detectAudioDeviceID(), 0u);
        EXPECT_EQ(h.panel->fDeviceId[0],
                  c.output < 0 ? kAudioDeviceUnknown : ids.at(static_cast<std::size_t>(c.output)));
        EXPECT_EQ(h.panel->fDeviceId[1], c.input < 0 ? kAudioDeviceUnknown : ids.at(static_cast<std::size_t>(c.input)));
    }
}

TEST(AudioBinding, UnreadableDirectionsOrDeviceListsAndOddSizedListsAreHandled)
{
    BindingHarness h;
    const AudioDeviceID id = h.audio.addDevice();
    h.audio.failWhen([](const AudioCall &c) { return c.property == kAudioStreamPropertyDirection; });
    h.panel->detectAudioDeviceID();
    EXPECT_EQ(h.panel->fDeviceId[0], kAudioDeviceUnknown) << "stream directions that cannot be read bind nothing";

    h.audio.clearFailures();
    h.panel->fDeviceId = {AudioDeviceID{77}, AudioDeviceID{78}};
    h.audio.failWhen([](const AudioCall &c) { return c.op == AudioOp::HardwareGetProperty; });
    h.panel->detectAudioDeviceID();
    EXPECT_EQ(h.panel->fDeviceId[0], AudioDeviceID{77}) << "nothing is cleared when the list fails";

    h.audio.clearFailures();
    h.audio.failWhen([](const AudioCall &c) { return c.op == AudioOp::HardwareGetPropertyInfo; });
    h.panel->detectAudioDeviceID();
    EXPECT_EQ(h.panel->fDeviceId[0], AudioDeviceID{77});

    // Six bytes: one whole id and a fragment that is not read.
    h.audio.clearFailures();
    h.audio.clearJournal();
    h.audio.reportSizeWhen([](const AudioCall &c) { return c.op == AudioOp::HardwareGetPropertyInfo; }, 6);
    h.panel->detectAudioDeviceID();
    EXPECT_EQ(h.panel->fDeviceId[0], id);
    const auto listReads = h.calls(AudioOp::HardwareGetProperty);
    ASSERT_EQ(listReads.size(), 1u);
    EXPECT_EQ(listReads[0].size, 4u);

    // Fewer than one id announced: nothing to read.
    h.panel->fDeviceId = {};
    h.audio.clearFailures();
    h.audio.reportSizeWhen([](const AudioCall &c) { return c.op == AudioOp::HardwareGetPropertyInfo; }, 3);
    h.panel->detectAudioDeviceID();
    EXPECT_EQ(h.panel->fDeviceId[0], kAudioDeviceUnknown);
}
