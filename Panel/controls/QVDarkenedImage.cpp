#include "QVDarkenedImage.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

// The layouts the byte rule reads directly: four interleaved bytes per pixel, red first,
// alpha (or padding) last. Premultiplied stays premultiplied; lowering a colour byte never
// lifts it above its alpha.
QImage readableBitmap(const QImage &image)
{
    switch (image.format()) {
    case QImage::Format_RGBA8888:
    case QImage::Format_RGBA8888_Premultiplied:
    case QImage::Format_RGBX8888: return image;
    default: break;
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

using Pattern = std::array<std::uint8_t, 16>;

inline std::uint8_t lowered(std::uint8_t v, std::uint8_t t)
{
    return v > t ? static_cast<std::uint8_t>(v - t) : std::uint8_t{0};
}

// One row, sixteen bytes (four pixels) at a time. The vector form is the same byte rule;
// it keeps a key picture's darkening close to the cost of copying its bytes.
void darkenRow(const std::uint8_t *s, std::uint8_t *d, std::size_t bytes, const Pattern &take)
{
    std::size_t i = 0;
#if defined(__GNUC__)
    using Bytes16 = std::uint8_t __attribute__((vector_size(16)));
    Bytes16 t;
    std::memcpy(&t, take.data(), sizeof t);
    for (; i + sizeof(Bytes16) <= bytes; i += sizeof(Bytes16)) {
        Bytes16 v;
        std::memcpy(&v, s + i, sizeof v);
        const Bytes16 out = (v > t) & (v - t);
        std::memcpy(d + i, &out, sizeof out);
    }
#endif
    for (; i < bytes; ++i)
        d[i] = lowered(s[i], take[i % take.size()]);
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
    Pattern take{};
    for (std::size_t i = 0; i < take.size(); ++i)
        take[i] = i % 4 == 3 ? 0 : static_cast<std::uint8_t>(std::min(amounts[i % 4], 255));

    const std::size_t rowBytes = static_cast<std::size_t>(w) * 4;
    for (int y = 0; y < h; ++y)
        darkenRow(source.constScanLine(y), result.scanLine(y), rowBytes, take);
    return result;
}
