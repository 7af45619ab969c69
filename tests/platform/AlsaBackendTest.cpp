#include "AlsaAudioBackend.h"
#include "AlsaMapping.h"
#include "CoreAudio.h"
#include "CountingListener.h"
#include "LinuxStatus.h"

#include <alsa/asoundlib.h>
#include <cerrno>
#include <climits>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <thread>

using namespace linuxbackends;

namespace {

struct InstalledBackend {
    explicit InstalledBackend(AudioHardwareBackend *backend) { SetAudioHardwareBackend(backend); }
    ~InstalledBackend() { SetAudioHardwareBackend(nullptr); }
};

} // namespace

// ---- errors from alsa-lib and hidapi ----

TEST(LinuxStatus, AlsaResultsBecomeAudioStatusesByCauseAndHidTransfersByCompleteness)
{
    // An unplugged card must read as a bad device; a positive count is success.
    const std::pair<int, OSStatus> alsa[] = {{0, noErr},
                                             {3, noErr},
                                             {-ENODEV, kAudioHardwareBadDeviceError},
                                             {-ENOENT, kAudioHardwareBadDeviceError},
                                             {-EBUSY, kAudioHardwareIllegalOperationError},
                                             {-EACCES, kAudioHardwareIllegalOperationError},
                                             {-ENOSYS, kAudioHardwareUnknownPropertyError},
                                             {-EIO, kAudioHardwareUnspecifiedError},
                                             {INT_MIN, kAudioHardwareUnspecifiedError}};
    for (const auto &[result, status] : alsa)
        EXPECT_EQ(audioStatusFromAlsa(result), status) << "alsa result " << result;
    EXPECT_EQ(ioReturnFromHidWrite(28, 28), kIOReturnSuccess);
    EXPECT_EQ(ioReturnFromHidWrite(27, 28), kIOReturnError) << "a short write lost the report's end";
    EXPECT_EQ(ioReturnFromHidWrite(-1, 28), kIOReturnError);
    EXPECT_EQ(ioReturnFromHidRead(1), kIOReturnSuccess) << "a short reply is still a reply";
    EXPECT_EQ(ioReturnFromHidRead(0), kIOReturnNotResponding);
    EXPECT_EQ(ioReturnFromHidRead(-1), kIOReturnError);
}

// ---- volume, decibels ----

TEST(VolumeMapping, RawStepsBecomeClampedScalars)
{
    const VolumeRange wide{std::numeric_limits<int>::min(), std::numeric_limits<int>::max()};
    const struct {
        long raw;
        VolumeRange range;
        Float32 scalar;
    } cases[] = {{0, {0, 127}, 0.0f},        {127, {0, 127}, 1.0f},  {64, {0, 127}, 64.0f / 127.0f},
                 {-5120, {-10240, 0}, 0.5f},                        // USB volume controls often lie below zero
                 {-3, {0, 127}, 0.0f},       {500, {0, 127}, 1.0f}, // clamped
                 {7, {7, 7}, 0.0f},          {7, {9, 3}, 0.0f},     // no room
                 {wide.min, wide, 0.0f},     {wide.max, wide, 1.0f}, {0, wide, 0.5f}}; // no overflow
    for (const auto &c : cases)
        EXPECT_NEAR(scalarFromRaw(c.raw, c.range), c.scalar, 1e-6)
            << c.raw << " in " << c.range.min << ".." << c.range.max;
}

TEST(VolumeMapping, ScalarsBecomeTheNearestStepWithinTheRangeAndNaNIsRefused)
{
    constexpr Float32 inf = std::numeric_limits<Float32>::infinity();
    const VolumeRange wide{std::numeric_limits<int>::min(), std::numeric_limits<int>::max()};
    const struct {
        Float32 scalar;
        VolumeRange range;
        long raw;
    } cases[]
        = {{0.0f, {0, 127}, 0},        {1.0f, {0, 127}, 127}, {0.5f, {0, 127}, 64}, // 63.5 rounds to the nearest step
           {-0.25f, {0, 127}, 0},      {1.5f, {0, 127}, 127}, {inf, {0, 127}, 127},   {-inf, {0, 127}, 0},
           {0.5f, {-10240, 0}, -5120}, {0.7f, {7, 7}, 7},     {1.0f, wide, wide.max}, {0.0f, wide, wide.min}};
    for (const auto &c : cases)
        EXPECT_EQ(rawFromScalar(c.scalar, c.range), c.raw) << c.scalar << " in " << c.range.min << ".." << c.range.max;
    EXPECT_FALSE(rawFromScalar(std::nanf(""), {0, 127}).has_value()) << "NaN must not be written";
}

TEST(Decibels, HundredthsOfADecibelWithMutedAndAnythingBelowTheFloorAsTheFloor)
{
    const std::pair<long, Float32> cases[] = {{0, 0.0f},
                                              {-1234, -12.34f},
                                              {600, 6.0f},
                                              {-14400, kDecibelFloor},
                                              {SND_CTL_TLV_DB_GAIN_MUTE, kDecibelFloor},
                                              {-20000, kDecibelFloor},
                                              {std::numeric_limits<long>::min(), kDecibelFloor}};
    for (const auto &[centibels, decibels] : cases)
        EXPECT_FLOAT_EQ(decibelsFromAlsa(centibels), decibels) << centibels;
}

// ---- ids ----

TEST(AudioIds, CardsAreDevicesFromOneAndStreamIdsNameTheirDeviceAndSide)
{
    EXPECT_EQ(toUInt32(deviceIdForCard(0)), 1u);
    EXPECT_EQ(cardForDeviceId(AudioDeviceID{32}), 31);
    EXPECT_FALSE(cardForDeviceId(kAudioDeviceUnknown).has_value());
    EXPECT_FALSE(cardForDeviceId(AudioDeviceID{33}).has_value());
    for (int card = 0; card < 32; ++card) {
        const AudioDeviceID device = deviceIdForCard(card);
        for (UInt32 direction = 0; direction < 2; ++direction) {
            const AudioStreamID stream = streamIdFor(device, direction);
            const std::optional<StreamSide> side = sideForStreamId(stream);
            ASSERT_TRUE(side.has_value());
            EXPECT_EQ(side->device, device);
            EXPECT_EQ(side->direction, direction);
            EXPECT_FALSE(cardForDeviceId(AudioDeviceID{toUInt32(stream)}).has_value()) << "no stream is a device";
        }
    }
    for (const UInt32 id : {0u, 1u, 0x12345678u, 0x10u, (40u << 8) | 0x10u})
        EXPECT_FALSE(sideForStreamId(AudioStreamID{id}).has_value()) << std::hex << id;
}

TEST(ElementChannels, ChannelsOneAndTwoMapOntoTheElementsChannels)
{
    const struct {
        UInt32 channel;
        bool mono;
        int elementChannels;
        std::optional<int> index;
    } cases[] = {{1, false, 2, 0},
                 {2, false, 2, 1},
                 {0, false, 2, std::nullopt},
                 {3, false, 2, std::nullopt},
                 {kAudioPropertyWildcardChannel, false, 2, std::nullopt},
                 {2, true, 1, 0}, // a mono element answers both channels, a one-channel element only the first
                 {1, false, 1, 0},
                 {2, false, 1, std::nullopt},
                 {1, false, 0, std::nullopt}};
    for (const auto &c : cases)
        EXPECT_EQ(elementChannelFor(c.channel, c.mono, c.elementChannels), c.index)
            << c.channel << (c.mono ? " mono " : " ") << c.elementChannels;
}

TEST(PhysicalFormats, OneLinearPCMRecordPerOfferedRateInRisingOrderAndOnlyThoseRatesAreKept)
{
    const auto formats = formatsForRates({96000, 22050, 44100}, 24, 2);
    ASSERT_EQ(formats.size(), 2u) << "only the rates the panel offers are listed";
    EXPECT_EQ(formats[0].mSampleRate, 44100.0);
    EXPECT_EQ(formats[1].mSampleRate, 96000.0);
    EXPECT_EQ(formats[0].mFormatID, kAudioFormatLinearPCM);
    EXPECT_EQ(formats[0].mBytesPerFrame, 6u) << "24-bit samples in three bytes";
    EXPECT_TRUE(acceptsFormat(formats, linearPCMFormat(44100, 16, 2))) << "the rate is what is kept";
    EXPECT_FALSE(acceptsFormat(formats, linearPCMFormat(48000, 24, 2)));
    AudioStreamBasicDescription notPCM = formats[0];
    notPCM.mFormatID = FourCC("ac-3");
    EXPECT_FALSE(acceptsFormat(formats, notPCM));
}

// ---- what a mixer event owes ----

TEST(MixerChanges, EachChangedLevelTellsItsPropertiesAndTheMasters)
{
    const AudioDeviceID d{3};
    const SideLevels levels{{10L, 20L}, true};
    EXPECT_TRUE(changesBetween(d, 0, levels, levels).empty());

    const std::vector<PropertyChange> moved{
        {d, 2, 1, kAudioDevicePropertyVolumeScalar},
        {d, 2, 1, kAudioDevicePropertyVolumeDecibels},
        {d, 0, 1, kAudioDevicePropertyVolumeScalar},
        {d, 0, 1, kAudioDevicePropertyVolumeDecibels},
    };
    EXPECT_EQ(changesBetween(d, 1, levels, SideLevels{{10L, 25L}, true}), moved);

    const std::vector<PropertyChange> flipped{{d, 0, 0, kAudioDevicePropertyMute}};
    EXPECT_EQ(changesBetween(d, 0, levels, SideLevels{{10L, 20L}, false}), flipped);

    // A value that became readable counts as moved.
    const auto readable
        = changesBetween(d, 0, SideLevels{{std::nullopt, 20L}, std::nullopt}, SideLevels{{5L, 20L}, false});
    ASSERT_EQ(readable.size(), 5u);
    EXPECT_EQ(readable[0], (PropertyChange{d, 1, 0, kAudioDevicePropertyVolumeScalar}));
    EXPECT_EQ(readable[4], (PropertyChange{d, 0, 0, kAudioDevicePropertyMute}));
}

// ---- the backend on a machine without sound cards ----

class AlsaWithoutCards : public ::testing::Test {
protected:
    void SetUp() override
    {
        int card = -1;
        if (snd_card_next(&card) >= 0 && card >= 0)
            GTEST_SKIP() << "this machine has sound cards";
    }
};

TEST_F(AlsaWithoutCards, TheNotificationThreadStopsWithTheBackend)
{
    // Each destructor must wake the thread out of poll() and join it; a lost wake-up hangs here.
    for (int i = 0; i < 20; ++i) {
        AlsaAudioBackend backend;
        ASSERT_TRUE(backend.notifying());
    }
}

TEST_F(AlsaWithoutCards, NoDeviceIsListedAndEveryDeviceOrStreamCallAnswersAnError)
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

    for (const UInt32 raw : {0u, 1u, 32u, 0xFFFFFFFFu}) {
        const AudioDeviceID device{raw};
        SCOPED_TRACE(raw);
        for (const AudioPropertyID property :
             {kAudioDevicePropertyVolumeScalar, kAudioDevicePropertyMute, kAudioDevicePropertyStreams,
              kAudioStreamPropertyPhysicalFormats, kAudioDevicePropertyDeviceNameCFString}) {
            const Boolean isInput = property == kAudioDevicePropertyMute;
            EXPECT_EQ(AudioDeviceGetPropertyInfo(device, 0, isInput, property, &size, nullptr),
                      kAudioHardwareBadDeviceError);
            Float32 value = 0.5f;
            size = sizeof(value);
            EXPECT_EQ(AudioDeviceGetProperty(device, 1, isInput, property, &size, bytesOf(value)),
                      kAudioHardwareBadDeviceError);
            EXPECT_EQ(AudioDeviceSetProperty(device, nullptr, 1, isInput, property, sizeof(value), bytesOf(value)),
                      kAudioHardwareBadDeviceError);
        }
        Counter counter;
        EXPECT_EQ(
            AudioDeviceAddPropertyListener(device, 1, 1, kAudioDevicePropertyVolumeScalar, countingListener, &counter),
            kAudioHardwareBadDeviceError);
        EXPECT_EQ(backend.listenerCount(), 0u);
    }
    EXPECT_EQ(
        AudioDeviceRemovePropertyListener(AudioDeviceID{1}, 1, 1, kAudioDevicePropertyVolumeScalar, countingListener),
        kAudioHardwareIllegalOperationError);

    const AudioStreamBasicDescription format = linearPCMFormat(48000, 24, 2);
    for (const AudioStreamID stream : {streamIdFor(AudioDeviceID{1}, 0), streamIdFor(AudioDeviceID{1}, 1),
                                       AudioStreamID{0}, AudioStreamID{0xFFFFFFFF}}) {
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
