#pragma once

// The pictures compiled into the application, looked up by name.

#include <QImage>
#include <QPixmap>
#include <QString>

// At the best density the resources offer for the given device pixel ratio. Null when there
// is none.
QPixmap imageNamed(const QString &name, qreal devicePixelRatio = 1.0);
// The same picture as an image, for reading its pixels.
QImage bitmapNamed(const QString &name, qreal devicePixelRatio = 1.0);
