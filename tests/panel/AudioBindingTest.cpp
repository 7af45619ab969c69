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

TEST(AudioBinding, OneDeviceCarryingBothSidesFillsBoth)
{
    BindingHarness h;
    DeviceConfig config = DeviceConfig::zorvex();
    config.output.streamDirections = std::vector<UInt32>{0, 0};
    config.input.streamDirections = std::vector<UInt32>{1, 1};
    const AudioDeviceID id = h.audio.addDevice(config);
    EXPECT_EQ(h.panel->detectAudioDeviceID(), 0u);
    EXPECT_EQ(h.panel->fDeviceId[0], id);
    EXPECT_EQ(h.panel->fDeviceId[1], id);
}

TEST(AudioBinding, OutputOnlyThenInputOnlyDevicesFillTheirSides)
{
    BindingHarness h;
    const AudioDeviceID out = h.audio.addDevice(outputOnly());
    const AudioDeviceID in = h.audio.addDevice(inputOnly());
    h.panel->detectAudioDeviceID();
    EXPECT_EQ(h.panel->fDeviceId[0], out);
    EXPECT_EQ(h.panel->fDeviceId[1], in);
}

TEST(AudioBinding, LaterMatchingDeviceOverwritesTheSameSide)
{
    BindingHarness h;
    h.audio.addDevice();
    const AudioDeviceID second = h.audio.addDevice();
    h.panel->detectAudioDeviceID();
    EXPECT_EQ(h.panel->fDeviceId[0], second);
    EXPECT_EQ(h.panel->fDeviceId[1], second);
}

TEST(AudioBinding, NamesMustMatchExactly)
{
    BindingHarness h;
    for (const char *name : {"zorvex", "ZORVEX", "Zorvex ", "Zorvex 2", " Zorvex", "Zorve", ""})
        h.audio.addDevice(named(std::string(name)));
    h.audio.addDevice(named(std::nullopt)); // its name cannot be read
    h.panel->detectAudioDeviceID();
    EXPECT_EQ(h.panel->fDeviceId[0], kAudioDeviceUnknown);
    EXPECT_EQ(h.panel->fDeviceId[1], kAudioDeviceUnknown);

    const AudioDeviceID real = h.audio.addDevice();
    h.panel->detectAudioDeviceID();
    EXPECT_EQ(h.panel->fDeviceId[0], real) << "devices before it that failed do not stop the search";
}

TEST(AudioBinding, TheFirstStreamsOwnDirectionChoosesTheSide)
{
    BindingHarness h;
    DeviceConfig config = DeviceConfig::zorvex();
    config.hasInput = false;
    config.output.streamDirections = std::vector<UInt32>{7, 0}; // non-zero reads as input
    const AudioDeviceID id = h.audio.addDevice(config);
    h.panel->detectAudioDeviceID();
    EXPECT_EQ(h.panel->fDeviceId[0], kAudioDeviceUnknown);
    EXPECT_EQ(h.panel->fDeviceId[1], id);
}

TEST(AudioBinding, DevicesWithoutStreamsOrReadableDirectionsStayUnbound)
{
    BindingHarness h;
    DeviceConfig streamless = DeviceConfig::zorvex();
    streamless.output.streamDirections = std::vector<UInt32>{};
    streamless.input.streamDirections = std::vector<UInt32>{};
    h.audio.addDevice(streamless);
    h.panel->detectAudioDeviceID();
    EXPECT_EQ(h.panel->fDeviceId[0], kAudioDeviceUnknown);
    EXPECT_EQ(h.panel->fDeviceId[1], kAudioDeviceUnknown);

    h.audio.addDevice();
    h.audio.failWhen([](const AudioCall &c) { return c.property == kAudioStreamPropertyDirection; });
    h.panel->detectAudioDeviceID();
    EXPECT_EQ(h.panel->fDeviceId[0], kAudioDeviceUnknown);
}

TEST(AudioBinding, UnreadableOrOddSizedDeviceListsAreHandled)
{
    BindingHarness h;
    const AudioDeviceID id = h.audio.addDevice();
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
