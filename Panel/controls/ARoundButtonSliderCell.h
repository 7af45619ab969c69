#pragma once

#include <QPointF>

class ARoundButtonSlider;

// Turns a press and drag on a level slider into values. Only a press on the thumb starts a
// drag; from then on only the pointer's vertical motion counts, and the grabbed point of the
// thumb stays under the pointer.
class ARoundButtonSliderCell {
public:
    static constexpr bool prefersTrackingUntilMouseUp() { return true; }

    bool startTrackingAt(QPointF point, ARoundButtonSlider &view);
    bool continueTracking(QPointF lastPoint, QPointF point, ARoundButtonSlider &view);
    void stopTracking(QPointF lastPoint, QPointF point, ARoundButtonSlider &view, bool mouseIsUp);

private:
    void trackTo(QPointF point, ARoundButtonSlider &view) const;

    // Distance from the thumb's top edge down to the pointer at the accepted press.
    float fOffset = 0.0f;
    // The slider's selection just before the accepted press, restored when tracking stops.
    int fSaveSelected = 0;
};
