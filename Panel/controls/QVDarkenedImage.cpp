#include "QVDarkenedImage.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

namespace {

// The layouts the byte rule reads directly: four interleaved bytes per pixel, red first,
// alpha (or padding) last. Premultiplied stays premultiplied; lowering a colour byte never
// lifts it above its alpha.
QImage readableBitmap(const QImage &image)
{
    switch (image.format()) {
    case QImage::Format_RGBA8888:
    case QImage::Format_RGBA8888_Premultiplied:
    case QImage::Format_RGBX8888:
        return image;
    default:
        break;
    }
    const bool premultiplied = image.pixelFormat().premultiplied() == QPixelFormat::Premultiplied;
    return image.convertToFormat(premultiplied ? QImage::Format_RGBA8888_Premultiplied : QImage::Format_RGBA8888);
}

// What the colour takes from a byte: 1 for a full component up to 256 (the whole byte) for
// none. A component outside 0..1 counts as its nearest end, so nothing is ever added.
int amountFor(double component)
{
    const double c = std::isfinite(component) ? std::clamp(component, 0.0, 1.0) : 0.0;
    return static_cast<int>(std::trunc(256.0 - 255.0 * c));
}

} // namespace

QImage darkenedImageWithColor(const QImage &image, const QColor &color)
{
    return darkenedImageWithColor(image, image.deviceIndependentSize(), color);
}

QImage darkenedImageWithColor(const QImage &image, QSizeF size, const QColor &color)
{
    if (image.isNull() || !std::isfinite(size.width()) || !std::isfinite(size.height()))
        return {};
    if (size.width() < 1.0 || size.height() < 1.0)
        return {};
    // The size counts whole pixels; a picture with fewer has nothing to give for the rest.
    if (std::trunc(size.width()) > image.width() || std::trunc(size.height()) > image.height())
        return {};
    const int w = static_cast<int>(size.width());
    const int h = static_cast<int>(size.height());

    const QImage source = readableBitmap(image);
    if (source.isNull())
        return {};
    QImage result(w, h, source.format());
    if (result.isNull())
        return {};

    // A colour with no RGB form darkens with nothing: every colour byte is cleared.
    const QColor rgb = color.isValid() ? color.toRgb() : QColor::fromRgbF(0, 0, 0);
    const int amounts[3] = {amountFor(rgb.redF()), amountFor(rgb.greenF()), amountFor(rgb.blueF())};
    // One byte-wise pattern for four pixels: a byte loses at most what it holds, so 256
    // clears exactly as 255 does; the alpha byte loses nothing.
    std::array<std::uint8_t, 16> take{};
    for (std::size_t i = 0; i < take.size(); ++i)
        take[i] = i % 4 == 3 ? 0 : static_cast<std::uint8_t>(std::min(amounts[i % 4], 255));

    const std::size_t rowBytes = static_cast<std::size_t>(w) * 4;
    for (int y = 0; y < h; ++y) {
        const std::uint8_t *s = source.constScanLine(y);
        std::uint8_t *d = result.scanLine(y);
        std::size_t i = 0;
        for (; i + take.size() <= rowBytes; i += take.size()) {
            for (std::size_t j = 0; j < take.size(); ++j) {
                const std::uint8_t v = s[i + j];
                d[i + j] = v > take[j] ? static_cast<std::uint8_t>(v - take[j]) : std::uint8_t{0};
            }
        }
        for (; i < rowBytes; ++i) {
            const std::uint8_t v = s[i];
            const std::uint8_t t = take[i % 16];
            d[i] = v > t ? static_cast<std::uint8_t>(v - t) : std::uint8_t{0};
        }
    }
    return result;
}
