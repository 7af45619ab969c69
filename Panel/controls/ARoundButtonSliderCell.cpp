#include "ARoundButtonSliderCell.h"

#include "ARoundButtonSlider.h"

bool ARoundButtonSliderCell::startTrackingAt(QPointF p, ARoundButtonSlider &view)
{
    const QRectF thumb = view.thumbRectForValue(view.doubleValue());
    const double top = thumb.top();
    // Top and left edges belong to the thumb, bottom and right edges do not; an empty thumb
    // takes no press.
    const bool inside
        = p.x() >= thumb.left() && p.x() < thumb.left() + thumb.width() && p.y() >= top && p.y() < top + thumb.height();
    if (!inside)
        return false;
    fSaveSelected = view.selected();
    view.setSelected(1);
    fOffset = static_cast<float>(p.y() - top);
    view.setIsDragging(true);
    return true;
}

bool ARoundButtonSliderCell::continueTracking(QPointF lastPoint, QPointF point, ARoundButtonSlider &view)
{
    // Exact comparison: QPointF's operator== is fuzzy.
    if (lastPoint.x() == point.x() && lastPoint.y() == point.y())
        return true;
    trackTo(point, view);
    return true;
}

void ARoundButtonSliderCell::stopTracking(QPointF, QPointF point, ARoundButtonSlider &view, bool)
{
    view.setSelected(fSaveSelected);
    view.setIsDragging(false);
    trackTo(point, view);
}

void ARoundButtonSliderCell::trackTo(QPointF point, ARoundButtonSlider &view) const
{
    const float travel = static_cast<float>(view.height() - view.thumbSize().height());
    const double top = point.y() - fOffset;
    const double f = (travel - top) / travel;
    view.setDoubleValue(view.minValue() + (view.maxValue() - view.minValue()) * f);
}
