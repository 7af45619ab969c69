#include "QVDarkenedImage.h"

#include <array>
#include <gtest/gtest.h>

namespace {

using Bytes = std::array<int, 4>;

QImage filled(QSize size, QColor pixel, QImage::Format format = QImage::Format_RGBA8888)
{
    QImage image(size, format);
    image.fill(pixel);
    return image;
}

// The four bytes of an RGBA8888 pixel, in memory order.
Bytes bytesAt(const QImage &image, int x, int y)
{
    const uchar *p = image.constScanLine(y) + x * 4;
    return {p[0], p[1], p[2], p[3]};
}

} // namespace

TEST(DarkenedImage, EachColourByteLosesTheColoursAmountAndAlphaIsKept)
{
    struct Case {
        QColor pixel, colour;
        Bytes expected;
    };
    const Case cases[] = {
        {QColor(200, 100, 50, 255), QColor::fromRgbF(0.5f, 0.5f, 0.5f), {72, 0, 0, 255}},
        {QColor(200, 100, 50, 255), Qt::white, {199, 99, 49, 255}},
        {QColor(200, 100, 50, 255), Qt::black, {0, 0, 0, 255}},
        // 1.0 takes 1, 0.75 takes 64, 0.25 takes 192.
        {QColor(255, 255, 255, 255), QColor::fromRgbF(1.0f, 0.75f, 0.25f), {254, 191, 63, 255}},
        // A half component takes 128: 129 keeps 1, 128 keeps nothing.
        {QColor(129, 128, 255, 255), QColor::fromRgbF(0.5f, 0.5f, 0.5f), {1, 0, 127, 255}},
        // The colour's own alpha plays no part; the pixel's alpha is copied exactly.
        {QColor(200, 100, 50, 255), QColor::fromRgbF(0.5f, 0.5f, 0.5f, 0.5f), {72, 0, 0, 255}},
        {QColor(90, 80, 70, 128), Qt::white, {89, 79, 69, 128}},
        // A colour without an RGB form clears the colour bytes.
        {QColor(200, 100, 50, 77), QColor(), {0, 0, 0, 77}},
    };
    for (const Case &c : cases) {
        // Five pixels: four a vector step at a time, one on its own.
        const QImage out = darkenedImageWithColor(filled({5, 2}, c.pixel), c.colour);
        ASSERT_EQ(out.size(), QSize(5, 2));
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(bytesAt(out, x, 1), c.expected) << c.pixel.name(QColor::HexArgb).toStdString() << " x " << x;
    }
}

TEST(DarkenedImage, NothingToReadGivesNoPicture)
{
    EXPECT_TRUE(darkenedImageWithColor(QImage(), Qt::white).isNull());
    const QImage small = filled({20, 8}, Qt::red);
    for (QSizeF size : {QSizeF(21, 8), QSizeF(20, 9), QSizeF(0.5, 8), QSizeF(qQNaN(), 8)})
        EXPECT_TRUE(darkenedImageWithColor(small, size, Qt::white).isNull()) << size.width() << "x" << size.height();
}

TEST(DarkenedImage, OtherLayoutsAreReadAsRedGreenBlueAlpha)
{
    // Blue-first bytes, three-byte pixels, sixteen bits per sample, a palette, grey: each is
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
