#include "ARoundButtonSlider.h"

#include "ARoundButtonSliderCell.h"
#include "ControlsAccessible.h"
#include "Pictures.h"

#include <QAccessible>
#include <QFile>
#include <QFocusEvent>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QWheelEvent>
#include <cmath>

namespace {

struct TitleAttributes {
    QFont font;
    QColor color;
};

// Shared by every slider of the process, made on first use. Where the system lacks the
// panel's face, its own general-purpose face stands in, at the same point size.
const TitleAttributes &titleAttributes(bool regular)
{
    auto make = [](qreal points) {
        static const QString family = [] {
            const QString preferred = QStringLiteral("Lucida Grande");
            return QFontDatabase::hasFamily(preferred) ? preferred
                                                       : QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
        }();
        QFont font(family);
        font.setStyleHint(QFont::SansSerif);
        font.setPointSizeF(points);
        return TitleAttributes{font, Qt::black};
    };
    static const TitleAttributes regularSet = make(13.0);
    static const TitleAttributes smallSet = make(11.0);
    return regular ? regularSet : smallSet;
}

} // namespace

ARoundButtonSlider::ARoundButtonSlider(QWidget *parent)
    : QWidget(parent)
    , fFocusImageName(QStringLiteral("SmallSelected"))
    , fUnfocusImageName(QStringLiteral("SmallUnselected"))
    , fTitle(QLatin1String(""))
    , fControlSize(1)
    , fCell(std::make_unique<ARoundButtonSliderCell>())
{
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    installControlsAccessibility();
}

ARoundButtonSlider::~ARoundButtonSlider() = default;

QSize ARoundButtonSlider::sizeHint() const
{
    return {36, 160};
}

void ARoundButtonSlider::setMinValue(double value)
{
    fMinValue = value;
    update();
}

void ARoundButtonSlider::setMaxValue(double value)
{
    fMaxValue = value;
    update();
}

void ARoundButtonSlider::setDoubleValue(double value)
{
    double r = value < fMaxValue ? value : fMaxValue;
    if (fMinValue > r)
        r = fMinValue;
    if (r == fValue)
        return;
    setDoubleValueNotLinked(r);
    ARoundButtonSlider *partner = resolvePartner();
    if (fIsLinked && partner) {
        partner->setDoubleValueNotLinked(r);
        partner->sendAction();
    }
}

void ARoundButtonSlider::setDoubleValueNotLinked(double value)
{
    markThumbForRedraw();
    fValue = value;
    markThumbForRedraw();
    if (QAccessible::isActive()) {
        QAccessibleValueChangeEvent event(this, fValue);
        QAccessible::updateAccessibility(&event);
    }
}

QString ARoundButtonSlider::valueText() const
{
    return withUnit(fValueText, fValueUnit);
}

bool ARoundButtonSlider::setValueText(const QString &text, const QString &unit)
{
    if (text == fValueText && unit == fValueUnit)
        return false;
    // Without a listener the event would still look up (and first build) the slider's
    // accessible interface, on every step of a drag.
    const bool listened = QAccessible::isActive();
    const QString before = listened ? valueText() : QString();
    // The unit stays put from step to step: left alone, its string is not touched at all.
    if (text != fValueText)
        fValueText = text;
    if (unit != fValueUnit)
        fValueUnit = unit;
    if (!listened || valueText() == before)
        return true;
    // Carried as the description too: a change of it is what Orca speaks for the focused
    // control, and Qt's at-spi bridge exports no value text.
    QAccessibleEvent event(this, QAccessible::DescriptionChanged);
    QAccessible::updateAccessibility(&event);
    return true;
}

void ARoundButtonSlider::markThumbForRedraw()
{
    // Only the part inside the slider: a value far outside the bounds must not turn into an
    // integer rectangle that overflows.
    const QRectF thumb = thumbRectForValue(fValue).intersected(QRectF(rect()));
    if (!thumb.isEmpty())
        update(thumb.toAlignedRect());
}

void ARoundButtonSlider::setLinked(bool flag)
{
    if (fIsLinked == flag)
        return;
    fIsLinked = flag;
    if (ARoundButtonSlider *partner = resolvePartner())
        partner->setLinked(flag);
}

void ARoundButtonSlider::linkStateChange(QObject *sender)
{
    int state = 0;
    if (sender) {
        const QVariant value = sender->property("state");
        state = value.isValid() ? value.toInt() : 0;
    }
    // Only the low eight bits count, as a one-byte flag.
    const bool linked = (state & 0xFF) != 0;
    setLinked(linked);
    if (!linked)
        return;
    if (ARoundButtonSlider *partner = resolvePartner()) {
        partner->setDoubleValue(fValue);
        partner->sendAction();
    }
}

QString ARoundButtonSlider::otherSliderName() const
{
    return fOtherSliderName;
}

void ARoundButtonSlider::setOtherSliderName(const QString &name)
{
    fOtherSliderName = name;
    fOtherSlider = nullptr;
}

ARoundButtonSlider *ARoundButtonSlider::resolvePartner() const
{
    if (!fOtherSlider && !fOtherSliderName.isEmpty()) {
        if (QWidget *top = window())
            fOtherSlider = top->findChild<ARoundButtonSlider *>(fOtherSliderName);
    }
    return fOtherSlider.data() == this ? nullptr : fOtherSlider.data();
}

void ARoundButtonSlider::sendAction()
{
    emit action(this);
}

// ---- appearance ----

void ARoundButtonSlider::setControlSize(std::uint64_t size)
{
    if (fControlSize == size)
        return;
    fControlSize = size;
    makeButtonImage();
}

void ARoundButtonSlider::setFocusImageName(const QString &name)
{
    if (fFocusImageName == name && fFocusImageName.isNull() == name.isNull())
        return;
    fFocusImageName = name;
    makeButtonImage();
}

void ARoundButtonSlider::setUnfocusImageName(const QString &name)
{
    if (fUnfocusImageName == name && fUnfocusImageName.isNull() == name.isNull())
        return;
    fUnfocusImageName = name;
    makeButtonImage();
}

void ARoundButtonSlider::setBackColor(const QColor &color)
{
    fBackColor = color;
    makeButtonImage();
}

void ARoundButtonSlider::setTitle(const QString &title)
{
    if (fTitle == title && fTitle.isNull() == title.isNull())
        return;
    fTitle = title;
    makeButtonImage();
}

void ARoundButtonSlider::setImage(const QImage &image)
{
    if (fImage == image)
        return;
    fImage = image;
    makeButtonImage();
}

void ARoundButtonSlider::setSelected(int selected)
{
    if (fSelected == selected)
        return;
    fSelected = selected;
    makeButtonImage();
}

// ---- geometry and pictures ----

QSizeF ARoundButtonSlider::thumbSize() const
{
    return fThumbSize;
}

double ARoundButtonSlider::valueFraction() const
{
    return fractionForValue(fValue);
}

double ARoundButtonSlider::fractionForValue(double value) const
{
    const double f = (maxValue() - value) / (maxValue() - minValue());
    // Equal bounds, or a value with no place on the track, put the thumb at the bottom rather
    // than at a position that is not a number.
    return std::isfinite(f) ? f : 1.0;
}

// The one place the thumb's position is worked out: painting, redrawing and the press test
// all take it from here, in double precision, so that they never disagree by a rounding.
QRectF ARoundButtonSlider::thumbRectForValue(double value) const
{
    const QSizeF thumb = thumbSize();
    const double x = 0.5 * (width() - thumb.width());
    const double y = fractionForValue(value) * (height() - thumb.height());
    return {x, y, thumb.width(), thumb.height()};
}

void ARoundButtonSlider::makeButtonImage()
{
    fButtonImage = QPixmap();
    fThumbSize = {0.0, 0.0};
    const bool regular = fControlSize == 0;
    QString name;
    if (regular)
        name = fSelected ? QStringLiteral("pick_on") : QStringLiteral("pick_off");
    else
        name = fSelected ? fFocusImageName : fUnfocusImageName;
    const TitleAttributes &attributes = titleAttributes(regular);

    const qreal ratio = devicePixelRatioF();
    const QPixmap base = imageNamed(name, ratio);
    if (base.isNull())
        return;
    const QSizeF size = base.deviceIndependentSize();
    const qreal w = size.width();
    const qreal h = size.height();

    QPixmap composed(QSizeF(w * ratio, h * ratio).toSize());
    composed.setDevicePixelRatio(ratio);
    composed.fill(Qt::transparent);
    QPainter painter(&composed);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(QRectF(0, 0, w, h), base, QRectF(QPointF(0, 0), base.size()));
    if (!fImage.isNull()) {
        // Scaled to the base picture and lifted 2 points; what passes the top is cut off.
        painter.drawImage(QRectF(0, -2, w, h), fImage);
    }
    if (!fTitle.isEmpty()) {
        painter.setFont(attributes.font);
        painter.setPen(attributes.color);
        const QFontMetricsF metrics(attributes.font);
        const qreal a = metrics.horizontalAdvance(fTitle);
        const qreal b = metrics.height();
        // Centred, half a point right of and above the exact centre.
        const QPointF topLeft((w - a + 1) * 0.5, (h - b - 1) * 0.5);
        painter.drawText(QRectF(topLeft, QSizeF(a, b)), Qt::AlignLeft | Qt::AlignTop, fTitle);
    }
    painter.end();
    fButtonImage = composed;
    fThumbSize = composed.deviceIndependentSize();
}

void ARoundButtonSlider::buildBackgroundImage()
{
    const qreal ratio = devicePixelRatioF();
    const qreal W = width();
    const qreal H = height();
    const qreal th = thumbSize().height();
    const QPointF p0(static_cast<float>(W * 0.5), static_cast<float>(th * 0.5));
    const QPointF p1(static_cast<float>(W * 0.5), static_cast<float>(H - th * 0.5));
    const QColor color = fBackColor.isValid() ? fBackColor : palette().color(QPalette::Base);

    QPixmap track(QSizeF(W * ratio, H * ratio).toSize());
    track.setDevicePixelRatio(ratio);
    track.fill(Qt::transparent);
    QPainter painter(&track);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(color, 2.0, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(p0, p1);
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    painter.drawEllipse(QRectF(p0.x() - 2, p0.y() - 2, 4, 4));
    painter.drawEllipse(QRectF(p1.x() - 2, p1.y() - 2, 4, 4));
    painter.end();
    fBackgroundImage = track;
}

void ARoundButtonSlider::paintEvent(QPaintEvent *event)
{
    // A thumb made for another screen density is made again for this one.
    if (fButtonImage.isNull() || fButtonImage.devicePixelRatio() != devicePixelRatioF())
        makeButtonImage();
    if (fBackgroundImage.isNull())
        buildBackgroundImage();

    const QRectF thumbRect = thumbRectForValue(fValue);
    const qreal trackRatio = fBackgroundImage.devicePixelRatio();
    const qreal thumbRatio = fButtonImage.devicePixelRatio();
    QPainter painter(this);
    // Each rectangle of the region on its own: the old and new places of a moved thumb are
    // two small areas, not the span between them.
    for (const QRect &area : event->region()) {
        const QRectF r(area);
        painter.drawPixmap(r, fBackgroundImage, QRectF(r.topLeft() * trackRatio, r.size() * trackRatio));
        const QRectF d = thumbRect.intersected(r);
        if (d.isEmpty())
            continue;
        const QRectF source = d.translated(-thumbRect.topLeft());
        painter.drawPixmap(d, fButtonImage, QRectF(source.topLeft() * thumbRatio, source.size() * thumbRatio));
    }
}

// ---- mouse and focus ----

void ARoundButtonSlider::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    abandonTracking();
    fLastPoint = event->position();
    fTracking = fCell->startTrackingAt(fLastPoint, *this);
    if (fTracking)
        sendAction();
}

void ARoundButtonSlider::mouseMoveEvent(QMouseEvent *event)
{
    if (!fTracking)
        return;
    const QPointF point = event->position();
    fCell->continueTracking(fLastPoint, point, *this);
    fLastPoint = point;
    sendAction();
}

void ARoundButtonSlider::mouseReleaseEvent(QMouseEvent *event)
{
    if (!fTracking || event->button() != Qt::LeftButton)
        return;
    fTracking = false;
    // A refused press never reaches the stop step, so a click beside the thumb moves nothing.
    fCell->stopTracking(fLastPoint, event->position(), *this, true);
}

void ARoundButtonSlider::abandonTracking()
{
    if (!fTracking)
        return;
    fTracking = false;
    // The release will not come: end the drag where the pointer last was, so that the panel
    // does not keep treating the fader as held.
    fCell->stopTracking(fLastPoint, fLastPoint, *this, false);
}

// ---- keyboard and wheel ----

void ARoundButtonSlider::stepTo(double value)
{
    if (fTracking)
        return;
    const bool wasDragging = fIsDragging;
    fIsDragging = true;
    setDoubleValue(value);
    sendAction();
    fIsDragging = wasDragging;
}

void ARoundButtonSlider::keyPressEvent(QKeyEvent *event)
{
    const double range = fMaxValue - fMinValue;
    double target = 0.0;
    switch (event->key()) {
    case Qt::Key_Up: target = fValue + range / 100.0; break;
    case Qt::Key_Down: target = fValue - range / 100.0; break;
    case Qt::Key_PageUp: target = fValue + range / 10.0; break;
    case Qt::Key_PageDown: target = fValue - range / 10.0; break;
    case Qt::Key_Home: target = fMinValue; break;
    case Qt::Key_End: target = fMaxValue; break;
    default: QWidget::keyPressEvent(event); return;
    }
    stepTo(target);
    event->accept();
}

void ARoundButtonSlider::wheelEvent(QWheelEvent *event)
{
    if (!hasFocus() || fTracking) {
        event->ignore();
        return;
    }
    // One notch of a wheel is 120 eighths of a degree; finer wheels add up to a notch.
    fWheelRemainder += event->angleDelta().y();
    const int notches = fWheelRemainder / 120;
    fWheelRemainder -= notches * 120;
    if (notches != 0)
        stepTo(fValue + notches * (fMaxValue - fMinValue) / 100.0);
    event->accept();
}

void ARoundButtonSlider::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    abandonTracking();
}

void ARoundButtonSlider::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::EnabledChange && !isEnabled())
        abandonTracking();
}

void ARoundButtonSlider::focusInEvent(QFocusEvent *event)
{
    QWidget::focusInEvent(event);
    setSelected(1);
    update(thumbRectForValue(fValue).toAlignedRect());
}

void ARoundButtonSlider::focusOutEvent(QFocusEvent *event)
{
    QWidget::focusOutEvent(event);
    setSelected(0);
    update(thumbRectForValue(fValue).toAlignedRect());
}
