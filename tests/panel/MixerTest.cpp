#include "AButton.h"
#include "ARoundButtonSlider.h"
#include "ATextField.h"
#include "PanelHarness.h"

#include <bit>
#include <cstdio>
#include <gtest/gtest.h>
#include <limits>
#include <random>

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

// Where each fader lives on the device: (input side, channel).
constexpr std::pair<Boolean, UInt32> kFaderChannel[] = {{1, 1}, {1, 2}, {0, 1}, {0, 2}};

} // namespace

// Held at 0.5 on a device of 127 steps, which keeps 64/127: the moved channel is asked for
// 0.5, its partner for the step the device kept, so both end on the same step.
TEST(MixerLevel, AMovedFaderWritesItsChannelAndALinkedPartnerTheStepTheDeviceKept)
{
    const float kept = 64.0f / 127.0f;
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        PanelHarness h;
        h.panel->currPreference.m_nLink[0] = 1;
        ARoundButtonSlider *fader = h.panel->fChannelLevel[static_cast<std::size_t>(i)];
        ARoundButtonSlider *partner = h.panel->fChannelLevel[static_cast<std::size_t>(i ^ 1)];
        fader->setIsDragging(true);
        fader->setDoubleValueNotLinked(0.5);
        h.panel->setChannelLevel(fader);

        const auto writes = h.writes();
        ASSERT_EQ(writes.size(), 2u);
        for (int n = 0; n < 2; ++n) {
            const auto [isInput, channel] = kFaderChannel[i ^ n];
            EXPECT_EQ(writes[n].object, toUInt32(h.device));
            EXPECT_EQ(writes[n].property, kAudioDevicePropertyVolumeScalar);
            EXPECT_EQ(writes[n].isInput, isInput);
            EXPECT_EQ(writes[n].channel, channel);
            EXPECT_EQ(h.audio.volume(h.device, isInput, channel), kept);
            EXPECT_EQ(h.panel->currPreference.m_fLevel[i ^ n], kept);
        }
        EXPECT_EQ(writes[0].floatValue(), 0.5f);
        EXPECT_EQ(writes[1].floatValue(), kept) << "the partner gets the device's step, not the hand's value";
        EXPECT_EQ(fader->doubleValue(), 0.5) << "the held fader stays under the hand";
        EXPECT_EQ(partner->doubleValue(), static_cast<double>(kept));
        const auto [isInput, channel] = kFaderChannel[i ^ 1];
        EXPECT_EQ(h.panel->fChannelDB[static_cast<std::size_t>(i / 2)]->stringValue(),
                  formatDecibels(h.audio.decibels(h.device, isInput, channel)));
    }
}

// Only a stored 1 links; an unknown sender, a mute sent as a fader, and the link switch (which
// only stores its state) reach nothing.
TEST(MixerLevel, OnlyExactlyOneLinksAndOtherSendersWriteNothing)
{
    for (std::int32_t flag : {0, 2, -1}) {
        PanelHarness h;
        h.panel->currPreference.m_nLink[0] = flag;
        h.panel->fChannelLevel3->setDoubleValue(0.75);
        h.panel->fChannelLevel4->setDoubleValueNotLinked(0.25);
        h.panel->setChannelLevel(h.panel->fChannelLevel4);
        ASSERT_EQ(h.writes().size(), 1u) << "link flag " << flag;
        EXPECT_EQ(h.writes()[0].channel, 2u);
        EXPECT_EQ(h.panel->fChannelLevel3->doubleValue(), 0.75) << "the partner does not move";
    }
    PanelHarness h;
    ARoundButtonSlider stranger;
    h.panel->setChannelLevel(&stranger);
    h.panel->setChannelLevel(nullptr);
    h.panel->setChannelMute(h.panel->fChannelLevel1);
    h.panel->setChannelMute(nullptr);
    h.panel->fChannelLink->setState(1);
    h.panel->setChannelLink(h.panel->fChannelLink);
    EXPECT_EQ(h.panel->currPreference.m_nLink[0], 1);
    EXPECT_TRUE(h.audio.journal().empty());
}

// A read that fails, or succeeds with fewer bytes than a float, gave no value: what it would
// have set stays as it was, and the other read of the pair still counts.
TEST(MixerReadBack, AFailedOrShortReadLeavesItsPartAloneAndTheOtherReadStillCounts)
{
    struct Case {
        const char *what;
        std::function<bool(const AudioCall &)> fails;
        bool levelTaken, decibelsTaken;
    };
    const Case cases[] = {
        {"both reads fail", [](const AudioCall &c) { return c.op == AudioOp::DeviceGetProperty; }, false, false},
        {"the volume read fails", isVolumeRead, false, true},
        {"the decibel read fails", isDecibelRead, true, false},
    };
    for (const bool shortAnswer : {false, true}) {
        for (const Case &c : cases) {
            SCOPED_TRACE(testing::Message() << c.what << (shortAnswer ? ", answering 2 bytes" : ""));
            PanelHarness h(true, PanelHarness::exactZorvex());
            h.panel->currPreference.m_fLevel[3] = 0.9f;
            h.panel->fChannelLevel4->setDoubleValue(0.9);
            h.panel->fChannelDB2->setStringValue(QStringLiteral("kept"));
            h.audio.externalSetVolume(h.device, 0, 2, 0.2f);
            if (shortAnswer)
                h.audio.reportSizeWhen(c.fails, 2);
            else
                h.audio.failWhen(c.fails);
            h.panel->channelLevelChanged(3);
            EXPECT_EQ(h.panel->currPreference.m_fLevel[3], c.levelTaken ? 0.2f : 0.9f);
            EXPECT_EQ(h.panel->fChannelLevel4->doubleValue(), c.levelTaken ? static_cast<double>(0.2f) : 0.9);
            EXPECT_EQ(h.panel->fChannelDB2->stringValue(),
                      c.decibelsTaken ? formatDecibels(h.audio.decibels(h.device, 0, 2)) : QStringLiteral("kept"));
        }
    }
}

TEST(MixerReadBack, APairSharesOneReadoutAndAHeldFaderKeepsItsPlaceWhileTheRecordFollows)
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

// A press writes the master mute of its own side; a change from elsewhere moves the button
// but not the record, and a failed read leaves the button.
TEST(MixerMute, APressMutesItsSideAndAReadBackMovesOnlyTheButton)
{
    for (std::size_t i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        PanelHarness h;
        const Boolean side = i == 0 ? 1 : 0;
        h.panel->fChannelMute[i]->setState(1);
        h.panel->setChannelMute(h.panel->fChannelMute[i]);
        ASSERT_EQ(h.audio.journal().size(), 1u) << "a write and no read";
        EXPECT_EQ(h.audio.mute(h.device, side, 0), 1u);
        EXPECT_EQ(h.audio.mute(h.device, !side, 0), 0u);
        EXPECT_EQ(h.panel->currPreference.m_nMute[i], 1);

        h.audio.externalSetMute(h.device, side, 0, 0);
        h.panel->channelMuteChanged(static_cast<int>(i));
        EXPECT_EQ(h.panel->fChannelMute[i]->state(), 0);
        EXPECT_EQ(h.panel->currPreference.m_nMute[i], 1);

        h.audio.failWhen([](const AudioCall &c) { return c.property == kAudioDevicePropertyMute; });
        h.audio.externalSetMute(h.device, side, 0, 1);
        h.panel->channelMuteChanged(static_cast<int>(i));
        EXPECT_EQ(h.panel->fChannelMute[i]->state(), 0);
    }
}

TEST(MixerReadBack, ReadoutTextMatchesTheCLibrarysFormattingEverywhere)
{
    // Halfway cases, both zeros, large and tiny values, every tenth-step near the device's range,
    // and random bit patterns (fixed seed): every kind of float a device could send.
    std::vector<float> values = {0.25f,
                                 -0.25f,
                                 0.05f,
                                 -0.05f,
                                 0.0f,
                                 -0.0f,
                                 1e7f,
                                 -1e-7f,
                                 std::numeric_limits<float>::infinity(),
                                 std::numeric_limits<float>::quiet_NaN()};
    for (int i = -2000; i <= 2000; ++i)
        values.push_back(static_cast<float>(i) * 0.0125f);
    std::mt19937 random(20261207);
    for (int i = 0; i < 20000; ++i)
        values.push_back(std::bit_cast<float>(static_cast<std::uint32_t>(random())));
    for (const float v : values) {
        char expected[64];
        std::snprintf(expected, sizeof(expected), "%+.1f", static_cast<double>(v));
        ASSERT_EQ(formatDecibels(v).toStdString(), expected) << v;
    }
}
