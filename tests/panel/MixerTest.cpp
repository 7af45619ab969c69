#include "AButton.h"
#include "ARoundButtonSlider.h"
#include "ATextField.h"
#include "PanelHarness.h"
#include "PanelTables.h"

#include <QThread>
#include <bit>
#include <cstdio>
#include <gtest/gtest.h>
#include <limits>
#include <random>
#include <thread>

using sim::AudioCall;
using sim::AudioOp;

namespace {

bool isVolumeRead(const AudioCall &c)
{
    return c.op == AudioOp::DeviceGetProperty && c.property == kAudioDevicePropertyVolumeScalar;
}
bool isDecibelRead(const AudioCall &c)
{
    return c.op == AudioOp::DeviceGetProperty && c.property == kAudioDevicePropertyVolumeDecibels;
}

// Puts the thumb at a value without sending the action, as a drag step does before it.
void placeThumb(ARoundButtonSlider *slider, double value)
{
    slider->setDoubleValueNotLinked(value);
}

} // namespace

TEST(MixerLevel, WritesMovedChannelThenPartnerWithDeviceArguments)
{
    PanelHarness h(true, PanelHarness::exactZorvex());
    h.panel->currPreference.m_nLink[0] = 1;
    placeThumb(h.panel->fChannelLevel1, 0.5);
    h.panel->setChannelLevel(h.panel->fChannelLevel1);

    const auto journal = h.audio.journal();
    ASSERT_EQ(journal.size(), 6u);
    // Write, volume read, decibel read for input 1, then the same for input 2.
    const UInt32 channels[] = {1, 1, 1, 2, 2, 2};
    for (std::size_t i = 0; i < journal.size(); ++i) {
        const AudioCall &c = journal[i];
        EXPECT_EQ(c.object, toUInt32(h.device));
        EXPECT_EQ(c.channel, channels[i]) << i;
        EXPECT_EQ(c.isInput, 1) << i;
        EXPECT_EQ(c.size, 4u) << i;
    }
    EXPECT_EQ(journal[0].op, AudioOp::DeviceSetProperty);
    EXPECT_EQ(journal[0].property, kAudioDevicePropertyVolumeScalar);
    EXPECT_EQ(journal[0].floatValue(), 0.5f);
    EXPECT_TRUE(isVolumeRead(journal[1]));
    EXPECT_TRUE(isDecibelRead(journal[2]));
    EXPECT_EQ(journal[3].op, AudioOp::DeviceSetProperty);
    EXPECT_EQ(journal[3].floatValue(), 0.5f);
    EXPECT_TRUE(isVolumeRead(journal[4]));
    EXPECT_TRUE(isDecibelRead(journal[5]));

    EXPECT_EQ(h.panel->fChannelLevel1->doubleValue(), 0.5);
    EXPECT_EQ(h.panel->fChannelLevel2->doubleValue(), 0.5);
    const float db = h.audio.decibels(h.device, 1, 2);
    EXPECT_EQ(h.panel->fChannelDB1->stringValue(), QString::asprintf("%+.1f", static_cast<double>(db)));
}

TEST(MixerLevel, LinkCopiesTheValueTheDeviceStoredNotTheControls)
{
    PanelHarness h; // 127 volume steps: 0.5 is stored as 64/127
    h.panel->currPreference.m_nLink[0] = 1;
    placeThumb(h.panel->fChannelLevel3, 0.5);
    h.panel->setChannelLevel(h.panel->fChannelLevel3);

    const float stored = 64.0f / 127.0f;
    const auto writes = h.writes();
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[0].floatValue(), 0.5f);
    EXPECT_EQ(writes[0].channel, 1u);
    EXPECT_EQ(writes[0].isInput, 0);
    EXPECT_EQ(writes[1].floatValue(), stored);
    EXPECT_EQ(writes[1].channel, 2u);
    EXPECT_EQ(h.panel->currPreference.m_fLevel[2], stored);
    EXPECT_EQ(h.panel->currPreference.m_fLevel[3], stored);
    EXPECT_EQ(h.panel->fChannelLevel3->doubleValue(), static_cast<double>(stored));
}

TEST(MixerLevel, OnlyExactlyOneLinks)
{
    for (std::int32_t flag : {0, 2, -1}) {
        PanelHarness h;
        h.panel->currPreference.m_nLink[0] = flag;
        h.panel->fChannelLevel3->setDoubleValue(0.75);
        placeThumb(h.panel->fChannelLevel4, 0.25);
        h.panel->setChannelLevel(h.panel->fChannelLevel4);
        const auto writes = h.writes();
        ASSERT_EQ(writes.size(), 1u) << "link flag " << flag;
        EXPECT_EQ(writes[0].channel, 2u);
        EXPECT_EQ(writes[0].isInput, 0);
        EXPECT_EQ(h.panel->fChannelLevel3->doubleValue(), 0.75) << "the partner does not move";
    }
}

// An unknown sender, and the link switch, which only stores its state: nothing reaches the device.
TEST(MixerLevel, UnknownSendersAndTheLinkSwitchWriteNothing)
{
    PanelHarness h;
    ARoundButtonSlider stranger;
    h.panel->setChannelLevel(&stranger);
    h.panel->setChannelLevel(nullptr);
    h.panel->setChannelMute(h.panel->fChannelLevel1);
    const double before = h.panel->fChannelLevel1->doubleValue();
    h.panel->fChannelLink->setState(1);
    h.panel->setChannelLink(h.panel->fChannelLink);
    EXPECT_EQ(h.panel->currPreference.m_nLink[0], 1);
    EXPECT_TRUE(h.audio.journal().empty());
    EXPECT_EQ(h.panel->fChannelLevel1->doubleValue(), before);
}

TEST(MixerReadBack, FailedReadsLeaveRecordControlAndReadoutAlone)
{
    PanelHarness h;
    h.panel->channelLevelChanged(0);
    const QString readout = h.panel->fChannelDB1->stringValue();
    const double shown = h.panel->fChannelLevel1->doubleValue();
    const float record = h.panel->currPreference.m_fLevel[0];

    h.audio.externalSetVolume(h.device, 1, 1, 0.2f);
    h.audio.failWhen([](const AudioCall &c) { return c.op == AudioOp::DeviceGetProperty; });
    h.panel->channelLevelChanged(0);
    EXPECT_EQ(h.panel->currPreference.m_fLevel[0], record);
    EXPECT_EQ(h.panel->fChannelLevel1->doubleValue(), shown);
    EXPECT_EQ(h.panel->fChannelDB1->stringValue(), readout);
}

TEST(MixerReadBack, VolumeAndDecibelReadsFailIndependently)
{
    PanelHarness h;
    h.audio.externalSetVolume(h.device, 0, 2, 0.5f);
    h.audio.failWhen(isDecibelRead);
    h.panel->fChannelDB2->setStringValue(QStringLiteral("unchanged"));
    h.panel->channelLevelChanged(3);
    EXPECT_EQ(h.panel->currPreference.m_fLevel[3], h.audio.volume(h.device, 0, 2));
    EXPECT_EQ(h.panel->fChannelDB2->stringValue(), QStringLiteral("unchanged"));

    h.audio.clearFailures();
    h.audio.failWhen(isVolumeRead);
    h.audio.externalSetVolume(h.device, 0, 2, 0.1f);
    h.panel->channelLevelChanged(3);
    EXPECT_NE(h.panel->currPreference.m_fLevel[3], h.audio.volume(h.device, 0, 2));
    // The output pair's read-out, in the text every value formats to (see the C library case).
    EXPECT_EQ(h.panel->fChannelDB2->stringValue(), formatDecibels(h.audio.decibels(h.device, 0, 2)));
}

TEST(MixerReadBack, PairSharesOneReadoutShowingTheLastChannelRead)
{
    sim::DeviceConfig config = PanelHarness::exactZorvex();
    config.decibels = [](Float32 s) { return -60.0f + 60.0f * s; };
    PanelHarness h(true, config);
    h.audio.externalSetVolume(h.device, 1, 1, 0.5f);
    h.audio.externalSetVolume(h.device, 1, 2, 0.25f);
    h.panel->channelLevelChanged(1);
    EXPECT_EQ(h.panel->fChannelDB1->stringValue(), QStringLiteral("-45.0"));
    h.panel->channelLevelChanged(0);
    EXPECT_EQ(h.panel->fChannelDB1->stringValue(), QStringLiteral("-30.0"));
    EXPECT_EQ(h.panel->fChannelDB2->stringValue(), QString()) << "the output read-out is not touched";
}

TEST(MixerReadBack, DraggedFaderKeepsItsPlaceButRecordFollowsDevice)
{
    PanelHarness h(true, PanelHarness::exactZorvex());
    h.panel->fChannelLevel1->setDoubleValue(0.8);
    h.panel->fChannelLevel1->setIsDragging(true);
    h.audio.externalSetVolume(h.device, 1, 1, 0.3f);
    h.panel->channelLevelChanged(0);
    EXPECT_EQ(h.panel->currPreference.m_fLevel[0], 0.3f);
    EXPECT_EQ(h.panel->fChannelLevel1->doubleValue(), 0.8);

    h.panel->fChannelLevel1->setIsDragging(false);
    h.panel->channelLevelChanged(0);
    EXPECT_EQ(h.panel->fChannelLevel1->doubleValue(), static_cast<double>(0.3f));
}

TEST(MixerReadBack, ShortSuccessfulReadIsNotTakenAsAValue)
{
    PanelHarness h;
    // A device that answers success with fewer bytes than a float gave no value.
    h.audio.reportSizeWhen([](const AudioCall &c) { return isVolumeRead(c) || isDecibelRead(c); }, 2);
    h.audio.externalSetVolume(h.device, 1, 1, 0.2f);
    const float before = h.panel->currPreference.m_fLevel[0];
    h.panel->fChannelDB1->setStringValue(QStringLiteral("kept"));
    h.panel->channelLevelChanged(0);
    EXPECT_EQ(h.panel->currPreference.m_fLevel[0], before);
    EXPECT_EQ(h.panel->fChannelDB1->stringValue(), QStringLiteral("kept"));
}

TEST(MixerMute, PressWritesMasterMuteOfItsSideAndReadsNothing)
{
    PanelHarness h;
    h.panel->fChannelMute1->setState(1);
    h.panel->setChannelMute(h.panel->fChannelMute1);
    const auto journal = h.audio.journal();
    ASSERT_EQ(journal.size(), 1u);
    EXPECT_EQ(journal[0].op, AudioOp::DeviceSetProperty);
    EXPECT_EQ(journal[0].property, kAudioDevicePropertyMute);
    EXPECT_EQ(journal[0].channel, 0u);
    EXPECT_EQ(journal[0].isInput, 1);
    EXPECT_EQ(journal[0].size, 4u);
    EXPECT_EQ(journal[0].uintValue(), 1u);
    EXPECT_EQ(h.panel->currPreference.m_nMute[0], 1);

    h.panel->fChannelMute2->setState(1);
    h.panel->setChannelMute(h.panel->fChannelMute2);
    EXPECT_EQ(h.writes().back().isInput, 0);
}

TEST(MixerMute, ReadBackMovesButtonNotRecord)
{
    PanelHarness h;
    h.audio.externalSetMute(h.device, 0, 0, 1);
    h.panel->channelMuteChanged(1);
    EXPECT_EQ(h.panel->fChannelMute2->state(), 1);
    EXPECT_EQ(h.panel->currPreference.m_nMute[1], 0);

    h.audio.failWhen([](const AudioCall &c) { return c.property == kAudioDevicePropertyMute; });
    h.audio.externalSetMute(h.device, 0, 0, 0);
    h.panel->channelMuteChanged(1);
    EXPECT_EQ(h.panel->fChannelMute2->state(), 1);
}

TEST(MixerUnbound, CallsReachNoDeviceAndOnlyTheRecordChanges)
{
    PanelHarness h(false);
    placeThumb(h.panel->fChannelLevel1, 0.4);
    h.panel->setChannelLevel(h.panel->fChannelLevel1);
    EXPECT_EQ(h.panel->currPreference.m_fLevel[0], 0.4f);
    for (const AudioCall &c : h.audio.journal())
        EXPECT_NE(c.status, noErr);
}

TEST(MixerThreads, ReadBackFromAnotherThreadRunsOnceOnTheWindowsThread)
{
    PanelHarness h(true, PanelHarness::exactZorvex());
    h.audio.externalSetVolume(h.device, 1, 1, 0.6f);
    std::thread other([&] {
        h.panel->performReadBack(2); /* channel1LevelChanged */
    });
    other.join();
    EXPECT_TRUE(h.calls(AudioOp::DeviceGetProperty).empty()) << "nothing ran on the other thread";
    QCoreApplication::processEvents();
    EXPECT_EQ(h.calls(AudioOp::DeviceGetProperty).size(), 2u) << "one volume and one decibel read";
    EXPECT_EQ(h.panel->fChannelLevel1->doubleValue(), static_cast<double>(0.6f));
    QCoreApplication::processEvents();
    EXPECT_EQ(h.calls(AudioOp::DeviceGetProperty).size(), 2u);
}

TEST(MixerReadBack, ReadoutTextMatchesTheCLibrarysFormattingEverywhere)
{
    // Halfway cases, both zeros, the device's floor and headroom, large and tiny values.
    std::vector<float> values = {0.25f,
                                 -0.25f,
                                 0.05f,
                                 -0.05f,
                                 0.0f,
                                 -0.0f,
                                 -96.0f,
                                 12.75f,
                                 1e7f,
                                 -1e-7f,
                                 std::numeric_limits<float>::infinity(),
                                 std::numeric_limits<float>::quiet_NaN()};
    for (int i = -2000; i <= 2000; ++i)
        values.push_back(static_cast<float>(i) * 0.0125f);
    // Every kind of float a device could send: random bit patterns, fixed seed.
    std::mt19937 random(20261207);
    for (int i = 0; i < 20000; ++i)
        values.push_back(std::bit_cast<float>(static_cast<std::uint32_t>(random())));
    for (const float v : values) {
        char expected[64];
        std::snprintf(expected, sizeof(expected), "%+.1f", static_cast<double>(v));
        EXPECT_EQ(formatDecibels(v).toStdString(), expected) << v;
    }
}
