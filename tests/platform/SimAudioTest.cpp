#include "SimAudio.h"
#include "CoreAudio.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <limits>
#include <mutex>
#include <optional>
#include <thread>
#include <tuple>

using sim::AudioCall;
using sim::AudioOp;

namespace {

struct Seen {
    AudioDeviceID device{};
    UInt32 channel = 0;
    Boolean isInput = 0;
    AudioPropertyID property{};
    std::thread::id thread;

    auto key() const { return std::tuple(toUInt32(device), channel, isInput, toUInt32(property)); }
};

// Collects what the notification thread delivers.
struct Recorder {
    mutable std::mutex mutex;
    std::vector<Seen> seen;

    static OSStatus proc(AudioDeviceID device, UInt32 channel, Boolean isInput, AudioPropertyID property, void *self)
    {
        auto *r = static_cast<Recorder *>(self);
        std::lock_guard lock(r->mutex);
        r->seen.push_back({device, channel, isInput, property, std::this_thread::get_id()});
        return noErr;
    }

    std::vector<Seen> take()
    {
        std::lock_guard lock(mutex);
        return std::exchange(seen, {});
    }
};

bool waitUntil(const std::function<bool()> &condition)
{
    // Only a thread hand-off is awaited here; the bound merely keeps a fault from hanging.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::yield();
    }
    return true;
}

sim::DeviceConfig exactDevice()
{
    sim::DeviceConfig config = sim::DeviceConfig::zorvex();
    config.volumeSteps = 0;
    return config;
}

class SimAudio : public ::testing::Test {
protected:
    sim::SimAudioSystem audio;
    AudioDeviceID device{};

    void SetUp() override
    {
        SetAudioHardwareBackend(&audio);
        device = audio.addDevice();
    }
    void TearDown() override { SetAudioHardwareBackend(nullptr); }

    OSStatus set(AudioDeviceID d, Boolean isInput, UInt32 channel, AudioPropertyID property, auto value)
    {
        static_assert(sizeof(value) == 4);
        return AudioDeviceSetProperty(d, nullptr, channel, isInput, property, sizeof(value), bytesOf(value));
    }
    OSStatus setVolume(AudioDeviceID d, Boolean isInput, UInt32 channel, Float32 value)
    {
        return set(d, isInput, channel, kAudioDevicePropertyVolumeScalar, value);
    }

    template <class T>
    std::optional<T> get(AudioDeviceID d, Boolean isInput, UInt32 channel, AudioPropertyID property)
    {
        T value{};
        UInt32 size = sizeof(value);
        if (AudioDeviceGetProperty(d, channel, isInput, property, &size, bytesOf(value)) != noErr
            || size != sizeof(value))
            return std::nullopt;
        return value;
    }
    std::optional<Float32> volume(AudioDeviceID d, Boolean isInput, UInt32 channel)
    {
        return get<Float32>(d, isInput, channel, kAudioDevicePropertyVolumeScalar);
    }

    void listen(Recorder &r, Boolean isInput, UInt32 channel, AudioPropertyID property)
    {
        ASSERT_EQ(AudioDeviceAddPropertyListener(device, channel, isInput, property, Recorder::proc, &r), noErr);
    }
    // Every volume, decibel and mute property of both sides.
    void listenToEverything(Recorder &r)
    {
        for (Boolean isInput : {Boolean{0}, Boolean{1}})
            for (UInt32 channel : {0u, 1u, 2u})
                for (AudioPropertyID p : {kAudioDevicePropertyVolumeScalar, kAudioDevicePropertyVolumeDecibels,
                                          kAudioDevicePropertyMute, kAudioDevicePropertyStreamFormat})
                    listen(r, isInput, channel, p);
    }

    OSStatus setFormat(AudioStreamID stream, const AudioStreamBasicDescription &format)
    {
        return AudioStreamSetProperty(stream, nullptr, 0, kAudioStreamPropertyPhysicalFormat, sizeof(format),
                                      bytesOf(format));
    }
};

} // namespace

// ---- volume ----

TEST_F(SimAudio, VolumeIsHeldInTheDevicesOwnSteps)
{
    ASSERT_EQ(setVolume(device, 1, 1, 0.5f), noErr);
    const std::optional<Float32> stepped = volume(device, 1, 1);
    ASSERT_TRUE(stepped);
    EXPECT_EQ(*stepped, 64.0f / 127.0f);
    EXPECT_NE(*stepped, 0.5f);

    const AudioDeviceID exact = audio.addDevice(exactDevice());
    for (Float32 v : {0.5f, 0.3f, 0.0001f}) {
        ASSERT_EQ(setVolume(exact, 0, 2, v), noErr);
        EXPECT_EQ(volume(exact, 0, 2), v);
    }
}

// ---- notifications ----

TEST_F(SimAudio, EveryChangedPropertyIsNotifiedOnTheSimulatorsThread)
{
    Recorder r;
    listenToEverything(r);

    ASSERT_EQ(setVolume(device, 1, 1, 0.5f), noErr);
    ASSERT_EQ(set(device, 0, 0, kAudioDevicePropertyMute, UInt32{1}), noErr);
    audio.externalSetVolume(device, 0, 2, 0.25f);
    audio.externalSetMute(device, 1, 0, 1);
    audio.waitForNotifications();

    const std::vector<Seen> seen = r.take();
    using Key = decltype(seen[0].key());
    const std::vector<Key> expected = {
        {toUInt32(device), 1, 1, toUInt32(kAudioDevicePropertyVolumeScalar)},
        {toUInt32(device), 1, 1, toUInt32(kAudioDevicePropertyVolumeDecibels)},
        {toUInt32(device), 0, 0, toUInt32(kAudioDevicePropertyMute)},
        {toUInt32(device), 2, 0, toUInt32(kAudioDevicePropertyVolumeScalar)},
        {toUInt32(device), 2, 0, toUInt32(kAudioDevicePropertyVolumeDecibels)},
        {toUInt32(device), 0, 1, toUInt32(kAudioDevicePropertyMute)},
    };
    std::vector<Key> keys;
    for (const Seen &s : seen)
        keys.push_back(s.key());
    EXPECT_EQ(keys, expected);

    ASSERT_FALSE(seen.empty());
    for (const Seen &s : seen) {
        EXPECT_NE(s.thread, std::this_thread::get_id());
        EXPECT_EQ(s.thread, seen.front().thread) << "one notification thread";
    }
}

// ---- physical formats ----

TEST_F(SimAudio, SettingAListedFormatNotifiesTheStreamFormatOfThatSide)
{
    const auto formats = sim::DeviceConfig::standardFormats();
    const AudioStreamID output = audio.streams(device, 0).at(0);
    const AudioStreamID input = audio.streams(device, 1).at(0);
    ASSERT_EQ(audio.currentFormat(device, 0), formats[0]);
    Recorder r;
    listenToEverything(r);

    ASSERT_EQ(setFormat(output, formats[4]), noErr);
    audio.waitForNotifications();
    EXPECT_EQ(audio.currentFormat(device, 0), formats[4]);
    EXPECT_EQ(audio.currentFormat(device, 1), formats[0]);
    std::vector<Seen> seen = r.take();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].key(), std::tuple(toUInt32(device), 0u, Boolean{0}, toUInt32(kAudioDevicePropertyStreamFormat)));

    AudioStreamBasicDescription current{};
    UInt32 size = sizeof(current);
    ASSERT_EQ(AudioStreamGetProperty(output, 0, kAudioStreamPropertyPhysicalFormat, &size, bytesOf(current)), noErr);
    EXPECT_EQ(current, formats[4]);

    ASSERT_EQ(setFormat(input, formats[2]), noErr);
    ASSERT_EQ(setFormat(output, formats[4]), noErr); // already running so: no notification
    audio.waitForNotifications();
    seen = r.take();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].key(), std::tuple(toUInt32(device), 0u, Boolean{1}, toUInt32(kAudioDevicePropertyStreamFormat)));
}

// ---- listener removal ----

TEST_F(SimAudio, NoCallArrivesAfterRemovalReturns)
{
    Recorder r;
    listen(r, 1, 1, kAudioDevicePropertyVolumeScalar);
    ASSERT_EQ(AudioDeviceRemovePropertyListener(device, 1, 1, kAudioDevicePropertyVolumeScalar, Recorder::proc), noErr);
    EXPECT_EQ(audio.listenerCount(), 0u);
    setVolume(device, 1, 1, 0.25f);
    audio.notify(device, 1, 1, kAudioDevicePropertyVolumeScalar);
    audio.waitForNotifications();
    EXPECT_TRUE(r.take().empty());
    EXPECT_NE(AudioDeviceRemovePropertyListener(device, 1, 1, kAudioDevicePropertyVolumeScalar, Recorder::proc), noErr)
        << "nothing left to remove";
}

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
} // namespace

TEST_F(SimAudio, RemovalWaitsForADeliveryInProgress)
{
    SlowListener slow;
    ASSERT_EQ(AudioDeviceAddPropertyListener(device, 1, 1, kAudioDevicePropertyVolumeScalar, SlowListener::proc, &slow),
              noErr);
    for (int i = 0; i < 3; ++i)
        audio.notify(device, 1, 1, kAudioDevicePropertyVolumeScalar);
    ASSERT_TRUE(waitUntil([&] { return slow.inside.load(); }));

    ASSERT_EQ(AudioDeviceRemovePropertyListener(device, 1, 1, kAudioDevicePropertyVolumeScalar, SlowListener::proc),
              noErr);
    EXPECT_FALSE(slow.inside) << "a call was still running when the removal returned";
    const int atRemoval = slow.calls;
    EXPECT_GE(atRemoval, 1);

    audio.notify(device, 1, 1, kAudioDevicePropertyVolumeScalar);
    audio.waitForNotifications();
    EXPECT_EQ(slow.calls, atRemoval);
}
