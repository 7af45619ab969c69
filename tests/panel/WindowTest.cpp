#include "AButton.h"
#include "AMatrix.h"
#include "ARoundButtonSlider.h"
#include "AStatusLine.h"
#include "ATextField.h"
#include "PanelGlobals.h"
#include "PanelHarness.h"

#include <QTest>
#include <gtest/gtest.h>

namespace {

// What a person sees of each control: shown, and able to take a click.
std::vector<std::pair<bool, bool>> shownAndEnabled(const ATolvane &panel)
{
    std::vector<std::pair<bool, bool>> state;
    for (const QWidget *w : std::initializer_list<const QWidget *>{
             panel.fChannelLevel1, panel.fChannelLevel4, panel.fChannelDB1, panel.fChannelDB2, panel.fChannelMute1,
             panel.fChannelMute2, panel.fChannelLink, panel.fSampleRate, panel.fSampleText, panel.fChannelIn,
             panel.main_view})
        state.emplace_back(!w->isHidden(), w->isEnabled());
    return state;
}

} // namespace

TEST(PanelWindow, ControlsSendTheirActionsThroughTheInterfaceFile)
{
    PanelHarness h;
    // The faders' range and look, and the read-outs' colours, as the window sets them up.
    EXPECT_EQ(h.panel->fChannelLevel3->maxValue(), 1.0);
    EXPECT_EQ(h.panel->fChannelLevel3->focusImageName(), QStringLiteral("pick_on"));
    EXPECT_EQ(h.panel->fChannelLevel3->unfocusImageName(), QStringLiteral("pick_off"));
    EXPECT_EQ(h.panel->fChannelLevel3->backColor().alpha(), 0) << "no track line";
    EXPECT_EQ(h.panel->fChannelDB2->palette().color(QPalette::Window), QColor(Qt::black));
    EXPECT_EQ(h.panel->fChannelDB2->palette().color(QPalette::WindowText), QColor(Qt::white));

    h.panel->show();
    h.panel->enableControls(0);
    QTest::keyClick(h.panel->fChannelMute2, Qt::Key_Space); // as a keyboard user presses it
    ASSERT_EQ(h.writes().size(), 1u);
    EXPECT_EQ(h.audio.mute(h.device, 0, 0), 1u) << "the output side muted";
    EXPECT_EQ(h.audio.mute(h.device, 1, 0), 0u);

    h.panel->fChannelLink->click();
    EXPECT_EQ(h.panel->currPreference.m_nLink[0], 1);

    // Keep on Top twice: on top and back to the level it had, the window on screen throughout.
    auto *keepOnTop = h.panel->findChild<AButton *>(QStringLiteral("keepOnTopButton"));
    ASSERT_NE(keepOnTop, nullptr);
    const CGWindowLevel before = h.panel->level();
    keepOnTop->click();
    EXPECT_EQ(keepOnTop->state(), 1) << "the action, not the click, sets the state";
    EXPECT_TRUE(h.panel->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(h.panel->isVisible());
    keepOnTop->click();
    EXPECT_EQ(keepOnTop->state(), 0);
    EXPECT_EQ(h.panel->level(), before);
    EXPECT_FALSE(h.panel->windowFlags().testFlag(Qt::WindowStaysOnTopHint));

    // Audio Settings asks for the system's sound settings, and says so when none can start.
    auto *audioSettings = h.panel->findChild<AButton *>(QStringLiteral("audioSettingsButton"));
    audioSettings->click();
    ASSERT_EQ(h.scripts.scripts().size(), 1u);
    EXPECT_EQ(h.scripts.scripts()[0], QStringLiteral("tell application \"Audio MIDI Setup\" to activate"));
    EXPECT_TRUE(h.panel->fStatusLine->message().isEmpty());
    RecordingScriptRunner failing(false);
    setScriptRunner(&failing);
    audioSettings->click();
    EXPECT_TRUE(h.panel->fStatusLine->message().contains(QStringLiteral("No sound settings program")));
}

// Absent: faders and read-outs hidden, the rest shown but disabled. Enabling shows everything,
// but disabling is not its mirror: what it did not hide, it does not bring back.
TEST(PanelWindow, StartsAbsentAndEnableShowsEverythingButDisableIsNotItsMirror)
{
    using State = std::vector<std::pair<bool, bool>>;
    // Hidden faders are disabled too, so that a screen reader cannot set them.
    const State absent = {{false, false}, {false, false}, {false, true}, {false, true}, {true, false}, {true, false},
                          {true, false},  {true, false},  {false, true}, {true, false}, {true, true}};
    PanelHarness h(false);
    h.panel->show();
    EXPECT_EQ(h.panel->windowTitle(), QStringLiteral("Zorvex Disabled"));
    EXPECT_EQ(shownAndEnabled(*h.panel), absent);

    h.panel->main_view->setHidden(true);
    h.panel->fChannelIn->setHidden(true);
    h.panel->enableControls(15364);
    EXPECT_EQ(h.panel->windowTitle(), QStringLiteral("Zorvex"));
    EXPECT_EQ(shownAndEnabled(*h.panel), State(absent.size(), {true, true}));

    h.panel->disableControls();
    EXPECT_EQ(h.panel->windowTitle(), QStringLiteral("Zorvex Disabled"));
    EXPECT_EQ(shownAndEnabled(*h.panel), absent);
}
