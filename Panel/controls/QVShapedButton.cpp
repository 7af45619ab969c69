#include "QVShapedButton.h"

#include "Pictures.h"
#include "QVDarkenedImage.h"

#include <QEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <QRegion>
#include <cmath>

namespace {

// A disabled key shows its normal picture faintly, whatever its state.
constexpr float kDisabledFraction = 0.4f;

// Below this saturation an accent reads as grey, the graphite look.
constexpr float kGraphiteSaturation = 0.25f;

} // namespace

QVShapedButton::QVShapedButton(QWidget *parent)
    : AButton(parent)
{
    setFlat(true);
}

void QVShapedButton::setImage(const QImage &picture, const QString &name)
{
    // A pixel ratio that is not a positive finite number gives the picture no size in points:
    // such a picture is no picture.
    const qreal ratio = picture.devicePixelRatio();
    const QImage image = std::isfinite(ratio) && ratio > 0 ? picture : QImage();
    fImage = image;
    fImageName = name;
    fHitBitmap = QImage();
    // Only a picture with alpha shapes the button; without, the whole bounds take clicks.
    if (!image.isNull() && image.hasAlphaChannel()) {
        fHitBitmap
            = image.format() == QImage::Format_RGBA8888 || image.format() == QImage::Format_RGBA8888_Premultiplied
            ? image
            : image.convertToFormat(QImage::Format_RGBA8888);
    }
    updateMask();
    updateGeometry();
    update();
}

void QVShapedButton::setImageName(const QString &name)
{
    setImage(bitmapNamed(name), name);
}

void QVShapedButton::setTitleRect(const QRectF &rect)
{
    fTitleRect = rect;
    update();
}

void QVShapedButton::setAlternateImage(const QImage &image, const QString &name)
{
    installAlternateImage(image, name);
    updateImageBaseName();
}

void QVShapedButton::setAlternateImageName(const QString &name)
{
    installAlternateImage(bitmapNamed(name), name);
    fAwaitsAwake = true;
}

void QVShapedButton::installAlternateImage(const QImage &image, const QString &name)
{
    fAlternateImage = image;
    fAlternateImageName = image.isNull() ? QString() : name;
    update();
}

void QVShapedButton::awakeFromNib()
{
    fAwaitsAwake = false;
    updateImageBaseName();
    controlTintChanged();
}

void QVShapedButton::updateImageBaseName()
{
    if (fAlternateImage.isNull() || fAlternateImageName.isEmpty())
        return;
    const qsizetype at = fAlternateImageName.indexOf(QLatin1String("Aqua"), 0, Qt::CaseSensitive);
    if (at < 0)
        return;
    setImageBaseName(fAlternateImageName.first(at));
}

bool QVShapedButton::graphiteTint() const
{
    return controlTintColor().hsvSaturationF() < kGraphiteSaturation;
}

QColor QVShapedButton::controlTintColor() const
{
    return palette().color(QPalette::Active, QPalette::Highlight);
}

void QVShapedButton::controlTintChanged()
{
    if (!imageBaseName_)
        return;
    const QString name = *imageBaseName_ + (graphiteTint() ? QStringLiteral("Graphite") : QStringLiteral("Aqua"));
    QImage variant = bitmapNamed(name);
    if (!variant.isNull()) {
        installAlternateImage(variant, name);
        return;
    }
    QColor tint = controlTintColor();
    tint.setAlphaF(0.5f);
    installAlternateImage(darkenedImageWithColor(fImage, tint), QString());
}

QVShapedButton::ImageChoice QVShapedButton::chooseImage(bool enabled, bool highlighted, bool showsState, bool on)
{
    if (!enabled)
        return {false, false, kDisabledFraction};
    if (highlighted)
        return {true, showsState, 1.0f};
    return {showsState && on, false, 1.0f};
}

QImage QVShapedButton::pictureForScreen(const QImage &picture, const QString &name) const
{
    if (devicePixelRatioF() > 1.0 && !name.isEmpty()) {
        const QImage dense = bitmapNamed(name, devicePixelRatioF());
        if (!dense.isNull())
            return dense;
    }
    return picture;
}

const QImage &QVShapedButton::paintedPicture(bool alternate, bool darkened) const
{
    const bool useAlternate = alternate && !fAlternateImage.isNull();
    const QImage &source = useAlternate ? fAlternateImage : fImage;
    const QString &name = useAlternate ? fAlternateImageName : fImageName;
    QColor highlight = palette().color(QPalette::Active, QPalette::Light);
    highlight.setAlphaF(0.5f);
    const qreal ratio = devicePixelRatioF();
    const QString title = fTitleRect.isEmpty() ? QString() : text();
    // A disabled key fades its label with its picture, so the colour does not follow the state.
    const QRgb titleColour
        = palette().color(QPalette::Active, useAlternate ? QPalette::HighlightedText : QPalette::ButtonText).rgba();
    PaintedPicture &p = fPainted;
    if (p.source == source.cacheKey() && p.name == name && p.ratio == ratio && p.darkened == darkened
        && p.highlight == highlight.rgba() && p.title == title && p.font == font() && p.titleColour == titleColour)
        return p.picture;
    QImage picture = pictureForScreen(source, name);
    if (!title.isEmpty() && !picture.isNull()) {
        // Written before any darkening, so a pressed key darkens its label as it did when the
        // word was part of the picture.
        QPainter painter(&picture);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setFont(font());
        painter.setPen(QColor::fromRgba(titleColour));
        painter.drawText(fTitleRect, Qt::AlignCenter, title);
    }
    if (darkened && !picture.isNull()) {
        const qreal density = picture.devicePixelRatio();
        // Pixel for pixel, so a double-density picture keeps its density.
        picture = darkenedImageWithColor(picture, QSizeF(picture.size()), highlight);
        picture.setDevicePixelRatio(density);
    }
    p = {source.cacheKey(), name, ratio, darkened, highlight.rgba(), title, font(), titleColour, picture};
    return p.picture;
}

void QVShapedButton::paintEvent(QPaintEvent *)
{
    const ImageChoice choice = chooseImage(isEnabled(), isDown(), isCheckable(), isChecked());
    const QImage &picture = paintedPicture(choice.alternate, choice.darkened);
    if (picture.isNull())
        return;
    QPainter painter(this);
    painter.setOpacity(choice.fraction);
    painter.drawImage(QPointF(0, 0), picture);
    if (hasFocus()) {
        // The ring follows the picture's outline; the mask keeps its inner half, so it shows
        // on the button itself, whatever its shape.
        QPainterPath outline;
        if (mask().isEmpty())
            outline.addRect(QRectF(rect()));
        else
            outline.addRegion(mask());
        painter.setOpacity(1.0);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(QColor(0xff, 0xc8, 0x57), 4.0));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(outline.simplified());
    }
}

bool QVShapedButton::hitTest(QPointF point) const
{
    // Left and top edges inside, right and bottom edges outside.
    if (!(point.x() >= 0 && point.y() >= 0 && point.x() < width() && point.y() < height()))
        return false;
    if (fHitBitmap.isNull())
        return true;
    const qreal ratio = fHitBitmap.devicePixelRatio();
    const double column = std::trunc(point.x() * ratio);
    const double row = std::trunc(point.y() * ratio);
    // A bitmap smaller than the bounds leaves the rest of them unclickable. Written so that a
    // NaN fails too: only a pixel inside the bitmap is read.
    if (!(column >= 0 && row >= 0 && column < fHitBitmap.width() && row < fHitBitmap.height()))
        return false;
    const uchar *pixel = fHitBitmap.constScanLine(static_cast<int>(row)) + static_cast<qsizetype>(column) * 4;
    return pixel[3] >= 128;
}

bool QVShapedButton::hitButton(const QPoint &pos) const
{
    return hitTest(QPointF(pos));
}

void QVShapedButton::updateMask()
{
    // The mask is what makes a click on a clear pixel go to the widget behind the button,
    // through Qt's own choice of the widget under the pointer.
    if (fHitBitmap.isNull()) {
        clearMask();
        return;
    }
    QRegion shape;
    for (int y = 0; y < height(); ++y) {
        int runStart = -1;
        for (int x = 0; x <= width(); ++x) {
            const bool hit = x < width() && hitTest(QPointF(x, y));
            if (hit && runStart < 0)
                runStart = x;
            else if (!hit && runStart >= 0) {
                shape += QRect(runStart, y, x - runStart, 1);
                runStart = -1;
            }
        }
    }
    // An empty mask would mean "no mask" to Qt; a button with no opaque pixel takes no click.
    if (shape.isEmpty())
        shape = QRegion(-1, -1, 1, 1);
    setMask(shape);
}

QSize QVShapedButton::sizeHint() const
{
    if (fImage.isNull())
        return AButton::sizeHint();
    return fImage.deviceIndependentSize().toSize();
}

bool QVShapedButton::event(QEvent *event)
{
    if (event->type() == QEvent::Polish && fAwaitsAwake)
        awakeFromNib();
    return AButton::event(event);
}

void QVShapedButton::changeEvent(QEvent *event)
{
    AButton::changeEvent(event);
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::ApplicationPaletteChange)
        controlTintChanged();
}

void QVShapedButton::resizeEvent(QResizeEvent *event)
{
    AButton::resizeEvent(event);
    updateMask();
}
