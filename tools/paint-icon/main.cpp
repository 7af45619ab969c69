// Draws the application icon at the hicolor theme's PNG sizes, in the 256-unit space of the
// SVG beside the PNGs: a dark plate, two fader slots and two caps.
#include <QDir>
#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>
#include <cstdio>

namespace {

QLinearGradient vertical(QColor top, QColor bottom)
{
    QLinearGradient gradient(0, 0, 0, 1);
    gradient.setCoordinateMode(QGradient::ObjectBoundingMode);
    gradient.setColorAt(0, top);
    gradient.setColorAt(1, bottom);
    return gradient;
}

void paint(QPainter &p)
{
    const QColor outline(0x0c, 0x0d, 0x0f);
    p.setPen(QPen(outline, 6));
    p.setBrush(vertical(QColor(0x5a, 0x5f, 0x68), QColor(0x1e, 0x20, 0x24)));
    p.drawRoundedRect(QRectF(16, 16, 224, 224), 44, 44);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x06, 0x07, 0x08));
    p.drawRoundedRect(QRectF(83, 52, 14, 152), 7, 7);
    p.drawRoundedRect(QRectF(159, 52, 14, 152), 7, 7);
    for (const QPointF cap : {QPointF(58, 130), QPointF(134, 80)}) {
        p.setPen(QPen(outline, 3));
        p.setBrush(vertical(QColor(0xf4, 0xf5, 0xf7), QColor(0x9a, 0xa0, 0xa8)));
        p.drawRoundedRect(QRectF(cap, QSizeF(64, 34)), 8, 8);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0xff, 0x9a, 0x2e));
        p.drawRect(QRectF(cap + QPointF(6, 14), QSizeF(52, 6)));
    }
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: paint-icon <folder>\n");
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        {
            QPainter painter(&image);
            painter.setRenderHint(QPainter::Antialiasing);
            painter.scale(size / 256.0, size / 256.0);
            paint(painter);
        }
        const QString path = dir.filePath(QStringLiteral("zorvex-panel-%1.png").arg(size));
        if (!image.save(path)) {
            std::fprintf(stderr, "paint-icon: cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
