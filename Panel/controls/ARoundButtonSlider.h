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
    // The partner is wired in the window's interface file, as an object name.
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
    bool isDragging() const { return fIsDragging; }
    void setIsDragging(bool dragging) { fIsDragging = dragging; }

    // Thumb geometry and pictures, in the slider's own top-left coordinates.
    QSizeF thumbSize() const;
    QRectF thumbRectForValue(double value) const;
    // Where the value sits between the bounds: 0 at the upper bound, 1 at the lower one.
    double valueFraction() const;
    void makeButtonImage();
    const QPixmap &buttonImage() const { return fButtonImage; }

    // Emits this slider's action with itself as the sender.
    void sendAction();

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
    QString fFocusImageName;
    QString fUnfocusImageName;
    QImage fImage;
    QString fTitle;
    std::uint64_t fControlSize = 0;
    bool fIsDragging = false;
    bool fIsLinked = false;
    mutable QPointer<ARoundButtonSlider> fOtherSlider;
    QString fOtherSliderName;

    std::unique_ptr<ARoundButtonSliderCell> fCell;
    bool fTracking = false;
    QPointF fLastPoint;
};

// Looks a picture up among the application's resources by name, at the best density the
// resources offer for the given device pixel ratio. Null when there is none.
QPixmap imageNamed(const QString &name, qreal devicePixelRatio = 1.0);
// The same picture as an image, for reading its pixels.
QImage bitmapNamed(const QString &name, qreal devicePixelRatio = 1.0);
