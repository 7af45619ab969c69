#pragma once

#include <QColor>
#include <QImage>
#include <QPixmap>
#include <QPointer>
#include <QRectF>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <memory>

class ARoundButtonSliderCell;

// The panel's vertical level fader: a double value between two bounds, the upper bound with
// the thumb at the top, the position linear in the value. A slider can be linked to one
// partner so that a stereo pair moves together.
class ARoundButtonSlider : public QWidget {
    Q_OBJECT
    // The partner, as an object name within the same window. The panel leaves it unset and
    // links its pairs itself, through the device's read-back.
    Q_PROPERTY(QString otherSlider READ otherSliderName WRITE setOtherSliderName)

public:
    explicit ARoundButtonSlider(QWidget *parent = nullptr);
    ~ARoundButtonSlider() override;

    double doubleValue() const { return fValue; }
    double minValue() const { return fMinValue; }
    double maxValue() const { return fMaxValue; }
    void setMinValue(double value);
    void setMaxValue(double value);
    void setDoubleValue(double value);
    void setDoubleValueNotLinked(double value);

    bool isLinked() const { return fIsLinked; }
    void setLinked(bool flag);
    ARoundButtonSlider *otherSlider() const { return fOtherSlider; }

    std::uint64_t controlSize() const { return fControlSize; }
    void setControlSize(std::uint64_t size);
    QString focusImageName() const { return fFocusImageName; }
    void setFocusImageName(const QString &name);
    QString unfocusImageName() const { return fUnfocusImageName; }
    void setUnfocusImageName(const QString &name);
    QColor backColor() const { return fBackColor; }
    void setBackColor(const QColor &color);
    QString title() const { return fTitle; }
    void setTitle(const QString &title);
    QImage image() const { return fImage; }
    void setImage(const QImage &image);
    int selected() const { return fSelected; }
    void setSelected(int selected);
    // The value as people read it ("-9.1 dB"), which the slider's owner knows and the slider
    // does not; assistive technologies read it, and hear it on every change. Empty: the share
    // of the range in percent. The figure and its unit are kept apart and joined only when
    // read, as a drag step sets the text and nobody may read it.
    QString valueText() const;
    // Whether the text changed.
    bool setValueText(const QString &text, const QString &unit = QString());
    bool isDragging() const { return fIsDragging; }
    void setIsDragging(bool dragging) { fIsDragging = dragging; }

    // Thumb geometry and pictures, in the slider's own top-left coordinates.
    QSizeF thumbSize() const;
    QRectF thumbRectForValue(double value) const;
    // Where the value sits between the bounds: 0 at the upper bound, 1 at the lower one.
    double valueFraction() const;
    double fractionForValue(double value) const;
    void makeButtonImage();
    const QPixmap &buttonImage() const { return fButtonImage; }

    // Emits this slider's action with itself as the sender.
    void sendAction();
    // One step from the keyboard, the wheel or an assistive technology: the value moves to
    // `value` (clamped) and the action goes out, as one drag step does, with the slider held
    // for that step so that a read-back of the device's own step does not move it under the
    // user. Ignored while the mouse drags the thumb.
    void stepTo(double value);
    ARoundButtonSliderCell &cell() { return *fCell; }

    QSize sizeHint() const override;

public slots:
    // Action for a two-state link switch.
    void linkStateChange(QObject *sender);

signals:
    void action(QObject *sender);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    // Up/Down 1/100 of the range, Page Up/Page Down 1/10, Home the lower bound, End the upper.
    void keyPressEvent(QKeyEvent *event) override;
    // Only with the focus, so that scrolling past the panel changes nothing.
    void wheelEvent(QWheelEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    QString otherSliderName() const;
    void setOtherSliderName(const QString &name);
    ARoundButtonSlider *resolvePartner() const;
    void markThumbForRedraw();
    void buildBackgroundImage();
    void abandonTracking();

    double fValue = 0.0;
    double fMinValue = 0.0;
    double fMaxValue = 0.0;
    int fSelected = 0;
    QPixmap fBackgroundImage;
    QColor fBackColor; // invalid: the platform's control background colour
    QPixmap fButtonImage;
    // fButtonImage's size in points, asked for twice on every value change.
    QSizeF fThumbSize{0.0, 0.0};
    QString fFocusImageName;
    QString fUnfocusImageName;
    QImage fImage;
    QString fTitle;
    std::uint64_t fControlSize = 0;
    bool fIsDragging = false;
    bool fIsLinked = false;
    mutable QPointer<ARoundButtonSlider> fOtherSlider;
    QString fOtherSliderName;
    QString fValueText;
    QString fValueUnit;

    std::unique_ptr<ARoundButtonSliderCell> fCell;
    bool fTracking = false;
    QPointF fLastPoint;
    // Wheel travel not yet turned into steps, in eighths of a degree.
    int fWheelRemainder = 0;
};
