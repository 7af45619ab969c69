#include "ARoundButtonSlider.h"

#include "AButton.h"
#include "ControlsHarness.h"

#include <QSignalSpy>
#include <cmath>
#include <gtest/gtest.h>

namespace {

using Senders = std::vector<std::string>;

// Two sliders of a stereo pair, each wired to the other as in the window's interface file.
struct LinkedPair {
    SliderWindow window;
    ARoundButtonSlider *a = window.addSlider("A", {30, 40});
    ARoundButtonSlider *b = window.addSlider("B", {80, 40});
    ActionLog log;

    LinkedPair()
    {
        a->setProperty("otherSlider", QStringLiteral("B"));
        b->setProperty("otherSlider", QStringLiteral("A"));
        log.watch(a);
        log.watch(b);
    }
};

QRect thumbRect(const ARoundButtonSlider &slider)
{
    return slider.thumbRectForValue(slider.doubleValue()).toAlignedRect();
}

} // namespace

// ---- value model ----

TEST(SliderValue, ClampsToTheBounds)
{
    ARoundButtonSlider slider;
    slider.setMinValue(0.0);
    slider.setMaxValue(1.0);
    slider.setDoubleValue(1.5);
    EXPECT_EQ(slider.doubleValue(), 1.0);
    slider.setDoubleValue(-0.2);
    EXPECT_EQ(slider.doubleValue(), 0.0);
    slider.setDoubleValue(0.25);
    EXPECT_EQ(slider.doubleValue(), 0.25);
}

TEST(SliderValue, ReversedBoundsAlwaysStoreTheLowerBound)
{
    for (double v : {0.5, 1.5, 3.0, -1.0}) {
        ARoundButtonSlider slider;
        slider.setMinValue(2.0);
        slider.setMaxValue(1.0);
        slider.setDoubleValue(v);
        EXPECT_EQ(slider.doubleValue(), 2.0) << "for " << v;
    }
}

TEST(SliderValue, UnclampedPathsCanLeaveTheValueOutsideTheBounds)
{
    ARoundButtonSlider slider;
    slider.setMinValue(0.0);
    slider.setMaxValue(1.0);
    slider.setDoubleValueNotLinked(7.0);
    EXPECT_EQ(slider.doubleValue(), 7.0);

    slider.setDoubleValue(0.8);
    slider.setMaxValue(0.5);
    EXPECT_EQ(slider.doubleValue(), 0.8) << "a new bound leaves the value until the next setDoubleValue";
    slider.setDoubleValue(0.9);
    EXPECT_EQ(slider.doubleValue(), 0.5);
}

TEST(SliderValue, NotANumberNeverReachesTheValueThroughTheClamp)
{
    ARoundButtonSlider slider;
    slider.setMinValue(0.0);
    slider.setMaxValue(1.0);
    slider.setDoubleValue(std::nan(""));
    EXPECT_EQ(slider.doubleValue(), 1.0);
}

TEST(SliderValue, SettingTheCurrentValueRedrawsSendsAndCopiesNothing)
{
    LinkedPair pair;
    pair.a->setLinked(true);
    pair.a->setDoubleValue(0.4);
    pair.b->setDoubleValueNotLinked(0.1); // would show a copy
    ASSERT_TRUE(pair.window.show());
    PaintRecorder paintsA(pair.a), paintsB(pair.b);
    pair.log.clear();

    pair.a->setDoubleValue(3.0); // clamps to 1.0: a real change, which the recorders see
    flushPaints();
    ASSERT_EQ(pair.log.senders(), Senders{"B"});
    ASSERT_GT(paintsA.paintCount(), 0);
    pair.b->setDoubleValueNotLinked(0.1);
    flushPaints();
    paintsA.clear();
    paintsB.clear();
    pair.log.clear();

    pair.a->setDoubleValue(1.0); // the current value
    pair.a->setDoubleValue(7.0); // clamps to the current value
    flushPaints();

    EXPECT_EQ(paintsA.paintCount(), 0);
    EXPECT_EQ(paintsB.paintCount(), 0);
    EXPECT_TRUE(pair.log.senders().empty());
    EXPECT_EQ(pair.b->doubleValue(), 0.1);
}

// ---- link ----

TEST(SliderLink, AChangeOnALinkedSliderMovesThePartnerAndAnnouncesItOnce)
{
    LinkedPair pair;
    pair.a->setLinked(true);
    ASSERT_TRUE(pair.window.show());
    PaintRecorder paintsA(pair.a), paintsB(pair.b);
    const QRect oldA = thumbRect(*pair.a), oldB = thumbRect(*pair.b);

    pair.a->setDoubleValue(0.3);
    flushPaints();

    EXPECT_EQ(pair.a->doubleValue(), 0.3);
    EXPECT_EQ(pair.b->doubleValue(), 0.3);
    EXPECT_EQ(pair.log.senders(), Senders{"B"});
    EXPECT_EQ(paintsA.painted(), QRegion(oldA) + thumbRect(*pair.a));
    EXPECT_EQ(paintsB.painted(), QRegion(oldB) + thumbRect(*pair.b));
}

TEST(SliderLink, ThePartnerTakesTheValueBeyondItsOwnBounds)
{
    LinkedPair pair;
    pair.b->setMaxValue(0.5);
    pair.a->setLinked(true);
    pair.a->setDoubleValue(0.8);
    EXPECT_EQ(pair.b->doubleValue(), 0.8);
}

TEST(SliderLink, SetLinkedChangesBothPartnersTogether)
{
    LinkedPair pair;
    pair.a->setLinked(true);
    EXPECT_TRUE(pair.a->isLinked());
    EXPECT_TRUE(pair.b->isLinked());
    pair.b->setLinked(false);
    EXPECT_FALSE(pair.a->isLinked());
    EXPECT_FALSE(pair.b->isLinked());

    // Unlinked, a change stays on its own slider.
    pair.a->setDoubleValue(0.6);
    EXPECT_EQ(pair.b->doubleValue(), 0.0);
    EXPECT_TRUE(pair.log.senders().empty());
}

TEST(SliderLink, SwitchTurningOnCopiesThisValueToThePartnerAndAnnouncesBoth)
{
    LinkedPair pair;
    AButton linkSwitch;
    linkSwitch.setCheckable(true);
    linkSwitch.setState(1);
    pair.a->setDoubleValue(0.7);
    pair.b->setDoubleValue(0.2);

    pair.a->linkStateChange(&linkSwitch);

    EXPECT_TRUE(pair.a->isLinked());
    EXPECT_TRUE(pair.b->isLinked());
    EXPECT_EQ(pair.b->doubleValue(), 0.7);
    EXPECT_EQ(pair.a->doubleValue(), 0.7);
    // A's from B copying the value back, then B's own.
    EXPECT_EQ(pair.log.senders(), (Senders{"A", "B"}));
}

TEST(SliderLink, SwitchTurningOnWithEqualValuesAnnouncesOnlyThePartner)
{
    LinkedPair pair;
    AButton linkSwitch;
    linkSwitch.setCheckable(true);
    linkSwitch.setState(1);
    pair.a->setDoubleValue(0.4);
    pair.b->setDoubleValue(0.4);

    pair.a->linkStateChange(&linkSwitch);
    EXPECT_EQ(pair.log.senders(), Senders{"B"});
}

TEST(SliderLink, SwitchTurningOffOnlyUnlinks)
{
    LinkedPair pair;
    AButton linkSwitch;
    linkSwitch.setCheckable(true);
    pair.a->setLinked(true);
    pair.a->setDoubleValue(0.7);
    pair.b->setDoubleValueNotLinked(0.2);
    pair.log.clear();

    linkSwitch.setState(0);
    pair.a->linkStateChange(&linkSwitch);

    EXPECT_FALSE(pair.a->isLinked());
    EXPECT_FALSE(pair.b->isLinked());
    EXPECT_EQ(pair.b->doubleValue(), 0.2);
    EXPECT_TRUE(pair.log.senders().empty());
}

TEST(SliderLink, WithoutAPartnerOnlyTheFlagChanges)
{
    SliderWindow window;
    ARoundButtonSlider *alone = window.addSlider("alone");
    ActionLog log;
    log.watch(alone);
    AButton linkSwitch;
    linkSwitch.setCheckable(true);
    linkSwitch.setState(1);
    alone->setDoubleValue(0.5);

    alone->linkStateChange(&linkSwitch);
    EXPECT_TRUE(alone->isLinked());
    EXPECT_EQ(alone->doubleValue(), 0.5);
    EXPECT_TRUE(log.senders().empty());
}

// ---- appearance ----

TEST(SliderAppearance, SelectingTwiceRebuildsTheThumbOnce)
{
    SliderWindow window;
    ARoundButtonSlider *slider = window.addSlider("s");
    const qint64 unfocused = slider->buttonImage().cacheKey();

    slider->setSelected(1);
    const qint64 focused = slider->buttonImage().cacheKey();
    EXPECT_NE(focused, unfocused);
    slider->setSelected(1);
    EXPECT_EQ(slider->buttonImage().cacheKey(), focused);
    // The focus picture is the orange one.
    EXPECT_EQ(slider->buttonImage().toImage().pixelColor(8, 10), QColor(230, 120, 20));
}

TEST(SliderAppearance, BackColorAlwaysRebuildsTheThumb)
{
    SliderWindow window;
    ARoundButtonSlider *slider = window.addSlider("s");
    const QColor clear = QColor::fromRgbF(0, 0, 0, 0);
    slider->setBackColor(clear);
    const qint64 first = slider->buttonImage().cacheKey();
    slider->setBackColor(clear);
    EXPECT_NE(slider->buttonImage().cacheKey(), first);
    EXPECT_EQ(slider->backColor(), clear);
}

TEST(SliderAppearance, RegularControlSizeUsesThePickPicturesWhateverTheNames)
{
    SliderWindow window;
    ARoundButtonSlider *slider = window.addSlider("s");
    EXPECT_EQ(slider->thumbSize(), QSizeF(16, 20));
    slider->setControlSize(0);
    const QSizeF pick = imageNamed(QStringLiteral("pick_off")).deviceIndependentSize();
    ASSERT_FALSE(pick.isEmpty());
    EXPECT_EQ(slider->thumbSize(), pick);
}

TEST(SliderAppearance, AMissingPictureLeavesNoThumb)
{
    SliderWindow window;
    ARoundButtonSlider *slider = window.addSlider("s");
    slider->setUnfocusImageName(QStringLiteral("noSuchPicture"));
    EXPECT_EQ(slider->thumbSize(), QSizeF(0, 0));
    slider->setUnfocusImageName(QString());
    EXPECT_EQ(slider->thumbSize(), QSizeF(0, 0));
}

TEST(SliderAppearance, PickPicturesShareOneSizeSmallerThanTheFaderAndComeInDoubleDensity)
{
    const QPixmap on = imageNamed(QStringLiteral("pick_on"));
    const QPixmap off = imageNamed(QStringLiteral("pick_off"));
    ASSERT_FALSE(on.isNull());
    EXPECT_EQ(on.deviceIndependentSize(), off.deviceIndependentSize());
    const QSize fader = ARoundButtonSlider().sizeHint();
    EXPECT_LT(on.width(), fader.width());
    EXPECT_LT(on.height(), fader.height());

    for (const QString &name : {QStringLiteral("pick_on"), QStringLiteral("pick_off")}) {
        const QPixmap dense = imageNamed(name, 2.0);
        EXPECT_EQ(dense.devicePixelRatio(), 2.0) << name.toStdString();
        EXPECT_EQ(dense.size(), on.size() * 2) << name.toStdString();
        EXPECT_EQ(dense.deviceIndependentSize(), on.deviceIndependentSize()) << name.toStdString();
    }
}

// ---- geometry and repainting ----

TEST(SliderGeometry, ThumbTravelsLinearlyFromTopToBottom)
{
    SliderWindow window;
    ARoundButtonSlider *slider = window.addSlider("s");
    slider->setDoubleValue(0.25);
    EXPECT_EQ(slider->thumbRectForValue(0.25), QRectF(2, 75, 16, 20));
    slider->setDoubleValue(1.0);
    EXPECT_EQ(slider->thumbRectForValue(1.0), QRectF(2, 0, 16, 20));
    slider->setDoubleValue(0.0);
    EXPECT_EQ(slider->thumbRectForValue(0.0), QRectF(2, 100, 16, 20));
    slider->setDoubleValue(0.5);
    EXPECT_EQ(slider->thumbRectForValue(0.5), QRectF(2, 50, 16, 20));
}

TEST(SliderGeometry, EqualBoundsRestTheThumbAtTheBottomInsteadOfNowhere)
{
    SliderWindow window;
    ARoundButtonSlider *slider = window.addSlider("s");
    slider->setMinValue(0.5);
    slider->setMaxValue(0.5);
    slider->setDoubleValue(0.5);
    EXPECT_EQ(slider->thumbRectForValue(0.5), QRectF(2, 100, 16, 20));
    ASSERT_TRUE(window.show());
    slider->setDoubleValueNotLinked(1e300);
    flushPaints();
    EXPECT_TRUE(std::isfinite(slider->thumbRectForValue(1e300).y()));
}

TEST(SliderRepaint, AValueChangeRepaintsOnlyTheOldAndNewThumb)
{
    SliderWindow window;
    ARoundButtonSlider *slider = window.addSlider("s");
    slider->setDoubleValue(0.25);
    ASSERT_TRUE(window.show());
    PaintRecorder paints(slider);

    slider->setDoubleValue(0.75);
    flushPaints();

    const QRegion expected = QRegion(2, 75, 16, 20) + QRegion(2, 25, 16, 20);
    EXPECT_EQ(paints.painted(), expected);
    EXPECT_EQ(paints.painted().rectCount(), 2);
}

TEST(SliderRepaint, TrackIsBuiltOnceAndSurvivesResizeAndColour)
{
    SliderWindow window;
    ARoundButtonSlider *slider = window.addSlider("s");
    slider->setBackColor(Qt::red);
    EXPECT_FALSE(slider->hasBackgroundImage()) << "made at the first drawing, not before";
    ASSERT_TRUE(window.show());
    ASSERT_TRUE(slider->hasBackgroundImage());

    // Red track line down the middle, between the end dots.
    const QImage before = slider->grab().toImage();
    EXPECT_EQ(before.pixelColor(10, 60), QColor(Qt::red));
    slider->setBackColor(Qt::blue);
    slider->update();
    flushPaints();
    EXPECT_EQ(slider->grab().toImage().pixelColor(10, 60), QColor(Qt::red));
}
