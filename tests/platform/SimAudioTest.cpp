#include "CoreAudio.h"
#include "SimAudio.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <cmath>
#include <limits>
#include <mutex>
#include <optional>
#include <thread>
#include <tuple>

using sim::AudioCall;
using sim::AudioOp;

namespace {

constexpr std::byte kCanary{0xA5};

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
    std::optional<Float32> decibels(AudioDeviceID d, Boolean isInput, UInt32 channel)
    {
        return get<Float32>(d, isInput, channel, kAudioDevicePropertyVolumeDecibels);
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

TEST_F(SimAudio, VolumeWritesOutsideTheRangeClamp)
{
    const AudioDeviceID exact = audio.addDevice(exactDevice());
    const Float32 nan = std::numeric_limits<Float32>::quiet_NaN();
    const Float32 inf = std::numeric_limits<Float32>::infinity();
    const std::pair<Float32, Float32> cases[] = {{nan, 0.0f}, {-0.5f, 0.0f}, {-inf, 0.0f}, {1.5f, 1.0f}, {inf, 1.0f}};
    for (AudioDeviceID d : {device, exact}) {
        for (const auto &[written, expected] : cases) {
            setVolume(d, 0, 1, 0.5f);
            EXPECT_EQ(setVolume(d, 0, 1, written), noErr);
            EXPECT_EQ(volume(d, 0, 1), expected) << written;
        }
    }
    audio.externalSetVolume(exact, 1, 2, nan);
    EXPECT_EQ(volume(exact, 1, 2), 0.0f);
}

TEST_F(SimAudio, DecibelsRiseWithTheVolumeFromTheFloorToZero)
{
    std::optional<Float32> previous;
    for (int step = 0; step <= 127; ++step) {
        ASSERT_EQ(setVolume(device, 1, 2, static_cast<Float32>(step) / 127.0f), noErr);
        const std::optional<Float32> db = decibels(device, 1, 2);
        ASSERT_TRUE(db);
        EXPECT_FALSE(std::isnan(*db));
        if (previous) {
            EXPECT_LE(*previous, *db) << "step " << step;
        }
        previous = db;
    }
    EXPECT_EQ(previous, 0.0f) << "full scale";
    setVolume(device, 1, 2, 0.0f);
    EXPECT_LE(*decibels(device, 1, 2), -90.0f);

    for (int i = 1; i <= 1000; ++i) {
        const Float32 a = static_cast<Float32>(i - 1) / 1000.0f;
        const Float32 b = static_cast<Float32>(i) / 1000.0f;
        EXPECT_LE(sim::defaultDecibelCurve(a), sim::defaultDecibelCurve(b)) << b;
    }
}

TEST_F(SimAudio, EachChannelOfEachSideHoldsItsOwnVolume)
{
    ASSERT_EQ(setVolume(device, 1, 1, 0.25f), noErr);
    for (Boolean isInput : {Boolean{0}, Boolean{1}}) {
        for (UInt32 channel : {0u, 1u, 2u}) {
            if (isInput == 1 && channel == 1)
                continue;
            EXPECT_EQ(volume(device, isInput, channel), 1.0f) << int(isInput) << "/" << channel;
        }
    }
    EXPECT_FALSE(volume(device, 1, 3)) << "the device has two channels and a master";
}

TEST_F(SimAudio, AWriteOfTheWrongSizeChangesNothing)
{
    const Float32 value = 0.25f;
    EXPECT_EQ(AudioDeviceSetProperty(device, nullptr, 1, 1, kAudioDevicePropertyVolumeScalar, 2, bytesOf(value)),
              kAudioHardwareBadPropertySizeError);
    EXPECT_EQ(volume(device, 1, 1), 1.0f);
}

// ---- mute ----

TEST_F(SimAudio, MuteIsAMasterControlOfEachSide)
{
    ASSERT_EQ(set(device, 1, 0, kAudioDevicePropertyMute, UInt32{1}), noErr);
    EXPECT_EQ(get<UInt32>(device, 1, 0, kAudioDevicePropertyMute), 1u);
    EXPECT_EQ(get<UInt32>(device, 0, 0, kAudioDevicePropertyMute), 0u);

    EXPECT_NE(set(device, 0, 1, kAudioDevicePropertyMute, UInt32{1}), noErr);
    EXPECT_NE(set(device, 0, 2, kAudioDevicePropertyMute, UInt32{1}), noErr);
    EXPECT_FALSE(get<UInt32>(device, 0, 1, kAudioDevicePropertyMute));
    EXPECT_EQ(audio.mute(device, 0, 0), 0u) << "a refused channel write does not reach the master";

    ASSERT_EQ(set(device, 0, 0, kAudioDevicePropertyMute, UInt32{7}), noErr);
    EXPECT_EQ(get<UInt32>(device, 0, 0, kAudioDevicePropertyMute), 1u);
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

TEST_F(SimAudio, AnUnchangedWriteNotifiesNothing)
{
    setVolume(device, 1, 1, 0.5f);
    set(device, 1, 0, kAudioDevicePropertyMute, UInt32{1});
    audio.waitForNotifications();
    Recorder r;
    listenToEverything(r);

    setVolume(device, 1, 1, 0.5f);
    setVolume(device, 1, 1, 0.501f); // the same device step as 0.5
    set(device, 1, 0, kAudioDevicePropertyMute, UInt32{1});
    set(device, 1, 0, kAudioDevicePropertyMute, UInt32{2}); // any non-zero value is "muted"
    audio.externalSetVolume(device, 1, 1, 0.5f);
    audio.externalSetMute(device, 1, 0, 1);
    audio.waitForNotifications();
    EXPECT_TRUE(r.take().empty());
}

TEST_F(SimAudio, ADecibelNotificationOnlyWhenTheDecibelsChange)
{
    // Both tiny levels sit at the curve's floor: the scalar changes, the decibels do not.
    const AudioDeviceID exact = audio.addDevice(exactDevice());
    setVolume(exact, 0, 1, 1e-6f);
    audio.waitForNotifications();
    Recorder r;
    for (AudioPropertyID p : {kAudioDevicePropertyVolumeScalar, kAudioDevicePropertyVolumeDecibels})
        ASSERT_EQ(AudioDeviceAddPropertyListener(exact, 1, 0, p, Recorder::proc, &r), noErr);
    ASSERT_EQ(*decibels(exact, 0, 1), sim::defaultDecibelCurve(2e-6f));

    setVolume(exact, 0, 1, 2e-6f);
    audio.waitForNotifications();
    const std::vector<Seen> seen = r.take();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].property, kAudioDevicePropertyVolumeScalar);
}

TEST_F(SimAudio, NotificationsReachOnlyTheMatchingRegistration)
{
    Recorder input1;
    listen(input1, 1, 1, kAudioDevicePropertyVolumeScalar);
    setVolume(device, 0, 1, 0.25f); // output channel 1
    setVolume(device, 1, 2, 0.25f); // input channel 2
    audio.notify(device, 1, 1, kAudioDevicePropertyMute);
    audio.notify(device, 1, 1, kAudioDevicePropertyVolumeScalar);
    audio.waitForNotifications();
    const std::vector<Seen> seen = input1.take();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].key(), std::tuple(toUInt32(device), 1u, Boolean{1}, toUInt32(kAudioDevicePropertyVolumeScalar)));
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

TEST_F(SimAudio, AFormatTheSideDoesNotListIsRefused)
{
    sim::DeviceConfig config = sim::DeviceConfig::zorvex();
    config.output.physicalFormats = {sim::linearPCM(44100, 16, 2)};
    const AudioDeviceID narrow = audio.addDevice(config);
    const AudioStreamID output = audio.streams(narrow, 0).at(0);
    Recorder r;
    ASSERT_EQ(AudioDeviceAddPropertyListener(narrow, 0, 0, kAudioDevicePropertyStreamFormat, Recorder::proc, &r),
              noErr);

    AudioStreamBasicDescription almost = sim::linearPCM(44100, 16, 2);
    almost.mSampleRate = 44099.99;
    for (const AudioStreamBasicDescription &f :
         {sim::linearPCM(96000, 24, 2) /* listed by the input side only */, sim::linearPCM(88200, 24, 2), almost})
        EXPECT_EQ(setFormat(output, f), kAudioDeviceUnsupportedFormatError) << f.mSampleRate;
    audio.waitForNotifications();
    EXPECT_EQ(audio.currentFormat(narrow, 0), sim::linearPCM(44100, 16, 2));
    EXPECT_TRUE(r.take().empty());
}

// ---- journal ----

TEST_F(SimAudio, TheJournalKeepsEachCallsArgumentsValueAndStatus)
{
    const AudioStreamID input = audio.streams(device, 1).at(0);
    audio.clearJournal();

    setVolume(device, 0, 2, 0.25f);
    Float32 read = 0;
    UInt32 size = sizeof(read);
    AudioDeviceGetProperty(device, 2, 0, kAudioDevicePropertyVolumeScalar, &size, bytesOf(read));
    size = sizeof(read);
    AudioDeviceGetProperty(device, 7, 1, kAudioDevicePropertyVolumeScalar, &size, bytesOf(read));
    UInt32 direction = 0;
    size = sizeof(direction);
    AudioStreamGetProperty(input, 0, kAudioStreamPropertyDirection, &size, bytesOf(direction));

    const std::vector<AudioCall> j = audio.journal();
    ASSERT_EQ(j.size(), 4u);
    EXPECT_EQ(j[0].op, AudioOp::DeviceSetProperty);
    EXPECT_EQ(j[0].object, toUInt32(device));
    EXPECT_EQ(j[0].channel, 2u);
    EXPECT_EQ(j[0].isInput, 0);
    EXPECT_EQ(j[0].property, kAudioDevicePropertyVolumeScalar);
    EXPECT_EQ(j[0].size, 4u);
    EXPECT_EQ(j[0].floatValue(), 0.25f) << "the value as written, before the device's steps";
    EXPECT_EQ(j[0].status, noErr);

    EXPECT_EQ(j[1].op, AudioOp::DeviceGetProperty);
    EXPECT_EQ(j[1].size, 4u);
    EXPECT_EQ(j[1].floatValue(), 32.0f / 127.0f);
    EXPECT_EQ(j[1].status, noErr);

    EXPECT_EQ(j[2].channel, 7u);
    EXPECT_EQ(j[2].isInput, 1);
    EXPECT_EQ(j[2].status, kAudioHardwareUnknownPropertyError);
    EXPECT_TRUE(j[2].data.empty());

    EXPECT_EQ(j[3].op, AudioOp::StreamGetProperty);
    EXPECT_EQ(j[3].object, toUInt32(input));
    EXPECT_EQ(j[3].property, kAudioStreamPropertyDirection);
    EXPECT_EQ(j[3].uintValue(), 1u);

    audio.setJournaling(false);
    setVolume(device, 0, 2, 0.75f);
    EXPECT_EQ(audio.journal().size(), 4u);
    EXPECT_EQ(volume(device, 0, 2), 95.0f / 127.0f) << "journaling off still changes the device";
}

// ---- injected failures and sizes ----

TEST_F(SimAudio, AForcedFailureAnswersItsStatusAndChangesNothing)
{
    Recorder r;
    listenToEverything(r);
    audio.failWhen([](const AudioCall &c) { return c.op == AudioOp::DeviceSetProperty && c.channel == 1; },
                   kAudioHardwareIllegalOperationError);
    audio.failWhen([](const AudioCall &c) { return c.property == kAudioDevicePropertyVolumeDecibels; });
    audio.failWhen([](const AudioCall &c) { return c.op == AudioOp::StreamSetProperty; });

    EXPECT_EQ(setVolume(device, 1, 1, 0.25f), kAudioHardwareIllegalOperationError);
    EXPECT_EQ(audio.journal().back().status, kAudioHardwareIllegalOperationError);
    EXPECT_EQ(audio.volume(device, 1, 1), 1.0f);
    EXPECT_EQ(setVolume(device, 1, 2, 0.25f), noErr) << "other calls go on";

    std::array<std::byte, 4> buffer;
    buffer.fill(kCanary);
    UInt32 size = 4;
    EXPECT_EQ(AudioDeviceGetProperty(device, 1, 1, kAudioDevicePropertyVolumeDecibels, &size, buffer),
              kAudioHardwareUnspecifiedError);
    for (std::byte b : buffer)
        EXPECT_EQ(b, kCanary);

    const auto before = audio.currentFormat(device, 0);
    EXPECT_NE(setFormat(audio.streams(device, 0).at(0), sim::DeviceConfig::standardFormats()[4]), noErr);
    EXPECT_EQ(audio.currentFormat(device, 0), before);

    audio.waitForNotifications();
    for (const Seen &s : r.take())
        EXPECT_EQ(s.channel, 2u) << "only the write that went through notifies";

    audio.clearFailures();
    EXPECT_EQ(setVolume(device, 1, 1, 0.25f), noErr);
    EXPECT_EQ(audio.volume(device, 1, 1), 32.0f / 127.0f);
}

TEST_F(SimAudio, AFailedListenerRegistrationOrRemovalChangesNothing)
{
    Recorder r;
    audio.failWhen([](const AudioCall &c) { return c.op == AudioOp::DeviceAddPropertyListener && c.channel == 2; });
    audio.failWhen([](const AudioCall &c) { return c.op == AudioOp::DeviceRemovePropertyListener; });
    EXPECT_NE(AudioDeviceAddPropertyListener(device, 2, 1, kAudioDevicePropertyVolumeScalar, Recorder::proc, &r),
              noErr);
    listen(r, 1, 1, kAudioDevicePropertyVolumeScalar);
    EXPECT_EQ(audio.listenerCount(), 1u);
    EXPECT_NE(AudioDeviceRemovePropertyListener(device, 1, 1, kAudioDevicePropertyVolumeScalar, Recorder::proc),
              noErr);
    EXPECT_EQ(audio.listenerCount(), 1u);

    audio.notify(device, 1, 1, kAudioDevicePropertyVolumeScalar);
    audio.notify(device, 2, 1, kAudioDevicePropertyVolumeScalar);
    audio.waitForNotifications();
    EXPECT_EQ(r.take().size(), 1u);
}

TEST_F(SimAudio, AnOverriddenSizeIsAnsweredAndLimitsTheBytesFilled)
{
    audio.reportSizeWhen(
        [](const AudioCall &c) {
            return c.op == AudioOp::DeviceGetPropertyInfo && c.property == kAudioDevicePropertyStreams;
        },
        6);
    audio.reportSizeWhen(
        [](const AudioCall &c) {
            return c.op == AudioOp::DeviceGetProperty && c.property == kAudioDevicePropertyVolumeScalar;
        },
        2);
    audio.reportSizeWhen(
        [](const AudioCall &c) {
            return c.op == AudioOp::DeviceGetProperty && c.property == kAudioStreamPropertyPhysicalFormats;
        },
        50);

    UInt32 size = 0;
    ASSERT_EQ(AudioDeviceGetPropertyInfo(device, 0, 1, kAudioDevicePropertyStreams, &size, nullptr), noErr);
    EXPECT_EQ(size, 6u);

    setVolume(device, 1, 1, 0.5f);
    const Float32 stored = audio.volume(device, 1, 1);
    std::array<std::byte, 4> buffer;
    buffer.fill(kCanary);
    size = 4;
    ASSERT_EQ(AudioDeviceGetProperty(device, 1, 1, kAudioDevicePropertyVolumeScalar, &size, buffer), noErr);
    EXPECT_EQ(size, 2u);
    EXPECT_EQ(buffer[0], bytesOf(stored)[0]);
    EXPECT_EQ(buffer[1], bytesOf(stored)[1]);
    EXPECT_EQ(buffer[2], kCanary) << "nothing past the answered size is written";
    EXPECT_EQ(buffer[3], kCanary);

    std::array<std::byte, 200> list;
    list.fill(kCanary);
    size = 200;
    ASSERT_EQ(AudioDeviceGetProperty(device, 0, 0, kAudioStreamPropertyPhysicalFormats, &size, list), noErr);
    EXPECT_LE(size, 50u);
    for (std::size_t i = 50; i < list.size(); ++i)
        ASSERT_EQ(list[i], kCanary) << "byte " << i;
}

TEST_F(SimAudio, ListReadsFillWholeRecordsOnly)
{
    const auto formats = sim::DeviceConfig::standardFormats();
    sim::DeviceConfig twoStreams = sim::DeviceConfig::zorvex();
    twoStreams.input.streamDirections = std::vector<UInt32>{1, 1};
    const AudioDeviceID second = audio.addDevice(twoStreams);

    std::array<std::byte, 100> buffer;
    buffer.fill(kCanary);
    UInt32 size = 100;
    ASSERT_EQ(AudioDeviceGetProperty(device, 0, 1, kAudioStreamPropertyPhysicalFormats, &size, buffer), noErr);
    EXPECT_EQ(size, 80u);
    AudioStreamBasicDescription records[2];
    std::memcpy(records, buffer.data(), sizeof(records));
    EXPECT_EQ(records[0], formats[0]);
    EXPECT_EQ(records[1], formats[1]);
    for (std::size_t i = 80; i < buffer.size(); ++i)
        ASSERT_EQ(buffer[i], kCanary) << "byte " << i;

    size = 39;
    ASSERT_EQ(AudioDeviceGetProperty(device, 0, 1, kAudioStreamPropertyPhysicalFormats, &size, buffer), noErr);
    EXPECT_EQ(size, 0u);

    std::array<AudioStreamID, 2> streams{};
    size = 6;
    ASSERT_EQ(AudioDeviceGetProperty(second, 0, 1, kAudioDevicePropertyStreams, &size,
                                     std::as_writable_bytes(std::span(streams))),
              noErr);
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(streams[0], audio.streams(second, 1).at(0));
    EXPECT_EQ(toUInt32(streams[1]), 0u);

    std::array<AudioDeviceID, 2> devices{};
    size = 7;
    ASSERT_EQ(AudioHardwareGetProperty(kAudioHardwarePropertyDevices, &size, std::as_writable_bytes(std::span(devices))),
              noErr);
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(devices[0], device);
    EXPECT_EQ(toUInt32(devices[1]), 0u);
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

namespace {
struct SelfRemoving {
    AudioDeviceID device{};
    std::atomic<int> calls{0};
    OSStatus removal = -1;

    static OSStatus proc(AudioDeviceID, UInt32 channel, Boolean isInput, AudioPropertyID property, void *self)
    {
        auto *s = static_cast<SelfRemoving *>(self);
        ++s->calls;
        s->removal = AudioDeviceRemovePropertyListener(s->device, channel, isInput, property, SelfRemoving::proc);
        return noErr;
    }
};

struct RemovesAnother {
    AudioDeviceID device{};
    static OSStatus proc(AudioDeviceID, UInt32 channel, Boolean isInput, AudioPropertyID property, void *self)
    {
        AudioDeviceRemovePropertyListener(static_cast<RemovesAnother *>(self)->device, channel, isInput, property,
                                          Recorder::proc);
        return noErr;
    }
};
} // namespace

TEST_F(SimAudio, AListenerMayRemoveItselfOrAnotherWhileItRuns)
{
    SelfRemoving self{device};
    ASSERT_EQ(AudioDeviceAddPropertyListener(device, 0, 0, kAudioDevicePropertyMute, SelfRemoving::proc, &self), noErr);
    audio.notify(device, 0, 0, kAudioDevicePropertyMute);
    audio.notify(device, 0, 0, kAudioDevicePropertyMute);
    audio.waitForNotifications();
    EXPECT_EQ(self.calls, 1);
    EXPECT_EQ(self.removal, noErr);

    RemovesAnother first{device};
    Recorder second;
    ASSERT_EQ(AudioDeviceAddPropertyListener(device, 0, 1, kAudioDevicePropertyMute, RemovesAnother::proc, &first),
              noErr);
    listen(second, 1, 0, kAudioDevicePropertyMute);
    audio.notify(device, 0, 1, kAudioDevicePropertyMute);
    audio.waitForNotifications();
    EXPECT_TRUE(second.take().empty()) << "removed during the same delivery, before its turn";
}
