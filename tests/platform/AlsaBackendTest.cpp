#include "AlsaAudioBackend.h"
#include "AlsaMapping.h"
#include "CoreAudio.h"
#include "LinuxStatus.h"
#include "PropertyListenerSet.h"

#include <alsa/asoundlib.h>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cmath>
#include <condition_variable>
#include <future>
#include <gtest/gtest.h>
#include <limits>
#include <thread>

using namespace linuxbackends;

namespace {

bool machineHasSoundCards()
{
    int card = -1;
    return snd_card_next(&card) >= 0 && card >= 0;
}

struct InstalledBackend {
    explicit InstalledBackend(AudioHardwareBackend *backend) { SetAudioHardwareBackend(backend); }
    ~InstalledBackend() { SetAudioHardwareBackend(nullptr); }
};

} // namespace

// ---- errors from alsa-lib and hidapi ----

TEST(LinuxStatus, AlsaResultsBecomeAudioStatusesByCause)
{
    EXPECT_EQ(audioStatusFromAlsa(0), noErr);
    EXPECT_EQ(audioStatusFromAlsa(3), noErr) << "a positive count is success";
    EXPECT_EQ(audioStatusFromAlsa(-ENODEV), kAudioHardwareBadDeviceError) << "an unplugged card";
    EXPECT_EQ(audioStatusFromAlsa(-ENOENT), kAudioHardwareBadDeviceError);
    EXPECT_EQ(audioStatusFromAlsa(-EBUSY), kAudioHardwareIllegalOperationError);
    EXPECT_EQ(audioStatusFromAlsa(-EACCES), kAudioHardwareIllegalOperationError);
    EXPECT_EQ(audioStatusFromAlsa(-ENOSYS), kAudioHardwareUnknownPropertyError);
    EXPECT_EQ(audioStatusFromAlsa(-EIO), kAudioHardwareUnspecifiedError);
    EXPECT_EQ(audioStatusFromAlsa(INT_MIN), kAudioHardwareUnspecifiedError);
}

TEST(LinuxStatus, HidWriteSucceedsOnlyWhenTheWholeFramedReportWent)
{
    EXPECT_EQ(ioReturnFromHidWrite(28, 28), kIOReturnSuccess);
    EXPECT_EQ(ioReturnFromHidWrite(27, 28), kIOReturnError) << "a short write lost the report's end";
    EXPECT_EQ(ioReturnFromHidWrite(0, 28), kIOReturnError);
    EXPECT_EQ(ioReturnFromHidWrite(-1, 28), kIOReturnError);
}

TEST(LinuxStatus, HidReadTimeOutIsNotRespondingAndAFailureIsAnError)
{
    EXPECT_EQ(ioReturnFromHidRead(18), kIOReturnSuccess);
    EXPECT_EQ(ioReturnFromHidRead(1), kIOReturnSuccess) << "a short reply is still a reply";
    EXPECT_EQ(ioReturnFromHidRead(0), kIOReturnNotResponding);
    EXPECT_EQ(ioReturnFromHidRead(-1), kIOReturnError);
}

// ---- volume, decibels ----

TEST(VolumeMapping, RawStepsSpanZeroToOne)
{
    const VolumeRange range{0, 127};
    EXPECT_EQ(scalarFromRaw(0, range), 0.0f);
    EXPECT_EQ(scalarFromRaw(127, range), 1.0f);
    EXPECT_NEAR(scalarFromRaw(64, range), 64.0f / 127.0f, 1e-6);
    // Ranges that do not start at zero, as many USB volume controls have.
    EXPECT_NEAR(scalarFromRaw(-5120, {-10240, 0}), 0.5f, 1e-6);
    EXPECT_EQ(scalarFromRaw(-10240, {-10240, 0}), 0.0f);
}

TEST(VolumeMapping, RawValuesOutsideTheRangeAreClamped)
{
    EXPECT_EQ(scalarFromRaw(-3, {0, 127}), 0.0f);
    EXPECT_EQ(scalarFromRaw(500, {0, 127}), 1.0f);
}

TEST(VolumeMapping, ARangeWithoutRoomReadsAsZeroAndWritesItsOnlyStep)
{
    EXPECT_EQ(scalarFromRaw(7, {7, 7}), 0.0f);
    EXPECT_EQ(scalarFromRaw(7, {9, 3}), 0.0f);
    EXPECT_EQ(rawFromScalar(0.7f, {7, 7}), 7);
}

TEST(VolumeMapping, ExtremeRangesDoNotOverflow)
{
    const VolumeRange wide{std::numeric_limits<int>::min(), std::numeric_limits<int>::max()};
    EXPECT_EQ(scalarFromRaw(wide.min, wide), 0.0f);
    EXPECT_EQ(scalarFromRaw(wide.max, wide), 1.0f);
    EXPECT_NEAR(scalarFromRaw(0, wide), 0.5f, 1e-6);
    EXPECT_EQ(rawFromScalar(1.0f, wide), wide.max);
    EXPECT_EQ(rawFromScalar(0.0f, wide), wide.min);
}

TEST(VolumeMapping, ScalarsBecomeTheNearestStepWithinTheRange)
{
    const VolumeRange range{0, 127};
    EXPECT_EQ(rawFromScalar(0.0f, range), 0);
    EXPECT_EQ(rawFromScalar(1.0f, range), 127);
    EXPECT_EQ(rawFromScalar(0.5f, range), 64) << "63.5 rounds to the nearest step";
    EXPECT_EQ(rawFromScalar(-0.25f, range), 0);
    EXPECT_EQ(rawFromScalar(1.5f, range), 127);
    EXPECT_EQ(rawFromScalar(std::numeric_limits<Float32>::infinity(), range), 127);
    EXPECT_EQ(rawFromScalar(-std::numeric_limits<Float32>::infinity(), range), 0);
    EXPECT_EQ(rawFromScalar(0.5f, {-10240, 0}), -5120);
}

TEST(VolumeMapping, NotANumberIsRefusedRatherThanWritten)
{
    EXPECT_FALSE(rawFromScalar(std::nanf(""), {0, 127}).has_value());
}

TEST(VolumeMapping, EveryStepSurvivesTheRoundTripThroughTheScalar)
{
    for (const VolumeRange range : {VolumeRange{0, 127}, VolumeRange{-10240, 0}, VolumeRange{0, 65535}}) {
        const long stride = std::max(1L, (range.max - range.min) / 4000);
        for (long raw = range.min; raw <= range.max; raw += stride)
            ASSERT_EQ(rawFromScalar(scalarFromRaw(raw, range), range), raw) << "range " << range.min << ".." << range.max;
    }
}

TEST(Decibels, HundredthsOfADecibelBecomeDecibels)
{
    EXPECT_FLOAT_EQ(decibelsFromAlsa(0), 0.0f);
    EXPECT_FLOAT_EQ(decibelsFromAlsa(-1234), -12.34f);
    EXPECT_FLOAT_EQ(decibelsFromAlsa(600), 6.0f);
    EXPECT_FLOAT_EQ(decibelsFromAlsa(-14400), kDecibelFloor);
}

TEST(Decibels, MutedGainAndAnythingBelowTheFloorReadAsTheFloor)
{
    EXPECT_FLOAT_EQ(decibelsFromAlsa(SND_CTL_TLV_DB_GAIN_MUTE), kDecibelFloor);
    EXPECT_FLOAT_EQ(decibelsFromAlsa(-20000), kDecibelFloor);
    EXPECT_FLOAT_EQ(decibelsFromAlsa(std::numeric_limits<long>::min()), kDecibelFloor);
}

// ---- ids ----

TEST(AudioIds, CardsAreDevicesCountedFromOne)
{
    EXPECT_EQ(toUInt32(deviceIdForCard(0)), 1u);
    EXPECT_EQ(cardForDeviceId(AudioDeviceID{1}), 0);
    EXPECT_EQ(cardForDeviceId(AudioDeviceID{32}), 31);
    EXPECT_FALSE(cardForDeviceId(kAudioDeviceUnknown).has_value());
    EXPECT_FALSE(cardForDeviceId(AudioDeviceID{33}).has_value());
    EXPECT_FALSE(cardForDeviceId(AudioDeviceID{0xFFFFFFFF}).has_value());
}

TEST(AudioIds, StreamIdsNameTheirDeviceAndSideAndAreNoDeviceId)
{
    for (int card = 0; card < 32; ++card) {
        const AudioDeviceID device = deviceIdForCard(card);
        for (UInt32 direction = 0; direction < 2; ++direction) {
            const AudioStreamID stream = streamIdFor(device, direction);
            const std::optional<StreamSide> side = sideForStreamId(stream);
            ASSERT_TRUE(side.has_value());
            EXPECT_EQ(side->device, device);
            EXPECT_EQ(side->direction, direction);
            EXPECT_FALSE(cardForDeviceId(AudioDeviceID{toUInt32(stream)}).has_value());
        }
    }
    EXPECT_NE(streamIdFor(AudioDeviceID{1}, 0), streamIdFor(AudioDeviceID{1}, 1));
}

TEST(AudioIds, IdsThatNoStreamCarriesAreRefused)
{
    EXPECT_FALSE(sideForStreamId(AudioStreamID{0}).has_value());
    EXPECT_FALSE(sideForStreamId(AudioStreamID{1}).has_value()) << "a device id";
    EXPECT_FALSE(sideForStreamId(AudioStreamID{0x12345678}).has_value());
    EXPECT_FALSE(sideForStreamId(AudioStreamID{0x00000010}).has_value()) << "no device in the upper bits";
    EXPECT_FALSE(sideForStreamId(AudioStreamID{(40u << 8) | 0x10}).has_value()) << "no such card";
}

TEST(ElementChannels, ChannelsOneAndTwoAreTheElementsFirstAndSecond)
{
    EXPECT_EQ(elementChannelFor(1, false, 2), 0);
    EXPECT_EQ(elementChannelFor(2, false, 2), 1);
    EXPECT_FALSE(elementChannelFor(0, false, 2).has_value());
    EXPECT_FALSE(elementChannelFor(3, false, 2).has_value());
    EXPECT_FALSE(elementChannelFor(kAudioPropertyWildcardChannel, false, 2).has_value());
}

TEST(ElementChannels, AMonoElementAnswersBothChannelsAndAOneChannelElementOnlyTheFirst)
{
    EXPECT_EQ(elementChannelFor(1, true, 1), 0);
    EXPECT_EQ(elementChannelFor(2, true, 1), 0);
    EXPECT_EQ(elementChannelFor(1, false, 1), 0);
    EXPECT_FALSE(elementChannelFor(2, false, 1).has_value());
    EXPECT_FALSE(elementChannelFor(1, false, 0).has_value());
}

// ---- formats ----

TEST(PhysicalFormats, OneLinearPCMRecordPerAcceptedRateInRisingOrder)
{
    const auto formats = formatsForRates({96000, 44100}, 24, 2);
    ASSERT_EQ(formats.size(), 2u);
    EXPECT_EQ(formats[0].mSampleRate, 44100.0);
    EXPECT_EQ(formats[1].mSampleRate, 96000.0);
    for (const auto &f : formats) {
        EXPECT_EQ(f.mFormatID, kAudioFormatLinearPCM);
        EXPECT_EQ(f.mChannelsPerFrame, 2u);
        EXPECT_EQ(f.mBitsPerChannel, 24u);
        EXPECT_EQ(f.mBytesPerFrame, 6u) << "24-bit samples in three bytes";
        EXPECT_EQ(f.mFramesPerPacket, 1u);
    }
    EXPECT_TRUE(formatsForRates({22050, 192000}, 16, 2).empty()) << "only the rates the panel offers are listed";
    EXPECT_EQ(formatsForRates({48000}, 16, 1)[0].mBytesPerFrame, 2u);
}

TEST(PhysicalFormats, AFormatIsKeptOnlyAtAListedRate)
{
    const auto listed = formatsForRates({44100, 48000}, 24, 2);
    EXPECT_TRUE(acceptsFormat(listed, listed[1]));
    EXPECT_TRUE(acceptsFormat(listed, linearPCMFormat(44100, 16, 2))) << "the rate is what is kept";
    EXPECT_FALSE(acceptsFormat(listed, linearPCMFormat(96000, 24, 2)));
    AudioStreamBasicDescription notPCM = listed[0];
    notPCM.mFormatID = FourCC("ac-3");
    EXPECT_FALSE(acceptsFormat(listed, notPCM));
    EXPECT_FALSE(acceptsFormat({}, listed[0]));
}

// ---- what a mixer event owes ----

TEST(MixerChanges, NothingMovedNothingToTell)
{
    const SideLevels levels{{10L, 20L}, true};
    EXPECT_TRUE(changesBetween(AudioDeviceID{1}, 0, levels, levels).empty());
}

TEST(MixerChanges, AMovedChannelTellsItsVolumeAndTheMasters)
{
    const SideLevels before{{10L, 20L}, true};
    const SideLevels after{{10L, 25L}, true};
    const AudioDeviceID d{3};
    const std::vector<PropertyChange> expected{
        {d, 2, 1, kAudioDevicePropertyVolumeScalar},
        {d, 2, 1, kAudioDevicePropertyVolumeDecibels},
        {d, 0, 1, kAudioDevicePropertyVolumeScalar},
        {d, 0, 1, kAudioDevicePropertyVolumeDecibels},
    };
    EXPECT_EQ(changesBetween(d, 1, before, after), expected);
}

TEST(MixerChanges, AFlippedSwitchTellsOnlyTheMastersMute)
{
    const SideLevels before{{10L, 20L}, true};
    const SideLevels after{{10L, 20L}, false};
    const std::vector<PropertyChange> expected{{AudioDeviceID{1}, 0, 0, kAudioDevicePropertyMute}};
    EXPECT_EQ(changesBetween(AudioDeviceID{1}, 0, before, after), expected);
}

TEST(MixerChanges, AValueThatBecameReadableCountsAsMoved)
{
    const SideLevels before{{std::nullopt, 20L}, std::nullopt};
    const SideLevels after{{5L, 20L}, false};
    const auto changes = changesBetween(AudioDeviceID{1}, 0, before, after);
    ASSERT_EQ(changes.size(), 5u);
    EXPECT_EQ(changes[0], (PropertyChange{AudioDeviceID{1}, 1, 0, kAudioDevicePropertyVolumeScalar}));
    EXPECT_EQ(changes[4], (PropertyChange{AudioDeviceID{1}, 0, 0, kAudioDevicePropertyMute}));
}

// ---- listeners ----

namespace {

struct Counter {
    std::atomic<int> calls{0};
    PropertyChange last;
};

OSStatus countingListener(AudioDeviceID device, UInt32 channel, Boolean isInput, AudioPropertyID property, void *data)
{
    auto *counter = static_cast<Counter *>(data);
    counter->last = {device, channel, isInput, property};
    ++counter->calls;
    return noErr;
}

OSStatus otherListener(AudioDeviceID, UInt32, Boolean, AudioPropertyID, void *data)
{
    ++static_cast<Counter *>(data)->calls;
    return noErr;
}

// Holds the notification thread inside the listener until the test lets it go.
struct Gate {
    std::mutex mutex;
    std::condition_variable changed;
    bool entered = false;
    bool open = false;
    int calls = 0;
};

OSStatus gatedListener(AudioDeviceID, UInt32, Boolean, AudioPropertyID, void *data)
{
    auto *gate = static_cast<Gate *>(data);
    std::unique_lock lock(gate->mutex);
    ++gate->calls;
    gate->entered = true;
    gate->changed.notify_all();
    gate->changed.wait(lock, [&] { return gate->open; });
    return noErr;
}

PropertyListenerSet *gSelfRemovingSet = nullptr;
const PropertyChange kVolume1In{AudioDeviceID{1}, 1, 1, kAudioDevicePropertyVolumeScalar};

OSStatus selfRemovingListener(AudioDeviceID, UInt32, Boolean, AudioPropertyID, void *data)
{
    ++static_cast<Counter *>(data)->calls;
    gSelfRemovingSet->remove(kVolume1In, selfRemovingListener);
    return noErr;
}

} // namespace

TEST(PropertyListeners, OnlyTheRegistrationThatMatchesEveryFieldIsCalled)
{
    PropertyListenerSet set;
    Counter counter;
    set.add(kVolume1In, countingListener, &counter);
    set.dispatch({AudioDeviceID{1}, 1, 0, kAudioDevicePropertyVolumeScalar}); // other side
    set.dispatch({AudioDeviceID{1}, 2, 1, kAudioDevicePropertyVolumeScalar}); // other channel
    set.dispatch({AudioDeviceID{2}, 1, 1, kAudioDevicePropertyVolumeScalar}); // other device
    set.dispatch({AudioDeviceID{1}, 1, 1, kAudioDevicePropertyMute});         // other property
    EXPECT_EQ(counter.calls, 0);
    set.dispatch(kVolume1In);
    EXPECT_EQ(counter.calls, 1);
    EXPECT_EQ(counter.last, kVolume1In);
}

TEST(PropertyListeners, RemovalNeedsTheSameRegistrationAndProcedure)
{
    PropertyListenerSet set;
    Counter counter;
    set.add(kVolume1In, countingListener, &counter);
    EXPECT_FALSE(set.remove(kVolume1In, otherListener));
    EXPECT_FALSE(set.remove({AudioDeviceID{1}, 2, 1, kAudioDevicePropertyVolumeScalar}, countingListener));
    EXPECT_TRUE(set.remove(kVolume1In, countingListener));
    EXPECT_FALSE(set.remove(kVolume1In, countingListener));
    set.dispatch(kVolume1In);
    EXPECT_EQ(counter.calls, 0);
}

TEST(PropertyListeners, AListenerRemovedEarlierInTheSameRoundIsNotCalled)
{
    PropertyListenerSet set;
    gSelfRemovingSet = &set;
    Counter first;
    set.add(kVolume1In, selfRemovingListener, &first);
    set.dispatch(kVolume1In);
    set.dispatch(kVolume1In);
    EXPECT_EQ(first.calls, 1) << "a listener may remove itself while it runs, without a deadlock";
    EXPECT_EQ(set.size(), 0u);
    gSelfRemovingSet = nullptr;
}

TEST(PropertyListeners, RemovalWaitsForACallInProgressAndNoCallFollowsIt)
{
    PropertyListenerSet set;
    Gate gate;
    set.add(kVolume1In, gatedListener, &gate);
    std::thread notifier([&] { set.dispatch(kVolume1In); });
    {
        std::unique_lock lock(gate.mutex);
        gate.changed.wait(lock, [&] { return gate.entered; });
    }
    auto removal = std::async(std::launch::async, [&] { return set.remove(kVolume1In, gatedListener); });
    // While the listener runs, the removal must not have returned.
    EXPECT_EQ(removal.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout);
    {
        std::lock_guard lock(gate.mutex);
        gate.open = true;
    }
    gate.changed.notify_all();
    EXPECT_TRUE(removal.get());
    notifier.join();
    set.dispatch(kVolume1In);
    EXPECT_EQ(gate.calls, 1);
}

// ---- the backend on a machine without sound cards ----

class AlsaWithoutCards : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (machineHasSoundCards())
            GTEST_SKIP() << "this machine has sound cards";
    }
};

TEST_F(AlsaWithoutCards, TheDeviceListIsEmpty)
{
    AlsaAudioBackend backend;
    InstalledBackend installed(&backend);
    UInt32 size = 99;
    ASSERT_EQ(AudioHardwareGetPropertyInfo(kAudioHardwarePropertyDevices, &size, nullptr), noErr);
    EXPECT_EQ(size, 0u);
    std::array<AudioDeviceID, 4> ids{};
    size = sizeof(ids);
    ASSERT_EQ(AudioHardwareGetProperty(kAudioHardwarePropertyDevices, &size, std::as_writable_bytes(std::span(ids))),
              noErr);
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(AudioHardwareGetPropertyInfo(AudioPropertyID{FourCC("what")}, &size, nullptr),
              kAudioHardwareUnknownPropertyError);
}

TEST_F(AlsaWithoutCards, EveryDeviceCallAnswersBadDevice)
{
    AlsaAudioBackend backend;
    InstalledBackend installed(&backend);
    for (const UInt32 raw : {0u, 1u, 2u, 32u, 0xFFFFFFFFu}) {
        const AudioDeviceID device{raw};
        SCOPED_TRACE(raw);
        for (const AudioPropertyID property :
             {kAudioDevicePropertyVolumeScalar, kAudioDevicePropertyVolumeDecibels, kAudioDevicePropertyMute,
              kAudioDevicePropertyStreams, kAudioStreamPropertyPhysicalFormats, kAudioDevicePropertyStreamFormat,
              kAudioDevicePropertyDeviceNameCFString}) {
            for (const Boolean isInput : {Boolean{0}, Boolean{1}}) {
                UInt32 size = 0;
                EXPECT_EQ(AudioDeviceGetPropertyInfo(device, 0, isInput, property, &size, nullptr),
                          kAudioHardwareBadDeviceError);
                Float32 value = 0.5f;
                size = sizeof(value);
                EXPECT_EQ(AudioDeviceGetProperty(device, 1, isInput, property, &size, bytesOf(value)),
                          kAudioHardwareBadDeviceError);
                EXPECT_EQ(AudioDeviceSetProperty(device, nullptr, 1, isInput, property, sizeof(value), bytesOf(value)),
                          kAudioHardwareBadDeviceError);
            }
        }
        CFStringRef name;
        UInt32 size = sizeof(CFStringRef);
        EXPECT_EQ(AudioDeviceGetProperty(device, kAudioPropertyWildcardChannel, 0,
                                         kAudioDevicePropertyDeviceNameCFString, &size, &name),
                  kAudioHardwareBadDeviceError);
        EXPECT_EQ(name, nullptr);
    }
}

TEST_F(AlsaWithoutCards, EveryStreamCallAnswersBadStream)
{
    AlsaAudioBackend backend;
    InstalledBackend installed(&backend);
    const AudioStreamBasicDescription format = linearPCMFormat(48000, 24, 2);
    for (const AudioStreamID stream : {streamIdFor(AudioDeviceID{1}, 0), streamIdFor(AudioDeviceID{1}, 1),
                                       AudioStreamID{0}, AudioStreamID{0xFFFFFFFF}}) {
        AudioStreamBasicDescription read{};
        UInt32 size = sizeof(read);
        EXPECT_EQ(AudioStreamGetProperty(stream, 0, kAudioStreamPropertyPhysicalFormat, &size, bytesOf(read)),
                  kAudioHardwareBadStreamError);
        UInt32 direction = 7;
        size = sizeof(direction);
        EXPECT_EQ(AudioStreamGetProperty(stream, 0, kAudioStreamPropertyDirection, &size, bytesOf(direction)),
                  kAudioHardwareBadStreamError);
        EXPECT_EQ(direction, 7u) << "a refused read leaves the buffer alone";
        EXPECT_EQ(AudioStreamSetProperty(stream, nullptr, 0, kAudioStreamPropertyPhysicalFormat, sizeof(format),
                                         bytesOf(format)),
                  kAudioHardwareBadStreamError);
    }
}

TEST_F(AlsaWithoutCards, ListenersCannotBeAddedAndRemovingAnAbsentOneIsRefused)
{
    AlsaAudioBackend backend;
    InstalledBackend installed(&backend);
    EXPECT_TRUE(backend.notifying());
    Counter counter;
    EXPECT_EQ(AudioDeviceAddPropertyListener(AudioDeviceID{1}, 1, 1, kAudioDevicePropertyVolumeScalar,
                                             countingListener, &counter),
              kAudioHardwareBadDeviceError);
    EXPECT_EQ(backend.listenerCount(), 0u);
    EXPECT_EQ(AudioDeviceRemovePropertyListener(AudioDeviceID{1}, 1, 1, kAudioDevicePropertyVolumeScalar,
                                                countingListener),
              kAudioHardwareIllegalOperationError);
    EXPECT_EQ(counter.calls, 0);
}

TEST_F(AlsaWithoutCards, TheNotificationThreadStopsWithTheBackend)
{
    // Each destructor must wake the thread out of poll() and join it; a lost wake-up hangs here.
    for (int i = 0; i < 50; ++i) {
        AlsaAudioBackend backend;
        ASSERT_TRUE(backend.notifying());
        UInt32 size = 1;
        ASSERT_EQ(backend.hardwareGetPropertyInfo(kAudioHardwarePropertyDevices, size), noErr);
        ASSERT_EQ(size, 0u);
    }
}
