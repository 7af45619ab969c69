#pragma once

#include "ARoundButtonSlider.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPaintEvent>
#include <QRegion>
#include <QTest>
#include <QWidget>
#include <QWindow>

// Records the regions a widget is asked to repaint, as the paint events reach it.
class PaintRecorder : public QObject {
public:
    explicit PaintRecorder(QWidget *widget) { widget->installEventFilter(this); }

    QRegion painted() const { return m_painted; }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            m_painted += static_cast<QPaintEvent *>(event)->region();
        return false;
    }

private:
    QRegion m_painted;
};

// Lets every pending update reach the screen, so that what a call asked to repaint shows up
// in the recorders.
inline void flushPaints()
{
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
}

// A shown window holding sliders the size of the worked examples: 20 x 120 points with a
// 16 x 20 thumb picture, range 0.0 to 1.0. Points given to the mouse helpers are in the
// slider's own coordinates.
class SliderWindow {
public:
    SliderWindow()
    {
        m_window.resize(240, 320);
        m_window.setFocusPolicy(Qt::StrongFocus);
    }

    ARoundButtonSlider *addSlider(const char *name, QPoint at = {30, 40})
    {
        auto *slider = new ARoundButtonSlider(&m_window);
        slider->setObjectName(QString::fromLatin1(name));
        slider->setGeometry(QRect(at, QSize(20, 120)));
        slider->setMinValue(0.0);
        slider->setMaxValue(1.0);
        slider->setFocusImageName(QStringLiteral("testThumbOn"));
        slider->setUnfocusImageName(QStringLiteral("testThumbOff"));
        return slider;
    }

    // Shows the window and lets its first painting pass.
    bool show()
    {
        m_window.show();
        if (!QTest::qWaitForWindowExposed(&m_window))
            return false;
        m_window.activateWindow();
        (void)QTest::qWaitForWindowActive(&m_window);
        flushPaints();
        return true;
    }

    QWidget &window() { return m_window; }
    QWindow *handle() { return m_window.windowHandle(); }

    // Real pointer events, through the window system's path into the widget tree.
    void press(QWidget *target, QPointF point)
    {
        QTest::mousePress(handle(), Qt::LeftButton, {}, toWindow(target, point));
    }
    void move(QWidget *target, QPointF point) { QTest::mouseMove(handle(), toWindow(target, point)); }
    void release(QWidget *target, QPointF point)
    {
        QTest::mouseRelease(handle(), Qt::LeftButton, {}, toWindow(target, point));
    }

private:
    QPoint toWindow(QWidget *target, QPointF point) const { return target->mapTo(&m_window, point.toPoint()); }

    QWidget m_window;
};
