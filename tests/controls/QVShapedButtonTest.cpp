#include "QVShapedButton.h"

#include "ControlsHarness.h"
#include "QVDarkenedImage.h"

#include <QPushButton>
#include <QSignalSpy>
#include <gtest/gtest.h>
#include <limits>
#include <memory>

namespace {

const QColor kBlueAccent(0x30, 0x8c, 0xc6);
const QColor kGreyAccent(0x8e, 0x8e, 0x93);

QPalette withAccent(QPalette palette, QColor accent)
{
    palette.setColor(QPalette::Highlight, accent);
    return palette;
}

QImage solid(QSize size, QColor colour, QImage::Format format = QImage::Format_RGBA8888)
{
    QImage image(size, format);
    image.fill(colour);
    return image;
}

// A shaped button that wakes as the interface file makes it: normal picture, alternate
// picture named stem + "Aqua", under the given accent.
std::unique_ptr<QVShapedButton> fromInterfaceFile(const QString &alternateName, QColor accent)
{
    auto button = std::make_unique<QVShapedButton>();
    button->setPalette(withAccent(button->palette(), accent));
    button->setImage(solid({8, 8}, QColor(200, 100, 50, 255)), QStringLiteral("plain"));
    button->setAlternateImageName(alternateName);
    button->ensurePolished();
    return button;
}

} // namespace

// ---- tint ----

// Woken as the interface file makes it, a button loads the bundled variant for the accent, or
// the normal picture darkened by the accent where none is bundled; a picture given in code is
// kept until the accent changes.
TEST(ShapedButtonTint, WakingLoadsTheVariantForTheAccentOrDarkensTheNormalPicture)
{
    EXPECT_EQ(fromInterfaceFile(QStringLiteral("muteAqua"), kBlueAccent)->alternateImageName(),
              QStringLiteral("muteAqua"));
    const auto graphite = fromInterfaceFile(QStringLiteral("muteAqua"), kGreyAccent);
    EXPECT_EQ(graphite->alternateImageName(), QStringLiteral("muteGraphite"));
    EXPECT_EQ(graphite->alternateImage(), QImage(QStringLiteral(":/pictures/muteGraphite.png")));

    const auto lonely = fromInterfaceFile(QStringLiteral("lonelyAqua"), kGreyAccent);
    EXPECT_TRUE(lonely->alternateImageName().isEmpty());
    EXPECT_EQ(lonely->alternateImage(), darkenedImageWithColor(lonely->image(), kGreyAccent));
    EXPECT_NE(lonely->alternateImage(), lonely->image());
    lonely->setPalette(withAccent(lonely->palette(), kBlueAccent));
    EXPECT_EQ(lonely->alternateImageName(), QStringLiteral("lonelyAqua")) << "back to the bundled variant";

    QVShapedButton coded;
    coded.setPalette(withAccent(coded.palette(), kGreyAccent));
    const QImage given = solid({4, 4}, Qt::green);
    coded.setAlternateImage(given, QStringLiteral("muteAqua"));
    coded.ensurePolished();
    EXPECT_EQ(coded.alternateImage(), given);
}

// ---- look ----

TEST(ShapedButtonLook, ADisabledButtonThatIsOnShowsItsNormalPictureFaintly)
{
    QWidget window;
    window.setAttribute(Qt::WA_NoSystemBackground);
    auto *button = new QVShapedButton(&window);
    button->setCheckable(true);
    button->setImage(solid({10, 10}, QColor(255, 0, 0, 255)));
    button->setAlternateImage(solid({10, 10}, QColor(0, 0, 255, 255)));
    button->resize(10, 10);

    button->setChecked(true);
    EXPECT_EQ(button->grab().toImage().pixelColor(5, 5), QColor(0, 0, 255)) << "on shows the alternate";

    button->setEnabled(false);
    QImage shot(10, 10, QImage::Format_ARGB32);
    shot.fill(Qt::transparent);
    button->render(&shot, QPoint(), QRegion(), QWidget::DrawChildren);
    const QColor faint = shot.pixelColor(5, 5);
    EXPECT_EQ(faint.red(), 255);
    EXPECT_EQ(faint.blue(), 0);
    EXPECT_NEAR(faint.alpha(), 102, 1);
}

// ---- hit test ----

TEST(ShapedButtonHit, HalfOpaquePixelsInAnyLayoutHitAndTheRestMiss)
{
    QVShapedButton button;
    QImage shape = solid({20, 10}, QColor(0, 0, 0, 0));
    shape.setPixelColor(5, 5, QColor(9, 9, 9, 128));
    shape.setPixelColor(6, 5, QColor(9, 9, 9, 127));
    shape.setPixelColor(10, 3, QColor(9, 9, 9, 255));
    shape.setPixelColor(0, 0, QColor(9, 9, 9, 255));
    shape.setPixelColor(19, 9, QColor(9, 9, 9, 255));
    button.setImage(shape);
    button.resize(20, 10);

    EXPECT_TRUE(button.hitTest({5, 5}));
    EXPECT_FALSE(button.hitTest({6, 5}));
    EXPECT_TRUE(button.hitTest({10.9, 3.2})) << "column 10, row 3";
    EXPECT_FALSE(button.hitTest({11.0, 3.2}));
    EXPECT_FALSE(button.hitTest({10.9, 4.0}));
    EXPECT_TRUE(button.hitTest({0, 0})) << "top-left corner is inside";
    EXPECT_TRUE(button.hitTest({19.9, 9.9}));
    EXPECT_FALSE(button.hitTest({20, 9})) << "right edge is outside";
    EXPECT_FALSE(button.hitTest({19, 10})) << "bottom edge is outside";
    EXPECT_FALSE(button.hitTest({-0.1, 0}));

    // Bounds larger than the bitmap: the rest misses, without reading past the pixels.
    button.setImage(solid({4, 4}, QColor(1, 2, 3, 255)));
    button.resize(40, 40);
    EXPECT_TRUE(button.hitTest({3.5, 3.5}));
    EXPECT_FALSE(button.hitTest({4, 0}));
    EXPECT_FALSE(button.hitTest({0, 4}));
    EXPECT_FALSE(button.hitTest({39, 39}));
    EXPECT_EQ(button.mask(), QRegion(0, 0, 4, 4)) << "the mask is the opaque pixels, from the first column on";

    // Eight bytes a pixel: alpha is never the fourth byte of a four-byte step.
    QImage wide = solid({4, 1}, Qt::transparent, QImage::Format_RGBA64);
    wide.setPixelColor(1, 0, QColor(0, 0, 0, 200));
    button.setImage(wide);
    EXPECT_FALSE(button.hitTest({0, 0}));
    EXPECT_TRUE(button.hitTest({1, 0}));
}

TEST(ShapedButtonHit, APictureWithoutAPositiveFinitePixelRatioCountsAsNoPicture)
{
    for (const qreal ratio : {-1.0, -0.5, 0.0, std::numeric_limits<qreal>::quiet_NaN(),
                              std::numeric_limits<qreal>::infinity(), -std::numeric_limits<qreal>::infinity()}) {
        SCOPED_TRACE(ratio);
        QImage clear = solid({8, 8}, Qt::transparent);
        clear.setDevicePixelRatio(ratio);
        QVShapedButton button;
        button.resize(8, 8);
        button.setImage(clear, QStringLiteral("odd"));
        EXPECT_TRUE(button.image().isNull());
        EXPECT_EQ(button.sizeHint(), QVShapedButton().sizeHint());
        for (const QPointF point : {QPointF(0, 0), QPointF(7.9, 7.9), QPointF(3, 5)})
            EXPECT_TRUE(button.hitTest(point)) << "as a button without a picture";
        EXPECT_TRUE(button.mask().isEmpty());
    }
}

// ---- clicks through the window system ----

TEST(ShapedButtonClick, AClickOnAClearPixelReachesTheWidgetBehind)
{
    SliderWindow host;
    auto *behind = new QPushButton(&host.window());
    behind->setGeometry(40, 40, 40, 20);
    auto *shaped = new QVShapedButton(&host.window());
    QImage halfClear = solid({40, 20}, QColor(0, 0, 0, 0));
    for (int y = 0; y < 20; ++y)
        for (int x = 20; x < 40; ++x)
            halfClear.setPixelColor(x, y, QColor(80, 80, 80, 255));
    shaped->setImage(halfClear);
    shaped->setGeometry(40, 40, 40, 20); // on top of `behind`
    QSignalSpy behindClicks(behind, &QPushButton::clicked);
    QSignalSpy shapedActions(shaped, &QVShapedButton::action);
    ASSERT_TRUE(host.show());

    QTest::mouseClick(host.handle(), Qt::LeftButton, {}, QPoint(45, 50)); // clear half
    EXPECT_EQ(behindClicks.count(), 1);
    EXPECT_EQ(shapedActions.count(), 0);

    QTest::mouseClick(host.handle(), Qt::LeftButton, {}, QPoint(75, 50)); // opaque half
    EXPECT_EQ(behindClicks.count(), 1);
    EXPECT_EQ(shapedActions.count(), 1);

    // A picture without alpha takes every click in the bounds, the once clear half included.
    shaped->setImage(solid({40, 20}, Qt::gray, QImage::Format_RGB32));
    QTest::mouseClick(host.handle(), Qt::LeftButton, {}, QPoint(45, 50));
    EXPECT_EQ(behindClicks.count(), 1);
    EXPECT_EQ(shapedActions.count(), 2);
}

// With the focus, the amber ring follows the picture's outline: the bounds for a picture
// without alpha, the opaque shape otherwise. A new alternate picture is painted at once.
TEST(ShapedButtonLook, TheFocusRingFollowsTheOutlineAndANewAlternatePictureRepaints)
{
    const auto amber = [](QColor c) { return c.red() > 200 && c.green() > 150 && c.green() < 230 && c.blue() < 140; };
    QImage shaped = solid({20, 20}, Qt::transparent);
    for (int y = 6; y < 14; ++y)
        for (int x = 6; x < 14; ++x)
            shaped.setPixelColor(x, y, QColor(40, 40, 40, 255));
    for (const QImage &picture : {solid({20, 20}, Qt::darkGray, QImage::Format_RGB32), shaped}) {
        SliderWindow host;
        auto *button = new QVShapedButton(&host.window());
        button->setImage(picture);
        button->setGeometry(10, 10, 20, 20);
        button->setFocusPolicy(Qt::StrongFocus);
        ASSERT_TRUE(host.show());
        button->setFocus();
        ASSERT_TRUE(button->hasFocus());
        const QImage shot = button->grab().toImage();
        const int edge = picture.hasAlphaChannel() ? 6 : 0;
        EXPECT_TRUE(amber(shot.pixelColor(edge, 10))) << "ring at the outline, alpha " << picture.hasAlphaChannel();
        EXPECT_FALSE(amber(shot.pixelColor(10, 10))) << "not across the middle";

        PaintRecorder paints(button);
        button->setAlternateImage(solid({20, 20}, Qt::blue));
        flushPaints();
        EXPECT_FALSE(paints.painted().isEmpty());
    }
}
