#pragma once

#include <QColor>
#include <QImage>
#include <QSizeF>

// A darker copy of a picture: from the red, green and blue byte of every pixel it takes
// trunc(256 - 255 x component) of the colour's matching component, stopping at zero, and it
// keeps the alpha byte. The colour's own alpha plays no part. The shaped button uses it for
// its pressed look and for a missing tint variant.
//
// The result has exactly `size` (points, truncated to whole pixels) and is made, unscaled,
// from the picture's top-left pixels; the overload without a size takes the picture's own
// device-independent size, as a picture stands on screen.
//
// Pictures whose bytes are not 8-bit RGBA are converted to it first, so the rule always
// meets red, green, blue and alpha in that order. The result is a null image (nothing to
// draw) when the picture is null, when the size is below one pixel, or when the picture has
// fewer pixels than the size needs.
QImage darkenedImageWithColor(const QImage &image, const QColor &color);
QImage darkenedImageWithColor(const QImage &image, QSizeF size, const QColor &color);
