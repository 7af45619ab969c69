#include "ARoundButtonSliderCell.h"

#include "ARoundButtonSlider.h"
#include "ControlsHarness.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

namespace {

// One 20 x 120 slider with a 16 x 20 thumb in a shown window, at the value given.
struct TrackedSlider {
    SliderWindow window;
    ARoundButtonSlider *slider = window.addSlider("fader");
    QSignalSpy actions{slider, &ARoundButtonSlider::action};

    explicit TrackedSlider(double value, bool takesFocus = true)
    {
        if (!takesFocus)
            slider->setFocusPolicy(Qt::NoFocus);
        slider->setDoubleValue(value);
    }
};

} // namespace

TEST(SliderTracking, DragKeepsTheGrabbedPointUnderThePointerAndClampsAtTheEnds)
{
    TrackedSlider t(0.5);
    ASSERT_TRUE(t.window.show());
    ASSERT_EQ(t.slider->thumbRectForValue(0.5), QRectF(2, 50, 16, 20));

    t.window.press(t.slider, {10, 55});
    EXPECT_TRUE(t.slider->isDragging());
    EXPECT_EQ(t.slider->cell().offset(), 5.0f);
    EXPECT_EQ(t.actions.count(), 1) << "the press announces itself";

    t.window.move(t.slider, {40, 35}); // sideways out of the slider: only the height counts
    EXPECT_DOUBLE_EQ(t.slider->doubleValue(), 0.7);
    EXPECT_EQ(t.actions.count(), 2);

    t.window.move(t.slider, {10, 200}); // far below the slider
    EXPECT_EQ(t.slider->doubleValue(), 0.0);
    EXPECT_EQ(t.actions.count(), 3);

    t.window.release(t.slider, {10, 200});
    EXPECT_EQ(t.slider->doubleValue(), 0.0);
    EXPECT_FALSE(t.slider->isDragging());
    EXPECT_EQ(t.actions.count(), 3) << "release is not announced";
}

TEST(SliderTracking, DraggingAboveTheTopPinsTheUpperBound)
{
    TrackedSlider t(0.5);
    ASSERT_TRUE(t.window.show());
    t.window.press(t.slider, {10, 55});
    t.window.move(t.slider, {10, -30});
    EXPECT_EQ(t.slider->doubleValue(), 1.0);
    EXPECT_EQ(t.slider->thumbRectForValue(1.0).top(), 0.0);
    t.window.release(t.slider, {10, -30});
}

TEST(SliderTracking, ValueFollowsTheRangeBetweenOtherBounds)
{
    TrackedSlider t(0.0);
    t.slider->setMinValue(1.0);
    t.slider->setMaxValue(3.0);
    t.slider->setDoubleValue(2.0); // thumb top at 50 of a travel of 100
    ASSERT_TRUE(t.window.show());
    t.window.press(t.slider, {10, 55});
    t.window.move(t.slider, {10, 100.0 / 4 + 5});
    EXPECT_DOUBLE_EQ(t.slider->doubleValue(), 2.5);
    t.window.release(t.slider, {10, 30});
}

TEST(SliderTracking, ThumbEdgesTopLeftInsideBottomRightOutside)
{
    struct Case {
        QPointF point;
        bool takes;
    };
    // Thumb (2, 50, 16, 20) at value 0.5.
    for (const Case &c : {Case{{2, 50}, true}, Case{{17, 69}, true}, Case{{18, 60}, false}, Case{{10, 70}, false},
                          Case{{1, 55}, false}, Case{{10, 49}, false}}) {
        TrackedSlider t(0.5);
        ASSERT_TRUE(t.window.show());
        t.window.press(t.slider, c.point);
        EXPECT_EQ(t.slider->isDragging(), c.takes) << c.point.x() << "," << c.point.y();
        EXPECT_EQ(t.actions.count(), c.takes ? 1 : 0);
        t.window.release(t.slider, c.point);
    }
}

TEST(SliderTracking, APressBesideTheThumbChangesNothing)
{
    TrackedSlider t(0.5);
    ASSERT_TRUE(t.window.show());
    // An earlier drag leaves its offset and saved selection behind.
    t.window.press(t.slider, {10, 52});
    t.window.release(t.slider, {10, 52});
    const float offset = t.slider->cell().offset();
    const int saved = t.slider->cell().saveSelected();
    const double value = t.slider->doubleValue();
    t.actions.clear();

    t.window.press(t.slider, {10, 110}); // on the track below the thumb
    t.window.move(t.slider, {10, 20});
    t.window.release(t.slider, {10, 20});

    EXPECT_EQ(t.slider->doubleValue(), value);
    EXPECT_FALSE(t.slider->isDragging());
    EXPECT_EQ(t.slider->cell().offset(), offset);
    EXPECT_EQ(t.slider->cell().saveSelected(), saved);
    EXPECT_EQ(t.actions.count(), 0);
}

TEST(SliderTracking, AThumbWithoutAPictureTakesNoPress)
{
    TrackedSlider t(0.5);
    t.slider->setFocusImageName(QStringLiteral("noSuchPicture"));
    t.slider->setUnfocusImageName(QStringLiteral("noSuchPicture"));
    ASSERT_TRUE(t.window.show());
    ASSERT_EQ(t.slider->thumbSize(), QSizeF(0, 0));

    // Where a zero-size thumb would sit at 0.5: top 60 on the centre line.
    t.window.press(t.slider, {10, 60});
    EXPECT_FALSE(t.slider->isDragging());
    EXPECT_EQ(t.actions.count(), 0);
    t.window.release(t.slider, {10, 60});
    EXPECT_EQ(t.slider->doubleValue(), 0.5);
}

TEST(SliderTracking, SelectionShowsTheFocusPictureDuringTheDragAndIsRestoredAfter)
{
    TrackedSlider t(0.5, /*takesFocus=*/false);
    ASSERT_TRUE(t.window.show());
    ASSERT_EQ(t.slider->selected(), 0);

    t.window.press(t.slider, {10, 55});
    EXPECT_EQ(t.slider->selected(), 1);
    t.window.move(t.slider, {10, 45});
    t.window.release(t.slider, {10, 45});
    EXPECT_EQ(t.slider->selected(), 0);
}

TEST(SliderTracking, AClickThatFocusesTheSliderLeavesItSelected)
{
    TrackedSlider t(0.5);
    ASSERT_TRUE(t.window.show());
    if (!t.window.window().isActiveWindow())
        GTEST_SKIP() << "the platform gives the test window no focus";
    t.window.press(t.slider, {10, 55});
    t.window.release(t.slider, {10, 55});
    EXPECT_EQ(t.slider->selected(), 1);
    EXPECT_EQ(t.slider->cell().saveSelected(), 1);
}

TEST(SliderTracking, ADragStepToTheSamePointSetsNothing)
{
    TrackedSlider t(0.5);
    ASSERT_TRUE(t.window.show());
    t.window.press(t.slider, {10, 55});
    t.slider->setDoubleValue(0.2); // someone else moved it meanwhile
    EXPECT_TRUE(t.slider->cell().continueTracking({10, 55}, {10, 55}, *t.slider));
    EXPECT_EQ(t.slider->doubleValue(), 0.2);
    t.window.release(t.slider, {10, 55});
}

TEST(SliderTracking, HidingTheSliderMidDragEndsTheDrag)
{
    TrackedSlider t(0.5);
    ASSERT_TRUE(t.window.show());
    t.window.press(t.slider, {10, 55});
    t.window.move(t.slider, {10, 35});
    ASSERT_TRUE(t.slider->isDragging());

    // The panel hides its faders when the interface goes away; the release then never comes.
    t.slider->hide();
    EXPECT_FALSE(t.slider->isDragging());
    EXPECT_DOUBLE_EQ(t.slider->doubleValue(), 0.7);
    t.window.release(t.slider, {10, 35});
}
