#include "SimAudio.h"
#include "CoreAudio.h"
#include "CountingListener.h"
#include "PropertyListenerSet.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

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

// A size larger than the buffer behind it would let the backend write past the caller's
// storage: it is refused before it reaches the backend, and a size that fits goes through.
TEST_F(SimAudio, TheCallsRefuseASizeLargerThanTheBuffer)
{
    std::array<std::byte, 4> four{};
    const AudioStreamID stream = audio.streams(device, 0).at(0);
    audio.clearJournal();
    UInt32 size = 5;
    EXPECT_EQ(AudioHardwareGetProperty(kAudioHardwarePropertyDevices, &size, four), kAudioHardwareBadPropertySizeError);
    EXPECT_EQ(AudioDeviceGetProperty(device, 1, 1, kAudioDevicePropertyVolumeScalar, &size, four),
              kAudioHardwareBadPropertySizeError);
    EXPECT_EQ(AudioStreamGetProperty(stream, 0, kAudioStreamPropertyDirection, &size, four),
              kAudioHardwareBadPropertySizeError);
    EXPECT_EQ(AudioDeviceGetProperty(device, 1, 1, kAudioDevicePropertyVolumeScalar, nullptr, four),
              kAudioHardwareBadPropertySizeError);
    EXPECT_EQ(AudioDeviceSetProperty(device, nullptr, 1, 1, kAudioDevicePropertyVolumeScalar, 5, four),
              kAudioHardwareBadPropertySizeError);
    EXPECT_EQ(AudioStreamSetProperty(stream, nullptr, 0, kAudioStreamPropertyPhysicalFormat, 40, four),
              kAudioHardwareBadPropertySizeError);
    EXPECT_TRUE(audio.journal().empty());

    size = 4;
    EXPECT_EQ(AudioHardwareGetProperty(kAudioHardwarePropertyDevices, &size, four), noErr);
    size = 4;
    EXPECT_EQ(AudioDeviceGetProperty(device, 1, 1, kAudioDevicePropertyVolumeScalar, &size, four), noErr);
    size = 4;
    EXPECT_EQ(AudioStreamGetProperty(stream, 0, kAudioStreamPropertyDirection, &size, four), noErr);
    EXPECT_EQ(AudioDeviceSetProperty(device, nullptr, 1, 1, kAudioDevicePropertyVolumeScalar, 4, four), noErr);
    EXPECT_EQ(audio.journal().size(), 4u) << "each call that fits reached the backend";
}

namespace {

using platform::PropertyChange;
using platform::PropertyListenerSet;

PropertyListenerSet *gSet = nullptr;
const PropertyChange kVolume1In{AudioDeviceID{1}, 1, 1, kAudioDevicePropertyVolumeScalar};

// Removes itself and every counting listener of the same change, as a listener may while it runs.
OSStatus removingListener(AudioDeviceID, UInt32, Boolean, AudioPropertyID, void *data)
{
    ++static_cast<Counter *>(data)->calls;
    gSet->remove(kVolume1In, removingListener);
    gSet->remove(kVolume1In, countingListener);
    return noErr;
}

} // namespace

// A listener may remove itself, and others of the same round, while it runs: without a
// deadlock, and a listener removed earlier in the round is not called after.
TEST(PropertyListeners, AListenerRemovedEarlierInTheRoundIsNotCalled)
{
    PropertyListenerSet set;
    gSet = &set;
    Counter remover, removed;
    set.add(kVolume1In, removingListener, &remover);
    set.add(kVolume1In, countingListener, &removed);
    set.dispatch(kVolume1In);
    set.dispatch(kVolume1In);
    EXPECT_EQ(remover.calls, 1);
    EXPECT_EQ(removed.calls, 0);
    EXPECT_EQ(set.size(), 0u);
    gSet = nullptr;
}
