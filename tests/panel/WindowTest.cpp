#include "AButton.h"
#include "AMatrix.h"
#include "ARoundButtonSlider.h"
#include "ATextField.h"
#include "PanelGlobals.h"
#include "PanelHarness.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

void expectAbsentState(const ATolvane &panel)
{
    EXPECT_EQ(panel.windowTitle(), QStringLiteral("Zorvex Disabled"));
    for (const ARoundButtonSlider *slider : panel.fChannelLevel) {
        EXPECT_TRUE(slider->isHidden());
        EXPECT_FALSE(slider->isEnabled()) << "refuses a screen reader's value";
    }
    for (const ATextField *readout : panel.fChannelDB)
        EXPECT_TRUE(readout->isHidden());
    for (const AButton *mute : panel.fChannelMute) {
        EXPECT_FALSE(mute->isHidden());
        EXPECT_FALSE(mute->isEnabled());
    }
    EXPECT_FALSE(panel.fChannelLink->isEnabled());
    EXPECT_FALSE(panel.fChannelLink->isHidden());
    EXPECT_FALSE(panel.fSampleRate->isEnabled());
    EXPECT_FALSE(panel.fSampleRate->isHidden());
    EXPECT_FALSE(panel.fChannelIn->isEnabled());
    EXPECT_FALSE(panel.fChannelIn->isHidden());
    EXPECT_TRUE(panel.fSampleText->isHidden());
    EXPECT_FALSE(panel.main_view->isHidden());
}

} // namespace

TEST(PanelWindow, InterfaceFileConnectsEveryOutletInLevelOrder)
{
    PanelHarness h(false);
    const ATolvane &p = *h.panel;
    const char *sliderNames[] = {"fChannelLevel1", "fChannelLevel2", "fChannelLevel3", "fChannelLevel4"};
    for (std::size_t i = 0; i < 4; ++i) {
        ASSERT_NE(p.fChannelLevel[i], nullptr);
        EXPECT_EQ(p.fChannelLevel[i]->objectName(), QLatin1String(sliderNames[i]));
        EXPECT_EQ(p.fChannelLevel[i]->minValue(), 0.0);
        EXPECT_EQ(p.fChannelLevel[i]->maxValue(), 1.0);
        EXPECT_EQ(p.fChannelLevel[i]->focusImageName(), QStringLiteral("pick_on"));
        EXPECT_EQ(p.fChannelLevel[i]->unfocusImageName(), QStringLiteral("pick_off"));
        EXPECT_EQ(p.fChannelLevel[i]->backColor().alpha(), 0);
    }
    for (const ATextField *readout : p.fChannelDB) {
        EXPECT_EQ(readout->palette().color(QPalette::Window), QColor(Qt::black));
        EXPECT_EQ(readout->palette().color(QPalette::WindowText), QColor(Qt::white));
    }
    std::vector<int> tags;
    for (const AButton *cell : p.fSampleRate->cells())
        tags.push_back(cell->tag());
    EXPECT_EQ(tags, (std::vector<int>{0, 1, 2}));
    EXPECT_NE(p.fChannelIn, nullptr);
    EXPECT_NE(p.main_view, nullptr);
    EXPECT_EQ(p.fDeviceId[0], kAudioDeviceUnknown);
    EXPECT_EQ(p.fDeviceId[1], kAudioDeviceUnknown);
}

TEST(PanelWindow, ControlsSendTheirActionsThroughTheInterfaceFile)
{
    PanelHarness h;
    h.panel->show();
    h.panel->enableControls(0);
    h.panel->fChannelMute2->click();
    ASSERT_EQ(h.writes().size(), 1u);
    EXPECT_EQ(h.writes()[0].property, kAudioDevicePropertyMute);
    EXPECT_EQ(h.writes()[0].isInput, 0);

    h.panel->fChannelLink->click();
    EXPECT_EQ(h.panel->currPreference.m_nLink[0], 1);

    auto *keepOnTop = h.panel->findChild<AButton *>(QStringLiteral("keepOnTopButton"));
    ASSERT_NE(keepOnTop, nullptr);
    keepOnTop->click();
    EXPECT_EQ(keepOnTop->state(), 1) << "the action, not the click, sets the state";
    EXPECT_EQ(h.panel->level(), CGWindowLevelForKey(kCGModalPanelWindowLevelKey));

    h.panel->findChild<AButton *>(QStringLiteral("audioSettingsButton"))->click();
    EXPECT_EQ(h.scripts.scripts().size(), 1u);
}

TEST(PanelWindow, StartsAbsentAndEnableShowsEverythingButDisableIsNotItsMirror)
{
    PanelHarness h(false);
    h.panel->show();
    expectAbsentState(*h.panel);
    h.panel->main_view->setHidden(true);
    h.panel->fChannelIn->setHidden(true);
    h.panel->enableControls(15364);
    EXPECT_EQ(h.panel->windowTitle(), QStringLiteral("Zorvex"));
    for (const ARoundButtonSlider *slider : h.panel->fChannelLevel)
        EXPECT_FALSE(slider->isHidden());
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_FALSE(h.panel->fChannelDB[i]->isHidden());
        EXPECT_TRUE(h.panel->fChannelMute[i]->isEnabled());
    }
    EXPECT_TRUE(h.panel->fChannelLink->isEnabled());
    EXPECT_TRUE(h.panel->fSampleRate->isEnabled());
    EXPECT_FALSE(h.panel->main_view->isHidden());
    EXPECT_FALSE(h.panel->fSampleText->isHidden());
    EXPECT_TRUE(h.panel->fChannelIn->isEnabled());
    EXPECT_FALSE(h.panel->fChannelIn->isHidden());

    h.panel->disableControls();
    expectAbsentState(*h.panel);
}

TEST(PanelWindow, KeepOnTopTwiceRestoresStateAndLevelAndAudioSettingsIgnoresTheScriptsFailure)
{
    PanelHarness h(false);
    h.panel->show();
    AButton sender;
    sender.setCheckable(true);
    const CGWindowLevel before = h.panel->level();
    EXPECT_EQ(before, CGWindowLevelForKey(kCGNormalWindowLevelKey));

    h.panel->alwaysOnTop(&sender);
    EXPECT_EQ(sender.state(), 1);
    EXPECT_EQ(h.panel->level(), CGWindowLevelForKey(kCGModalPanelWindowLevelKey));
    EXPECT_TRUE(h.panel->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(h.panel->isVisible()) << "changing the level keeps the window on screen";

    h.panel->alwaysOnTop(&sender);
    EXPECT_EQ(sender.state(), 0);
    EXPECT_EQ(h.panel->level(), before);
    EXPECT_FALSE(h.panel->windowFlags().testFlag(Qt::WindowStaysOnTopHint));

    RecordingScriptRunner failing(false);
    setScriptRunner(&failing);
    h.panel->LaunchAudioMidiSetup(nullptr);
    const auto scripts = failing.scripts();
    ASSERT_EQ(scripts.size(), 1u);
    EXPECT_EQ(scripts[0], QStringLiteral("tell application \"Audio MIDI Setup\" to activate"));
    EXPECT_EQ(h.panel->windowTitle(), QStringLiteral("Zorvex Disabled"));
}

TEST(PanelWindow, ClosingTheWindowQuits)
{
    PanelHarness h(false);
    EXPECT_TRUE(h.panel->applicationShouldTerminateAfterLastWindowClosed());
    qApp->setQuitOnLastWindowClosed(h.panel->applicationShouldTerminateAfterLastWindowClosed());
    h.panel->show();
    QSignalSpy lastClosed(qApp, &QGuiApplication::lastWindowClosed);
    bool timedOut = false;
    QTimer::singleShot(0, h.panel.get(), [&] { h.panel->close(); });
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [&] {
        timedOut = true;
        qApp->exit(2);
    });
    watchdog.start(5000);
    const int code = qApp->exec();
    EXPECT_FALSE(timedOut);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(lastClosed.count(), 1);
}
