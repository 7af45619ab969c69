#pragma once

#include "AButton.h"

#include <QFont>
#include <QImage>
#include <QRectF>
#include <QString>
#include <optional>

// An image-only button. It draws nothing but one of its pictures (with its text written over
// it where the interface file leaves room for a label), takes clicks only where the pixel of
// its normal picture is at least half opaque (clicks elsewhere reach whatever lies behind it),
// and its alternate picture, the look while pressed or on, follows the desktop's accent:
// stem + "Aqua" for a coloured accent, stem + "Graphite" for a grey one.
class QVShapedButton : public AButton {
    Q_OBJECT
    // The window's interface file names the pictures; the alternate one in the form
    // stem + "Aqua".
    Q_PROPERTY(QString imageName READ imageName WRITE setImageName)
    Q_PROPERTY(QString alternateImageName READ alternateImageName WRITE setAlternateImageName)
    // Where the button's text is written over its pictures, so that the label follows the
    // translation: in the style's font, ButtonText on the normal picture and HighlightedText on
    // the alternate one. Empty: the pictures stand alone.
    Q_PROPERTY(QRectF titleRect READ titleRect WRITE setTitleRect)

public:
    explicit QVShapedButton(QWidget *parent = nullptr);

    // The normal picture, one pixel per point, drawn from the top-left corner.
    QImage image() const { return fImage; }
    QString imageName() const { return fImageName; }
    void setImage(const QImage &image, const QString &name = {});
    void setImageName(const QString &name);

    QImage alternateImage() const { return fAlternateImage; }
    QString alternateImageName() const { return fAlternateImageName; }
    // Derives the stem from the name (or keeps the old one) but leaves the given picture in
    // place until the accent next changes.
    void setAlternateImage(const QImage &image, const QString &name = {});
    // As the interface file gives it: when the button is first polished the stem is derived
    // and the picture for the current accent loaded at once.
    void setAlternateImageName(const QString &name);

    QRectF titleRect() const { return fTitleRect; }
    void setTitleRect(const QRectF &rect);

    void awakeFromNib();
    void updateImageBaseName();
    std::optional<QString> imageBaseName() const { return imageBaseName_; }
    void setImageBaseName(const std::optional<QString> &stem) { imageBaseName_ = stem; }

    // True when the desktop's accent is grey.
    bool graphiteTint() const;
    // The accent's colour, which darkens a picture standing in for a missing variant.
    QColor controlTintColor() const;
    // Reloads the alternate picture for the current accent.
    void controlTintChanged();

    // Whether a point in the button's own coordinates takes the click.
    bool hitTest(QPointF point) const;

    struct ImageChoice {
        bool alternate = false; // the alternate picture, or the normal one when there is none
        bool darkened = false;
        float fraction = 1.0f;
        bool operator==(const ImageChoice &) const = default;
    };
    static ImageChoice chooseImage(bool enabled, bool highlighted, bool showsState, bool on);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    bool event(QEvent *event) override;
    void changeEvent(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool hitButton(const QPoint &pos) const override;

private:
    void installAlternateImage(const QImage &image, const QString &name);
    QImage pictureForScreen(const QImage &picture, const QString &name) const;
    // What one paint draws, decoded and darkened once for as long as its inputs stay the same.
    const QImage &paintedPicture(bool alternate, bool darkened) const;
    void updateMask();

    QImage fImage;
    QString fImageName;
    QImage fAlternateImage;
    QString fAlternateImageName;
    // The normal picture as 8-bit RGBA, read by the hit test.
    QImage fHitBitmap;
    std::optional<QString> imageBaseName_;
    QRectF fTitleRect;
    bool fAwaitsAwake = false;

    struct PaintedPicture {
        qint64 source = 0; // the cache key of the picture it was made from
        QString name;
        qreal ratio = 0;
        bool darkened = false;
        QRgb highlight = 0;
        QString title;
        QFont font;
        QRgb titleColour = 0;
        QImage picture;
    };
    mutable PaintedPicture fPainted;
};
