#include "QVDarkenedImage.h"

#include <gtest/gtest.h>

namespace {

QImage filled(QSize size, QColor pixel, QImage::Format format = QImage::Format_RGBA8888)
{
    QImage image(size, format);
    image.fill(pixel);
    return image;
}

// The four bytes of an RGBA8888 pixel, in memory order.
std::array<int, 4> bytesAt(const QImage &image, int x, int y)
{
    const uchar *p = image.constScanLine(y) + x * 4;
    return {p[0], p[1], p[2], p[3]};
}

using Bytes = std::array<int, 4>;

} // namespace

TEST(DarkenedImage, SubtractsTheColoursAmountsAndKeepsAlpha)
{
    const QImage source = filled({3, 2}, QColor(200, 100, 50, 255));
    EXPECT_EQ(bytesAt(darkenedImageWithColor(source, QColor::fromRgbF(0.5f, 0.5f, 0.5f)), 2, 1), (Bytes{72, 0, 0, 255}));
    EXPECT_EQ(bytesAt(darkenedImageWithColor(source, Qt::white), 0, 0), (Bytes{199, 99, 49, 255}));
    EXPECT_EQ(bytesAt(darkenedImageWithColor(source, Qt::black), 1, 1), (Bytes{0, 0, 0, 255}));
}

TEST(DarkenedImage, AmountsFollowTheComponentPerChannel)
{
    // From full bytes: 1.0 takes 1, 0.75 takes 64, 0.25 takes 192.
    const QImage source = filled({1, 1}, QColor(255, 255, 255, 255));
    const QImage out = darkenedImageWithColor(source, QColor::fromRgbF(1.0f, 0.75f, 0.25f));
    EXPECT_EQ(bytesAt(out, 0, 0), (Bytes{254, 191, 63, 255}));

    // A half component clears every byte up to 128 and lowers larger ones by 128.
    QImage ramp(4, 1, QImage::Format_RGBA8888);
    const uchar values[4] = {0, 128, 129, 255};
    for (int x = 0; x < 4; ++x)
        ramp.setPixelColor(x, 0, QColor(values[x], values[x], values[x], 255));
    const QImage half = darkenedImageWithColor(ramp, QColor::fromRgbF(0.5f, 0.5f, 0.5f));
    EXPECT_EQ(bytesAt(half, 0, 0)[0], 0);
    EXPECT_EQ(bytesAt(half, 1, 0)[0], 0);
    EXPECT_EQ(bytesAt(half, 2, 0)[0], 1);
    EXPECT_EQ(bytesAt(half, 3, 0)[0], 127);
}

TEST(DarkenedImage, AlphaIsCopiedExactlyAndTheColoursAlphaIsIgnored)
{
    QImage source(2, 1, QImage::Format_RGBA8888);
    source.setPixelColor(0, 0, QColor(10, 20, 30, 0));
    source.setPixelColor(1, 0, QColor(90, 80, 70, 255));
    const QImage opaque = darkenedImageWithColor(source, QColor::fromRgbF(0.9f, 0.8f, 0.7f, 1.0f));
    const QImage halfClear = darkenedImageWithColor(source, QColor::fromRgbF(0.9f, 0.8f, 0.7f, 0.5f));
    EXPECT_EQ(opaque, halfClear);
    EXPECT_EQ(bytesAt(opaque, 0, 0)[3], 0);
    EXPECT_EQ(bytesAt(opaque, 1, 0)[3], 255);
}

TEST(DarkenedImage, ResultHasTheReceiversSizeFromItsTopLeftPixels)
{
    // 20 x 8 pixels standing as a 10 x 4 point picture.
    QImage dense = filled({20, 8}, QColor(0, 0, 0, 255));
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 10; ++x)
            dense.setPixelColor(x, y, QColor(255, 255, 255, 255));
    dense.setDevicePixelRatio(2.0);

    const QImage out = darkenedImageWithColor(dense, Qt::white);
    ASSERT_EQ(out.size(), QSize(10, 4));
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 10; ++x)
            ASSERT_EQ(bytesAt(out, x, y), (Bytes{254, 254, 254, 255})) << x << "," << y;

    // The same with the size given outright, fractions cut off.
    EXPECT_EQ(darkenedImageWithColor(dense, QSizeF(10.9, 4.5), Qt::white).size(), QSize(10, 4));
}

TEST(DarkenedImage, SourceIsLeftUnchanged)
{
    const QImage source = filled({4, 4}, QColor(200, 100, 50, 255));
    const QImage copy = source.copy();
    (void)darkenedImageWithColor(source, Qt::black);
    EXPECT_EQ(source, copy);
}

TEST(DarkenedImage, NothingToReadGivesNoPicture)
{
    EXPECT_TRUE(darkenedImageWithColor(QImage(), Qt::white).isNull());
    const QImage small = filled({20, 8}, Qt::red);
    EXPECT_TRUE(darkenedImageWithColor(small, QSizeF(21, 8), Qt::white).isNull()) << "wider than the pixels";
    EXPECT_TRUE(darkenedImageWithColor(small, QSizeF(20, 9), Qt::white).isNull()) << "taller than the pixels";
    EXPECT_TRUE(darkenedImageWithColor(small, QSizeF(0.5, 8), Qt::white).isNull()) << "below one pixel";
    EXPECT_TRUE(darkenedImageWithColor(small, QSizeF(qQNaN(), 8), Qt::white).isNull());
}

TEST(DarkenedImage, OtherLayoutsAreReadAsRedGreenBlueAlpha)
{
    // Blue-first bytes, two-byte pixels, sixteen bits per sample, a palette, grey: each is
    // read by colour, never by byte position, and never past its own pixel data.
    const QColor pixel(200, 100, 60, 255);
    const QColor colour = QColor::fromRgbF(0.5f, 1.0f, 1.0f); // takes 128, 1, 1
    for (QImage::Format format : {QImage::Format_ARGB32, QImage::Format_RGB32, QImage::Format_RGB888,
                                  QImage::Format_RGBA64, QImage::Format_BGR888}) {
        const QImage out = darkenedImageWithColor(filled({5, 3}, pixel, format), colour);
        ASSERT_EQ(out.size(), QSize(5, 3)) << format;
        EXPECT_EQ(out.pixelColor(4, 2), QColor(72, 99, 59, 255)) << format;
    }

    QImage indexed(3, 3, QImage::Format_Indexed8);
    indexed.setColorTable({qRgba(200, 100, 60, 255)});
    indexed.fill(0);
    EXPECT_EQ(darkenedImageWithColor(indexed, colour).pixelColor(2, 2), QColor(72, 99, 59, 255));

    const QImage grey = filled({3, 3}, QColor(150, 150, 150), QImage::Format_Grayscale8);
    EXPECT_EQ(darkenedImageWithColor(grey, colour).pixelColor(0, 0), QColor(22, 149, 149, 255));
}

TEST(DarkenedImage, PremultipliedPixelsStayValid)
{
    QImage source(1, 1, QImage::Format_ARGB32_Premultiplied);
    source.fill(QColor(200, 100, 60, 128));
    const QImage out = darkenedImageWithColor(source, QColor::fromRgbF(0.9f, 0.9f, 0.9f));
    ASSERT_EQ(out.format(), QImage::Format_RGBA8888_Premultiplied);
    const Bytes b = bytesAt(out, 0, 0);
    EXPECT_EQ(b[3], 128);
    EXPECT_LE(b[0], b[3]);
    EXPECT_LE(b[1], b[3]);
    EXPECT_LE(b[2], b[3]);
}

TEST(DarkenedImage, AColourWithoutRgbKeepsOnlyAlpha)
{
    const QImage source = filled({2, 2}, QColor(200, 100, 50, 77));
    EXPECT_EQ(bytesAt(darkenedImageWithColor(source, QColor()), 1, 1), (Bytes{0, 0, 0, 77}));
}
