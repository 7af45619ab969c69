#include "SimAudio.h"
#include "CoreAudio.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <tuple>

namespace {

using Key = std::tuple<UInt32, UInt32, Boolean, UInt32>; // device, channel, side, property

// Collects what the notification thread delivers.
struct Recorder {
    std::mutex mutex;
    std::vector<Key> seen;
    std::vector<std::thread::id> threads;

    static OSStatus proc(AudioDeviceID device, UInt32 channel, Boolean isInput, AudioPropertyID property, void *self)
    {
        auto *r = static_cast<Recorder *>(self);
        std::lock_guard lock(r->mutex);
        r->seen.emplace_back(toUInt32(device), channel, isInput, toUInt32(property));
        r->threads.push_back(std::this_thread::get_id());
        return noErr;
    }
    std::vector<Key> take()
    {
        std::lock_guard lock(mutex);
        return std::exchange(seen, {});
    }
};

// Stays inside the call for a while so that a removal can meet a delivery in progress.
struct SlowListener {
    std::atomic<int> calls{0};
    std::atomic<bool> inside{false};

    static OSStatus proc(AudioDeviceID, UInt32, Boolean, AudioPropertyID, void *self)
    {
        auto *s = static_cast<SlowListener *>(self);
        s->inside = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        ++s->calls;
        s->inside = false;
        return noErr;
    }
};

struct SimAudio : ::testing::Test {
    sim::SimAudioSystem audio;
    AudioDeviceID device = audio.addDevice();

    void SetUp() override { SetAudioHardwareBackend(&audio); }
    void TearDown() override { SetAudioHardwareBackend(nullptr); }

    OSStatus setFormat(Boolean isInput, const AudioStreamBasicDescription &format)
    {
        return AudioStreamSetProperty(audio.streams(device, isInput).at(0), nullptr, 0,
                                      kAudioStreamPropertyPhysicalFormat, sizeof(format), bytesOf(format));
    }
};

} // namespace

TEST_F(SimAudio, RemovalWaitsForADeliveryInProgressAndNoCallArrivesAfterIt)
{
    SlowListener slow;
    ASSERT_EQ(AudioDeviceAddPropertyListener(device, 1, 1, kAudioDevicePropertyVolumeScalar, SlowListener::proc, &slow),
              noErr);
    for (int i = 0; i < 3; ++i)
        audio.notify(device, 1, 1, kAudioDevicePropertyVolumeScalar);
    // Only a thread hand-off is awaited; the bound merely keeps a fault from hanging.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!slow.inside && std::chrono::steady_clock::now() < deadline)
        std::this_thread::yield();
    ASSERT_TRUE(slow.inside);

    ASSERT_EQ(AudioDeviceRemovePropertyListener(device, 1, 1, kAudioDevicePropertyVolumeScalar, SlowListener::proc),
              noErr);
    EXPECT_FALSE(slow.inside) << "a call was still running when the removal returned";
    EXPECT_EQ(audio.listenerCount(), 0u);
    const int atRemoval = slow.calls;
    audio.notify(device, 1, 1, kAudioDevicePropertyVolumeScalar);
    audio.waitForNotifications();
    EXPECT_EQ(slow.calls, atRemoval);
    EXPECT_NE(AudioDeviceRemovePropertyListener(device, 1, 1, kAudioDevicePropertyVolumeScalar, SlowListener::proc),
              noErr)
        << "nothing left to remove";
}
