#include "KernelStreamRate.h"
#include "PipeWireClock.h"
#include "PrivatePipeWire.h"
#include "RateWatch.h"

#include <QTemporaryDir>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

using namespace linuxbackends;
using platform::PropertyChange;

namespace {

using Clock = std::chrono::steady_clock;

// A /proc/asound of the test's own: files written where the kernel would have them.
struct FakeProc {
    QTemporaryDir dir;
    std::filesystem::path root() const { return dir.path().toStdString(); }
    void write(const std::string &relative, const std::string &text) const
    {
        const std::filesystem::path path = root() / relative;
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path) << text;
    }
};

constexpr const char *kRunning44100 = "access: MMAP_INTERLEAVED\nformat: S24_3LE\nsubformat: STD\nchannels: 2\n"
                                      "rate: 44100 (44100/1)\nperiod_size: 441\nbuffer_size: 1764\n";

constexpr const char *kUsbStream = "Orvanelle Zorvex at usb-0000:00:14.0-2, high speed : USB Audio\n"
                                   "\n"
                                   "Playback:\n"
                                   "  Status: Running\n"
                                   "    Interface = 1\n"
                                   "    Altset = 1\n"
                                   "    Momentary freq = 96000 Hz (0xc.0000)\n"
                                   "  Interface 1\n"
                                   "    Rates: 44100, 48000, 96000\n"
                                   "\n"
                                   "Capture:\n"
                                   "  Status: Stop\n"
                                   "  Interface 2\n"
                                   "    Rates: 44100, 48000, 96000\n";

// Waits, in real time, for something another process or thread brings about.
template <class F>
bool eventually(F &&done, std::chrono::milliseconds limit = std::chrono::seconds(5))
{
    const auto deadline = Clock::now() + limit;
    while (!done()) {
        if (Clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

} // namespace

// ---- the kernel's word ----

TEST(KernelRate, HwParamsGiveTheRateOfAnOpenSubstreamOnly)
{
    const std::pair<std::string, std::optional<UInt32>> cases[] = {
        {kRunning44100, 44100},
        {"rate: 96000 (96000/1)\n", 96000},
        {"closed\n", std::nullopt},
        {"", std::nullopt},
        {"rate: \n", std::nullopt},
        {"rate: 0 (0/1)\n", std::nullopt},
        {"rate: -48000\n", std::nullopt},
        {"rate: 99999999999 (1/1)\n", std::nullopt}, // past 32 bits
        {"rate: banana\n", std::nullopt},
        {std::string(100000, 'x'), std::nullopt},
        {"rate: 960", std::nullopt}, // cut short: only a whole line counts
        {"rate: 96000 (96000/1)", std::nullopt},
        {"rate: 4294967295 (1/1)\n", std::nullopt},
        {"rate: 7999 (7999/1)\n", std::nullopt},
        {"rate: 768001\n", std::nullopt},
        {"rate: 960000000\n", std::nullopt},
        {"rate: 8000\n", 8000},
    };
    for (const auto &[text, rate] : cases)
        EXPECT_EQ(rateFromHwParams(text), rate) << text.substr(0, 40);
}

TEST(KernelRate, TheStreamFileGivesAMomentaryFrequencyOnlyForARunningDirection)
{
    EXPECT_EQ(rateFromStreamFile(kUsbStream, 0), 96000u);
    EXPECT_EQ(rateFromStreamFile(kUsbStream, 1), std::nullopt) << "capture is stopped";
    const std::string capture = "Capture:\n  Status: Running\n    Momentary freq = 44099 Hz (0x5.8330)\n";
    EXPECT_EQ(rateFromStreamFile(capture, 1), 44099u);
    EXPECT_EQ(rateFromStreamFile(capture, 0), std::nullopt) << "no playback section";
    EXPECT_EQ(rateFromStreamFile("Playback:\n  Status: Running\n", 0), std::nullopt) << "no frequency";
    EXPECT_EQ(rateFromStreamFile("Playback:\n  Status: Running\n    Momentary freq = 0 Hz\n", 0), std::nullopt);
}

TEST(KernelRate, APcmRunsAtItsOpenSubstreamsRateAndTheStreamFileSpeaksOnlyWithoutSubstreams)
{
    FakeProc proc;
    proc.write("card2/pcm0p/sub0/hw_params", "closed\n");
    proc.write("card2/pcm0p/sub1/hw_params", kRunning44100);
    proc.write("card2/pcm0c/sub0/hw_params", "closed\n");
    proc.write("card2/stream0", kUsbStream);
    EXPECT_EQ(kernelRunningRate(proc.root(), 2, 0, 0), 44100u);
    EXPECT_EQ(kernelRunningRate(proc.root(), 2, 0, 1), std::nullopt)
        << "closed substreams decide, whatever the stream file says";
    EXPECT_EQ(kernelRunningRate(proc.root(), 3, 0, 0), std::nullopt) << "no such card";

    proc.write("card4/stream1", kUsbStream);
    EXPECT_EQ(kernelRunningRate(proc.root(), 4, 1, 0), 96000u);
    EXPECT_EQ(kernelRunningRate(proc.root(), 4, 0, 0), std::nullopt);

    proc.write("card5/pcm0p/sub10/hw_params", "rate: 96000 (96000/1)\n");
    proc.write("card5/pcm0p/sub2/hw_params", kRunning44100);
    EXPECT_EQ(kernelRunningRate(proc.root(), 5, 0, 0), 44100u) << "sub2 before sub10";
    proc.write("card5/pcm0c/sub0/hw_params", "rate: 96000 (96000/1)\n" + std::string(70000, ' ') + "\n");
    EXPECT_EQ(kernelRunningRate(proc.root(), 5, 0, 1), std::nullopt) << "longer than any kernel file";
    std::filesystem::create_directories(proc.root() / "card6/pcm0p/sub0");
    ASSERT_EQ(::mkfifo((proc.root() / "card6/pcm0p/sub0/hw_params").c_str(), 0600), 0);
    EXPECT_EQ(kernelRunningRate(proc.root(), 6, 0, 0), std::nullopt) << "a FIFO is not waited on";
}

// ---- the sound server ----

class SoundServer : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The test's server only, never one named by the session.
        ::unsetenv("PIPEWIRE_REMOTE");
        if (!server.installed())
            GTEST_SKIP() << "the PipeWire daemon is not installed (scripts/install-deps installs it)";
        ASSERT_TRUE(server.available()) << "the private PipeWire daemon did not start";
    }
    std::unique_ptr<PipeWireClock> connect(std::function<void()> changed = {})
    {
        return PipeWireClock::connect(server.socket(), std::move(changed));
    }
    std::string serverRate()
    {
        const auto observer = connect();
        return observer ? std::to_string(observer->rate().value_or(0)) : "no server";
    }

    PrivatePipeWire server;
};

TEST_F(SoundServer, WhatAnotherClientForcedIsWhatComesBackAndTheEndOfAClockRestoresToo)
{
    const auto other = connect();
    ASSERT_NE(other, nullptr);
    ASSERT_EQ(other->forceRate(44100), noErr);
    {
        const auto clock = connect();
        ASSERT_NE(clock, nullptr);
        EXPECT_EQ(clock->rate(), 44100u);
        ASSERT_EQ(clock->forceRate(96000), noErr);
        EXPECT_EQ(serverRate(), "96000");
    }
    EXPECT_EQ(serverRate(), "44100") << "the other client's forced rate, not none";

    {
        const auto clock = connect();
        ASSERT_NE(clock, nullptr);
        ASSERT_EQ(clock->forceRate(96000), noErr);
        ASSERT_EQ(other->forceRate(48000), noErr) << "another client's choice after this one's";
    }
    EXPECT_EQ(serverRate(), "48000") << "a quit leaves the later choice standing";
}

TEST_F(SoundServer, NoServerOrOneThatGoesAwayLeavesNoRateAndRefusesChoices)
{
    EXPECT_EQ(PipeWireClock::connect(server.folder() + "/nobody-here", {}), nullptr);
    std::atomic<int> changes{0};
    const auto clock = connect([&] { ++changes; });
    ASSERT_NE(clock, nullptr);
    server.stop();
    ASSERT_TRUE(eventually([&] { return !clock->connected(); }));
    EXPECT_GT(changes, 0);
    EXPECT_EQ(clock->rate(), std::nullopt);
    EXPECT_EQ(clock->forceRate(96000), kAudioHardwareNotRunningError);
}

// ---- a side's rate, its watch and its choice ----

class SideRates : public SoundServer {
protected:
    RateSources sources(bool withServer = true) const
    {
        return {proc.root(),
                withServer ? server.socket() : server.folder() + "/nobody-here",
                proc.root() / "no-pulse",
                proc.root() / "dev",
                {}};
    }
    FakeProc proc;
    const PcmSide output{AudioDeviceID{3}, 0, 2, 0};
    const PcmSide input{AudioDeviceID{3}, 1, 2, 0};
};

TEST_F(SideRates, ARunningStreamSpeaksFirstThenTheServerThenNothing)
{
    proc.write("card2/pcm0p/sub0/hw_params", kRunning44100);
    proc.write("card2/pcm0c/sub0/hw_params", "closed\n");
    RateWatch withServer(sources(), {});
    EXPECT_EQ(withServer.rate(output), 44100u) << "the kernel's word on a running stream";
    withServer.listen(input);
    EXPECT_TRUE(eventually([&] { return withServer.rate(input) == 48000u; })) << "the rate the server will open it at";

    RateWatch alone(sources(false), {});
    EXPECT_EQ(alone.rate(output), 44100u);
    EXPECT_EQ(alone.rate(input), std::nullopt) << "no stream, no server: no rate applies";
    EXPECT_EQ(alone.choose(96000), kAudioHardwareNotRunningError);
    proc.write("no-pulse", "");
    EXPECT_EQ(alone.choose(96000), kAudioHardwareIllegalOperationError) << "a server that cannot switch";

    // Without a server the rate is read again only while the kernel counts a substream in use.
    alone.listen(output);
    proc.write("card2/pcm0p/info", "subdevices_count: 1\nsubdevices_avail: 1\n");
    EXPECT_EQ(alone.readAgainIn(), std::nullopt);
    proc.write("card2/pcm0p/info", "subdevices_count: 1\nsubdevices_avail: 0\n");
    EXPECT_NE(alone.readAgainIn(), std::nullopt);
    // A file that fails to read (a folder here, a card that has just gone on the kernel): polled.
    std::filesystem::remove(proc.root() / "card2/pcm0p/info");
    std::filesystem::create_directory(proc.root() / "card2/pcm0p/info");
    EXPECT_NE(alone.readAgainIn(), std::nullopt);
}

TEST_F(SideRates, AChoiceReachesTheServerIsReportedOnceAndIsPutBackWhenTheLastListenerGoes)
{
    std::atomic<int> wakes{0};
    RateWatch watch(sources(), [&] { ++wakes; });
    EXPECT_FALSE(watch.watching());
    watch.listen(output);
    watch.listen(output); // a second listener of the same side
    watch.listen(input);
    EXPECT_TRUE(watch.watching());
    ASSERT_TRUE(eventually([&] { return watch.holdsServer(); }));
    watch.changes(); // the server's rate, learnt since the listeners came

    const int before = wakes;
    ASSERT_EQ(watch.choose(96000), noErr);
    // The two sides' moves may come in one batch or two, in either order.
    std::vector<PropertyChange> owed;
    EXPECT_TRUE(eventually([&] {
        for (const PropertyChange &change : watch.changes())
            owed.push_back(change);
        return owed.size() >= 2;
    }));
    EXPECT_GT(wakes, before) << "the server's thread woke the owner";
    const std::vector<PropertyChange> expected{{output.device, 0, 0, kAudioDevicePropertyStreamFormat},
                                               {input.device, 0, 1, kAudioDevicePropertyStreamFormat}};
    std::sort(owed.begin(), owed.end(),
              [](const PropertyChange &a, const PropertyChange &b) { return a.isInput < b.isInput; });
    EXPECT_EQ(owed, expected);
    EXPECT_TRUE(watch.changes().empty()) << "each move is reported once";
    EXPECT_EQ(serverRate(), "96000");

    // A stream that another program opens at its own rate is the truth from then on.
    proc.write("card2/pcm0p/sub0/hw_params", kRunning44100);
    EXPECT_EQ(watch.changes(), (std::vector<PropertyChange>{expected[0]}));
    EXPECT_EQ(watch.rate(output), 44100u);

    watch.unlisten(output.device, 0);
    watch.unlisten(input.device, 1);
    EXPECT_TRUE(watch.holdsServer()) << "one listener of the output side is left";
    EXPECT_EQ(serverRate(), "96000");
    watch.unlisten(output.device, 0);
    EXPECT_FALSE(watch.watching());
    EXPECT_TRUE(eventually([&] { return !watch.holdsServer(); })) << "nothing attached, nothing held";
    EXPECT_EQ(serverRate(), "48000") << "detached: the server is not left forced";
}

TEST_F(SideRates, ARateForcedByARunThatDiedIsPutBackByTheNextWhileTheServerStillHoldsIt)
{
    const std::filesystem::path record = proc.root() / "forced-rate";
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const auto clock = PipeWireClock::connect(server.socket(), {}, std::chrono::seconds(1), record);
        if (clock && clock->forceRate(96000) == noErr)
            ::raise(SIGKILL);
        std::_Exit(1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the child forced the rate and was killed";
    ASSERT_EQ(serverRate(), "96000") << "the dead run left the server forced";

    RateSources next = sources();
    next.forcedRateRecord = record;
    const auto started = std::make_unique<RateWatch>(next, std::function<void()>{});
    EXPECT_TRUE(eventually([&] { return serverRate() == "48000" && !std::filesystem::exists(record); }))
        << "put back at the next start, and the record gone";
}
