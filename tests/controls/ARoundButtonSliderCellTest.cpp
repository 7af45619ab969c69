#include "ARoundButtonSliderCell.h"

#include "ARoundButtonSlider.h"
#include "ControlsHarness.h"

#include <QSignalSpy>
#include <functional>
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
    EXPECT_EQ(t.actions.count(), 1) << "the press announces itself";

    t.window.move(t.slider, {40, 35}); // sideways out of the slider: only the height counts
    EXPECT_DOUBLE_EQ(t.slider->doubleValue(), 0.7);
    EXPECT_EQ(t.actions.count(), 2);

    t.window.move(t.slider, {10, 200}); // far below the slider
    EXPECT_EQ(t.slider->doubleValue(), 0.0);
    t.window.move(t.slider, {10, -30}); // far above it
    EXPECT_EQ(t.slider->doubleValue(), 1.0);
    EXPECT_EQ(t.actions.count(), 4);

    t.window.release(t.slider, {10, -30});
    EXPECT_EQ(t.slider->doubleValue(), 1.0);
    EXPECT_FALSE(t.slider->isDragging());
    EXPECT_EQ(t.actions.count(), 4) << "release is not announced";

    // The value follows the range between other bounds: thumb top at 50 of a travel of 100.
    t.slider->setMinValue(1.0);
    t.slider->setMaxValue(3.0);
    t.slider->setDoubleValue(2.0);
    t.window.press(t.slider, {10, 55});
    t.window.move(t.slider, {10, 30});
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
        // A refused press never reaches the stop step, so its release moves nothing either.
        EXPECT_EQ(t.slider->doubleValue(), 0.5) << c.point.x() << "," << c.point.y();
    }
}

TEST(SliderTracking, HidingOrDisablingTheSliderMidDragEndsTheDrag)
{
    // The panel hides or disables its faders when the interface goes away; the release then
    // never comes.
    const std::function<void(ARoundButtonSlider *)> interruptions[]
        = {[](ARoundButtonSlider *s) { s->hide(); }, [](ARoundButtonSlider *s) { s->setEnabled(false); }};
    for (const auto &interrupt : interruptions) {
        TrackedSlider t(0.5);
        ASSERT_TRUE(t.window.show());
        t.window.press(t.slider, {10, 55});
        t.window.move(t.slider, {10, 35});
        ASSERT_TRUE(t.slider->isDragging());

        interrupt(t.slider);
        EXPECT_FALSE(t.slider->isDragging());
        EXPECT_DOUBLE_EQ(t.slider->doubleValue(), 0.7);
        t.window.release(t.slider, {10, 35});
    }
}
