// The panel as people reach it without a mouse: keys and the wheel on a focused fader, a
// fader's accessible interface, and the line that says why the window is disabled.
#include "AButton.h"
#include "ARoundButtonSlider.h"
#include "AStatusLine.h"
#include "ATextField.h"
#include "PanelHarness.h"

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QApplication>
#include <QTest>
#include <QWheelEvent>
#include <gtest/gtest.h>

namespace {

// A shown, enabled panel bound to an exact device, linked, every level at 0.5, input 1 focused.
struct ShownPanel : PanelHarness {
    ShownPanel()
        : PanelHarness(true, exactZorvex())
    {
        panel->enableControls(0);
        panel->currPreference.m_nLink[0] = 1;
        for (int i = 0; i < 4; ++i) {
            panel->currPreference.m_fLevel[i] = 0.5f;
            panel->appliedChannelLevel(i);
        }
        panel->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(panel.get()));
        panel->activateWindow();
        panel->fChannelLevel1->setFocus();
        audio.clearJournal();
    }
    Float32 input(UInt32 channel) const { return audio.volume(device, 1, channel); }

    void wheel(QWidget *target, int delta)
    {
        const QPointF at(target->width() / 2.0, target->height() / 2.0);
        QWheelEvent event(at, target->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(target, &event);
    }
};

// The news a screen reader finds under the status line: the name of its notification while
// that is shown.
QString shownNews(AStatusLine *line)
{
    QAccessibleInterface *bar = QAccessible::queryAccessibleInterface(line);
    for (int i = 0; i < bar->childCount(); ++i) {
        QAccessibleInterface *child = bar->child(i);
        if (child && child->role() == QAccessible::Notification && !child->state().invisible)
            return child->text(QAccessible::Name);
    }
    return {};
}

} // namespace

TEST(FaderKeys, EachKeyStepsThroughTheActionAndThePairFollows)
{
    struct Case {
        Qt::Key key;
        double expected; // from 0.5
    };
    const Case cases[] = {
        {Qt::Key_Up, 0.51},      {Qt::Key_Down, 0.49}, {Qt::Key_PageUp, 0.6},
        {Qt::Key_PageDown, 0.4}, {Qt::Key_Home, 0.0},  {Qt::Key_End, 1.0},
    };
    for (const Case &c : cases) {
        ShownPanel h;
        ARoundButtonSlider *fader = h.panel->fChannelLevel1;
        QTest::keyClick(fader, c.key);
        EXPECT_NEAR(fader->doubleValue(), c.expected, 1e-9) << c.key;
        EXPECT_FLOAT_EQ(h.input(1), static_cast<float>(c.expected)) << "the device was written";
        EXPECT_FLOAT_EQ(h.input(2), static_cast<float>(c.expected)) << "link holds";
        EXPECT_EQ(h.panel->fChannelLevel2->doubleValue(), static_cast<double>(h.input(2)));
        EXPECT_EQ(h.panel->fChannelDB1->stringValue(), formatDecibels(h.audio.decibels(h.device, 1, 2)));
        EXPECT_FALSE(fader->isDragging()) << "held for the step only";
    }
}

// At the top a step up changes nothing, other keys pass to the window, and on a coarse device
// (127 steps) each 1/100 step lands on a device step without the fader falling back to it.
TEST(FaderKeys, StepsStopAtTheEndsOtherKeysPassAndStepsAccumulateOnACoarseDevice)
{
    {
        ShownPanel h;
        ARoundButtonSlider *fader = h.panel->fChannelLevel1;
        QTest::keyClick(fader, Qt::Key_End);
        QTest::keyClick(fader, Qt::Key_PageUp);
        EXPECT_EQ(fader->doubleValue(), 1.0);
        EXPECT_FLOAT_EQ(h.input(1), 1.0f);
        h.audio.clearJournal();
        QTest::keyClick(fader, Qt::Key_A);
        EXPECT_TRUE(h.writes().empty());
    }

    PanelHarness coarse;
    coarse.panel->enableControls(0);
    coarse.panel->currPreference.m_fLevel[0] = 0.0f;
    coarse.panel->appliedChannelLevel(0);
    for (int i = 0; i < 10; ++i)
        QTest::keyClick(coarse.panel->fChannelLevel1, Qt::Key_Up);
    EXPECT_NEAR(coarse.panel->fChannelLevel1->doubleValue(), 0.1, 1e-9);
    EXPECT_FLOAT_EQ(coarse.audio.volume(coarse.device, 1, 1), 13.0f / 127.0f);
}

TEST(FaderWheel, MovesOnlyAFocusedFaderAndAddsUpFineWheels)
{
    ShownPanel h;
    ARoundButtonSlider *focused = h.panel->fChannelLevel1;
    ARoundButtonSlider *other = h.panel->fChannelLevel3;
    h.wheel(other, 120);
    EXPECT_EQ(other->doubleValue(), 0.5) << "scrolling past a fader changes nothing";
    EXPECT_TRUE(h.writes().empty());

    h.wheel(focused, 120);
    EXPECT_NEAR(focused->doubleValue(), 0.51, 1e-9);
    EXPECT_FLOAT_EQ(h.input(2), 0.51f) << "link holds";
    h.wheel(focused, -60);
    EXPECT_NEAR(focused->doubleValue(), 0.51, 1e-9) << "half a notch is not a step";
    h.wheel(focused, -60);
    EXPECT_NEAR(focused->doubleValue(), 0.5, 1e-9);
    EXPECT_FLOAT_EQ(h.input(1), 0.5f);
}

TEST(FaderAccessibility, ASliderWithANameAndASettableValueThatReachesTheDevice)
{
    ShownPanel h;
    QAccessibleInterface *fader = QAccessible::queryAccessibleInterface(h.panel->fChannelLevel1);
    ASSERT_NE(fader, nullptr);
    EXPECT_EQ(fader->role(), QAccessible::Slider);
    EXPECT_EQ(fader->text(QAccessible::Name), QStringLiteral("Input 1 level"));
    const auto spokenDecibels = [&h](UInt32 channel) {
        return formatDecibels(h.audio.decibels(h.device, 1, channel)) + QStringLiteral(" dB");
    };
    EXPECT_EQ(fader->text(QAccessible::Value), spokenDecibels(1));
    EXPECT_EQ(fader->text(QAccessible::Description), spokenDecibels(1)) << "what a screen reader says on focus";
    QAccessibleValueInterface *value = fader->valueInterface();
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value->currentValue().toDouble(), 0.5);
    EXPECT_EQ(value->minimumValue().toDouble(), 0.0);
    EXPECT_EQ(value->maximumValue().toDouble(), 1.0);

    value->setCurrentValue(0.25);
    // Without a listening screen reader (as under the offscreen platform) a step says nothing.
    EXPECT_EQ(shownNews(h.panel->fStatusLine) == spokenDecibels(1), QAccessible::isActive());
    EXPECT_EQ(h.panel->fChannelLevel1->doubleValue(), 0.25);
    EXPECT_FLOAT_EQ(h.input(1), 0.25f);
    EXPECT_FLOAT_EQ(h.input(2), 0.25f) << "link holds";
    EXPECT_EQ(fader->text(QAccessible::Description), spokenDecibels(1)) << "and on each step";
    EXPECT_EQ(QAccessible::queryAccessibleInterface(h.panel->fChannelLevel2)->text(QAccessible::Description),
              spokenDecibels(2));
    value->setCurrentValue(QStringLiteral("loud"));
    EXPECT_FLOAT_EQ(h.input(1), 0.25f) << "not a number: nothing written";
}

TEST(FaderAccessibility, ReadOutsCarryTheUnitAndDecorationsAreLeftOut)
{
    ShownPanel h;
    const QWidget *explained[]
        = {h.panel->fChannelLevel1, h.panel->fChannelLevel2, h.panel->fChannelLevel3, h.panel->fChannelLevel4,
           h.panel->fChannelDB1,    h.panel->fChannelDB2,    h.panel->fChannelMute1,  h.panel->fChannelMute2};
    for (const QWidget *control : explained)
        EXPECT_FALSE(control->toolTip().isEmpty()) << control->objectName().toStdString();
    QAccessibleInterface *readout = QAccessible::queryAccessibleInterface(h.panel->fChannelDB1);
    ASSERT_NE(readout, nullptr);
    const QString shown = h.panel->fChannelDB1->stringValue();
    EXPECT_FALSE(shown.endsWith(QStringLiteral("dB"))) << "the visible text stays bare";
    EXPECT_EQ(readout->text(QAccessible::Name), QStringLiteral("Input level: ") + shown + QStringLiteral(" dB"));

    QAccessibleInterface *view = QAccessible::queryAccessibleInterface(h.panel->main_view);
    ASSERT_NE(view, nullptr);
    bool sawFader = false;
    for (int i = 0; i < view->childCount(); ++i) {
        QAccessibleInterface *child = view->child(i);
        ASSERT_NE(child, nullptr);
        EXPECT_FALSE(child->object()->property("decoration").isValid()) << child->object()->objectName().toStdString();
        EXPECT_EQ(view->indexOfChild(child), i);
        sawFader |= child->object() == h.panel->fChannelLevel1;
    }
    EXPECT_TRUE(sawFader);
}

// The status line says why the window is disabled, in plain words, and is a status bar to a
// screen reader, which hears the reason when the user comes to the window and hears attach and
// detach; an interface that leaves takes its reason with it.
TEST(DisabledWindow, SaysWhyForEachCause)
{
    const QString connect = QStringLiteral("Connect the Zorvex by USB");
    struct Case {
        std::function<void(sim::USBDevice &)> fault; // none: nothing plugged in
        const char *says;                            // empty: attached
    };
    const Case cases[] = {
        {{}, "Connect the Zorvex by USB"},
        {[](sim::USBDevice &usb) { usb.userClientOpens = false; }, "you may not use it"},
        {[](sim::USBDevice &usb) { usb.audio.reset(); }, "its sound did not come up"},
        // The sound card's arrival is announced; nothing looks again later.
        {[](sim::USBDevice &usb) { usb.hasHIDDevice = usb.hasService = false; }, "not its controls"},
        {[](sim::USBDevice &) {}, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.says);
        DiscoveryHarness h;
        h.wake();
        h.settle();
        const bool attaches = !*c.says;
        if (!c.fault || attaches) {
            h.panel->show();
            EXPECT_EQ(shownNews(h.panel->fStatusLine), QString()) << "said while no one could see the window";
            h.panel->activateWindow();
            EXPECT_TRUE(QTest::qWaitForWindowActive(h.panel.get()));
            EXPECT_EQ(shownNews(h.panel->fStatusLine), connect) << "said when the user comes to the window";
        }
        std::optional<sim::SimUSBBus::Handle> zorvex;
        if (c.fault) {
            sim::USBDevice usb = sim::USBDevice::zorvex();
            c.fault(usb);
            zorvex = h.plug(usb);
        }
        const QString message = h.panel->fStatusLine->message();
        EXPECT_TRUE(attaches ? message.isEmpty() : message.contains(QLatin1String(c.says))) << message.toStdString();
        EXPECT_EQ(h.panel->isAttached(), attaches);
        EXPECT_EQ(QAccessible::queryAccessibleInterface(h.panel->fStatusLine)->role(), QAccessible::StatusBar);
        if (attaches) {
            EXPECT_EQ(shownNews(h.panel->fStatusLine), QStringLiteral("The Zorvex is connected."));
        }
        if (zorvex) {
            h.unplug(*zorvex);
            EXPECT_EQ(platform::IORegistry::instance().outstandingReferences(), 0) << "a service kept after it left";
            EXPECT_EQ(h.panel->fStatusLine->message(), connect);
            EXPECT_EQ(h.panel->windowTitle(), QStringLiteral("Zorvex Disabled"));
            if (attaches) {
                EXPECT_EQ(shownNews(h.panel->fStatusLine), connect);
            }
        }
    }
}
