#include "QVDarkenedImage.h"
#include "QVShapedButton.h"

#include <QBitmap>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <random>
#include <vector>

// Bitmaps of random sizes, row strides, pixel layouts and pixel ratios, also ratios Qt takes
// but that make no sense (zero, negative, NaN, infinite, tiny, huge), through the darkened
// image and the shaped button's hit test and mask. Seeded and bounded: the same cases every
// run, in about a second. What they pin: no read outside the pixels (the sanitizer build
// watches), and the answers each rule gives for the pixels that are there.

namespace {

constexpr std::uint32_t kSeed = 0xB17A;
// About a second each in an optimised build.
constexpr int kDarkenedRounds = 40000;
constexpr int kButtonRounds = 30000;

const QImage::Format kFormats[] = {
    QImage::Format_RGBA8888,
    QImage::Format_RGBA8888_Premultiplied,
    QImage::Format_RGBX8888,
    QImage::Format_ARGB32,
    QImage::Format_ARGB32_Premultiplied,
    QImage::Format_RGB32,
    QImage::Format_RGB888,
    QImage::Format_RGB16,
    QImage::Format_Grayscale8,
    QImage::Format_Alpha8,
    QImage::Format_RGBA64,
    QImage::Format_ARGB4444_Premultiplied,
    QImage::Format_Mono,
};

const qreal kRatios[] = {1.0,
                         1.0,
                         2.0,
                         2.0,
                         1.5,
                         3.0,
                         0.5,
                         0.0,
                         -1.0,
                         -2.0,
                         1e-300,
                         1e300,
                         std::numeric_limits<qreal>::quiet_NaN(),
                         std::numeric_limits<qreal>::infinity(),
                         -std::numeric_limits<qreal>::infinity()};

struct Random {
    std::mt19937 engine{kSeed};
    int between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(engine); }
    template <class T, std::size_t N>
    const T &pick(const T (&items)[N])
    {
        return items[static_cast<std::size_t>(between(0, static_cast<int>(N) - 1))];
    }
};

// A picture over a buffer of its own with a row stride of its own (padding filled with a
// pattern a stray read would pick up), or, now and then, a null one.
struct Bitmap {
    std::vector<uchar> storage;
    QImage image;
};

Bitmap makeBitmap(Random &r)
{
    Bitmap b;
    const int width = r.between(0, 3) == 0 ? r.between(0, 2) : r.between(1, 37);
    const int height = r.between(0, 3) == 0 ? r.between(0, 2) : r.between(1, 29);
    const QImage::Format format = r.pick(kFormats);
    if (width == 0 || height == 0)
        return b;
    const int depth = QImage::toPixelFormat(format).bitsPerPixel();
    // Qt wants rows on 4-byte boundaries for its own layouts; the padding is random above that.
    const int minimum = (width * depth + 31) / 32 * 4;
    const int stride = minimum + 4 * r.between(0, 5);
    b.storage.resize(static_cast<std::size_t>(stride) * static_cast<std::size_t>(height) + 16, 0xA5);
    b.image = QImage(b.storage.data(), width, height, stride, format);
    if (format == QImage::Format_Mono)
        b.image.setColorTable({qRgba(0, 0, 0, 0), qRgba(255, 255, 255, 255)});
    for (int y = 0; y < height; ++y) {
        uchar *row = b.image.scanLine(y);
        for (int i = 0; i < minimum; ++i)
            row[i] = static_cast<uchar>(r.between(0, 3) == 0 ? 0 : r.between(0, 255));
    }
    b.image.setDevicePixelRatio(r.pick(kRatios));
    return b;
}

bool validRatio(qreal ratio)
{
    return std::isfinite(ratio) && ratio > 0;
}

} // namespace

TEST(RandomBitmaps, DarkenedImageFollowsTheByteRuleForAnyLayoutAndStaysNullWhenItCannot)
{
    Random r;
    for (int round = 0; round < kDarkenedRounds; ++round) {
        SCOPED_TRACE(testing::Message() << "seed " << kSeed << ", round " << round);
        const Bitmap b = makeBitmap(r);
        const QColor colour = QColor::fromRgb(r.between(0, 255), r.between(0, 255), r.between(0, 255));
        const QSizeF size = r.between(0, 2) == 0
            ? QSizeF(r.between(-3, 40) + r.between(0, 9) / 10.0, r.between(-3, 40) + r.between(0, 9) / 10.0)
            : b.image.deviceIndependentSize();
        const QImage out = darkenedImageWithColor(b.image, size, colour);

        const bool fits = !b.image.isNull() && std::isfinite(size.width()) && std::isfinite(size.height())
            && size.width() >= 1 && size.height() >= 1 && std::trunc(size.width()) <= b.image.width()
            && std::trunc(size.height()) <= b.image.height();
        ASSERT_EQ(out.isNull(), !fits) << size.width() << " x " << size.height();
        if (out.isNull())
            continue;
        ASSERT_EQ(out.size(), QSize(static_cast<int>(size.width()), static_cast<int>(size.height())));

        // Compared pixel by pixel, as colours: every colour channel at most what it was, alpha
        // kept exactly.
        const QImage source = b.image.convertToFormat(out.format());
        for (int y = 0; y < out.height(); ++y) {
            for (int x = 0; x < out.width(); ++x) {
                const QRgb before = source.pixel(x, y);
                const QRgb after = out.pixel(x, y);
                ASSERT_EQ(qAlpha(after), qAlpha(before)) << x << "," << y;
                ASSERT_LE(qRed(after), qRed(before));
                ASSERT_LE(qGreen(after), qGreen(before));
                ASSERT_LE(qBlue(after), qBlue(before));
            }
        }
    }
}

TEST(RandomBitmaps, ShapedButtonHitTestAndMaskReadOnlyThePixelsThereAre)
{
    Random r;
    const qreal odd[]
        = {-0.5, -1e300, 1e300, std::numeric_limits<qreal>::quiet_NaN(), std::numeric_limits<qreal>::infinity()};
    for (int round = 0; round < kButtonRounds; ++round) {
        SCOPED_TRACE(testing::Message() << "seed " << kSeed << ", round " << round);
        const Bitmap b = makeBitmap(r);
        QVShapedButton button;
        button.resize(r.between(1, 45), r.between(1, 35));
        button.setImage(b.image);

        const qreal ratio = b.image.devicePixelRatio();
        const bool shaped = !b.image.isNull() && validRatio(ratio) && b.image.hasAlphaChannel();
        EXPECT_EQ(button.image().isNull(), b.image.isNull() || !validRatio(ratio));
        const QImage alpha = shaped ? b.image.convertToFormat(QImage::Format_RGBA8888) : QImage();

        auto expected = [&](QPointF p) {
            if (!(p.x() >= 0 && p.y() >= 0 && p.x() < button.width() && p.y() < button.height()))
                return false;
            if (!shaped)
                return true;
            const double column = std::trunc(p.x() * ratio);
            const double row = std::trunc(p.y() * ratio);
            if (!(column < alpha.width() && row < alpha.height()))
                return false;
            return qAlpha(alpha.pixel(static_cast<int>(column), static_cast<int>(row))) >= 128;
        };
        for (int i = 0; i < 40; ++i) {
            const QPointF point = r.between(0, 9) == 0
                ? QPointF(r.pick(odd), r.between(0, 40))
                : QPointF(r.between(-5, 50) + r.between(0, 99) / 100.0, r.between(-5, 40) + r.between(0, 99) / 100.0);
            ASSERT_EQ(button.hitTest(point), expected(point)) << point.x() << "," << point.y();
        }

        // The mask is the hit test over whole points; without a shape there is none.
        const QRegion mask = button.mask();
        if (!shaped) {
            EXPECT_TRUE(mask.isEmpty());
            continue;
        }
        for (int i = 0; i < 20; ++i) {
            const QPoint point(r.between(0, button.width() - 1), r.between(0, button.height() - 1));
            ASSERT_EQ(mask.contains(point), button.hitTest(QPointF(point))) << point.x() << "," << point.y();
        }
    }
}
