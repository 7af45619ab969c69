#include "ARoundButtonSlider.h"

#include "AButton.h"
#include "ControlsHarness.h"
#include "Pictures.h"

#include <cmath>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using Senders = std::vector<std::string>;

// Two sliders of a stereo pair, each wired to the other as in the window's interface file.
struct LinkedPair {
    SliderWindow window;
    ARoundButtonSlider *a = window.addSlider("A", {30, 40});
    ARoundButtonSlider *b = window.addSlider("B", {80, 40});
    Senders senders; // of `action` signals from either slider, in arrival order

    LinkedPair()
    {
        a->setProperty("otherSlider", QStringLiteral("B"));
        b->setProperty("otherSlider", QStringLiteral("A"));
        for (ARoundButtonSlider *s : {a, b})
            QObject::connect(s, &ARoundButtonSlider::action, s,
                             [this](QObject *sender) { senders.push_back(sender->objectName().toStdString()); });
    }
};
} // namespace

// ---- value model ----

TEST(SliderValue, ClampsToTheBoundsAndReversedBoundsStoreTheLowerBound)
{
    struct Case {
        double min, max, value, stored;
    };
    for (const Case &c : {Case{0, 1, 1.5, 1.0}, Case{0, 1, -0.2, 0.0}, Case{0, 1, 0.25, 0.25},
                          Case{0, 1, std::nan(""), 1.0}, // never a value that is not a number
                          Case{2, 1, 0.5, 2.0}, Case{2, 1, 1.5, 2.0}, Case{2, 1, 3.0, 2.0}, Case{2, 1, -1.0, 2.0}}) {
        ARoundButtonSlider slider;
        slider.setMinValue(c.min);
        slider.setMaxValue(c.max);
        slider.setDoubleValue(c.value);
        EXPECT_EQ(slider.doubleValue(), c.stored) << c.min << ".." << c.max << " given " << c.value;
    }
}

// ---- link ----

TEST(SliderLink, TheLinkSwitchSetsBothFlagsAndCopiesThisValueOnlyWhenTurningOn)
{
    struct Case {
        const char *what;
        int state;
        bool partner;
        double a, b;
        Senders senders;
        double bAfter;
    };
    const Case cases[] = {
        // A's from B copying the value back, then B's own.
        {"on", 1, true, 0.7, 0.2, {"A", "B"}, 0.7},
        {"on, equal values", 1, true, 0.4, 0.4, {"B"}, 0.4},
        {"off", 0, true, 0.7, 0.2, {}, 0.2},
        {"on, no partner", 1, false, 0.5, 0.2, {}, 0.2},
    };
    for (const Case &c : cases) {
        LinkedPair pair;
        if (!c.partner)
            pair.a->setProperty("otherSlider", QStringLiteral("nobody"));
        pair.a->setLinked(c.state == 0);
        pair.a->setDoubleValueNotLinked(c.a);
        pair.b->setDoubleValueNotLinked(c.b);
        pair.senders.clear();
        AButton linkSwitch;
        linkSwitch.setCheckable(true);
        linkSwitch.setState(c.state);

        pair.a->linkStateChange(&linkSwitch);

        EXPECT_EQ(pair.a->isLinked(), c.state != 0) << c.what;
        EXPECT_EQ(pair.b->isLinked(), c.partner && c.state != 0) << c.what;
        EXPECT_EQ(pair.b->doubleValue(), c.bAfter) << c.what;
        EXPECT_EQ(pair.senders, c.senders) << c.what;
        // From now on a change on A reaches B only while they are linked.
        pair.a->setDoubleValue(0.55);
        EXPECT_EQ(pair.b->doubleValue(), pair.b->isLinked() ? 0.55 : c.bAfter) << c.what;
    }
}

// ---- appearance ----

TEST(SliderAppearance, SelectedShowsTheFocusPictureAndRegularControlSizeThePickPictures)
{
    SliderWindow window;
    ARoundButtonSlider *slider = window.addSlider("s");
    slider->setSelected(1);
    EXPECT_EQ(slider->buttonImage().toImage().pixelColor(8, 10), QColor(230, 120, 20)) << "the focus picture";
    QImage mark(16, 20, QImage::Format_ARGB32);
    mark.fill(Qt::blue);
    slider->setImage(mark);
    EXPECT_EQ(slider->buttonImage().toImage().pixelColor(8, 10), QColor(Qt::blue)) << "its own picture on top";
    EXPECT_EQ(slider->thumbSize(), QSizeF(16, 20));
    slider->setControlSize(0);
    const QPixmap pick = imageNamed(QStringLiteral("pick_off"));
    ASSERT_FALSE(pick.isNull());
    EXPECT_EQ(slider->thumbSize(), pick.deviceIndependentSize());
}

// ---- geometry and repainting ----
