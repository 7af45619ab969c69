// Draws the fader caps and the shaped buttons' pictures at one and two pixels per point.
//
// Shaped buttons take clicks where their picture's alpha is 128 or more, so every picture
// keeps its outline crisp: the anti-aliased fringe is at most one pixel wide and the
// corners outside the outline are fully transparent.
#include <QDir>
#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QRandomGenerator>
#include <cstdio>
#include <functional>

namespace {

using Painter = std::function<void(QPainter &, QSizeF)>;

bool save(const QDir &dir, const QString &name, QSize points, const Painter &paint)
{
    for (int scale : {1, 2}) {
        QImage image(points * scale, QImage::Format_RGBA8888);
        image.fill(Qt::transparent);
        {
            QPainter painter(&image);
            painter.setRenderHint(QPainter::Antialiasing);
            painter.scale(scale, scale);
            paint(painter, QSizeF(points));
        }
        const QString file = dir.filePath(name + (scale == 2 ? QStringLiteral("@2x.png") : QStringLiteral(".png")));
        if (!image.save(file, "PNG")) {
            std::fprintf(stderr, "paint-pictures: cannot write %s\n", qPrintable(file));
            return false;
        }
    }
    return true;
}

// A fader cap: a brushed, dark metal block with a grip line across its middle.
Painter faderCap(QColor line)
{
    return [line](QPainter &p, QSizeF size) {
        const QRectF body = QRectF(QPointF(0, 0), size).adjusted(0.5, 0.5, -0.5, -0.5);
        QLinearGradient metal(body.topLeft(), body.bottomLeft());
        metal.setColorAt(0.0, QColor(0x9a, 0x9f, 0xa6));
        metal.setColorAt(0.45, QColor(0x5d, 0x62, 0x69));
        metal.setColorAt(0.55, QColor(0x4a, 0x4e, 0x55));
        metal.setColorAt(1.0, QColor(0x2c, 0x2f, 0x34));
        p.setPen(QPen(QColor(0x14, 0x15, 0x18), 1.0));
        p.setBrush(metal);
        p.drawRoundedRect(body, 3, 3);
        // Ridges above and below the grip line.
        p.setPen(QPen(QColor(255, 255, 255, 40), 1.0));
        for (qreal y : {4.5, 6.5, size.height() - 6.5, size.height() - 4.5})
            p.drawLine(QPointF(4, y), QPointF(size.width() - 4, y));
        const qreal mid = size.height() / 2;
        p.setPen(Qt::NoPen);
        p.setBrush(line);
        p.drawRect(QRectF(2.5, mid - 1.0, size.width() - 5, 2.0));
    };
}

// The mute key: a pill whose ends leave transparent corners, lit when on. The room right of
// the lamp is left plain: the button writes its own label there, in the reader's language.
Painter muteKey(QColor body, QColor glow)
{
    return [=](QPainter &p, QSizeF size) {
        const QRectF pill = QRectF(QPointF(0, 0), size).adjusted(0.5, 0.5, -0.5, -0.5);
        const qreal radius = pill.height() / 2;
        QLinearGradient fill(pill.topLeft(), pill.bottomLeft());
        fill.setColorAt(0.0, body.lighter(135));
        fill.setColorAt(1.0, body.darker(140));
        p.setPen(QPen(QColor(0x0d, 0x0e, 0x10), 1.0));
        p.setBrush(fill);
        p.drawRoundedRect(pill, radius, radius);
        // The lamp at the left end.
        const QPointF lamp(pill.left() + radius, pill.center().y());
        QRadialGradient light(lamp, 5);
        light.setColorAt(0.0, glow.lighter(150));
        light.setColorAt(0.7, glow);
        light.setColorAt(1.0, glow.darker(180));
        p.setPen(QPen(QColor(0, 0, 0, 160), 1.0));
        p.setBrush(light);
        p.drawEllipse(lamp, 4.0, 4.0);
    };
}

// The link key: a round cap with two interlocking links on it, lit when on.
Painter linkKey(QColor body, QColor glyph)
{
    return [=](QPainter &p, QSizeF size) {
        const QRectF cap = QRectF(QPointF(0, 0), size).adjusted(0.5, 0.5, -0.5, -0.5);
        QRadialGradient fill(cap.center() - QPointF(3, 4), cap.width() * 0.7);
        fill.setColorAt(0.0, body.lighter(140));
        fill.setColorAt(1.0, body.darker(150));
        p.setPen(QPen(QColor(0x0d, 0x0e, 0x10), 1.0));
        p.setBrush(fill);
        p.drawEllipse(cap);
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(glyph, 2.0, Qt::SolidLine, Qt::RoundCap));
        const QPointF c = cap.center();
        p.save();
        p.translate(c);
        p.rotate(-45);
        p.drawRoundedRect(QRectF(-9, -3.5, 11, 7), 3.5, 3.5);
        p.drawRoundedRect(QRectF(-2, -3.5, 11, 7), 3.5, 3.5);
        p.restore();
    };
}

// The panel's face: dark anodised aluminium, brushed sideways. The grain is seeded, so the
// picture is the same on every run.
Painter brushedFace()
{
    return [](QPainter &p, QSizeF size) {
        QLinearGradient base(0, 0, 0, size.height());
        base.setColorAt(0.0, QColor(0x3b, 0x3e, 0x44));
        base.setColorAt(1.0, QColor(0x23, 0x25, 0x29));
        p.fillRect(QRectF(QPointF(0, 0), size), base);
        p.setRenderHint(QPainter::Antialiasing, false);
        QRandomGenerator grain(0x5eed);
        const int strokes = static_cast<int>(size.height() * 6);
        for (int i = 0; i < strokes; ++i) {
            const qreal y = grain.bounded(size.height());
            const qreal x = grain.bounded(size.width()) - size.width() * 0.3;
            const qreal length = size.width() * (0.2 + grain.bounded(0.8));
            const bool light = grain.bounded(2) == 0;
            p.setPen(QPen(light ? QColor(255, 255, 255, 9) : QColor(0, 0, 0, 14), 0.5));
            p.drawLine(QPointF(x, y), QPointF(x + length, y));
        }
        // A bevel catching the light along the top edge.
        p.setPen(QPen(QColor(255, 255, 255, 28), 1.0));
        p.drawLine(QPointF(0, 0.5), QPointF(size.width(), 0.5));
    };
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: paint-pictures OUTPUT-FOLDER\n");
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));

    const QColor idleGrip(0xe8, 0xea, 0xee);
    const QColor focusGrip(0xff, 0x9a, 0x2e);
    const QColor keyBody(0x3a, 0x3d, 0x43);
    const QColor aqua(0x2f, 0x8c, 0xff);
    const QColor graphite(0xd8, 0xdc, 0xe2);
    const QColor unlit(0x24, 0x26, 0x2a);

    bool ok = true;
    ok &= save(dir, QStringLiteral("pick_off"), {28, 18}, faderCap(idleGrip));
    ok &= save(dir, QStringLiteral("pick_on"), {28, 18}, faderCap(focusGrip));
    ok &= save(dir, QStringLiteral("mute"), {72, 24}, muteKey(keyBody, unlit));
    ok &= save(dir, QStringLiteral("muteAqua"), {72, 24}, muteKey(keyBody, aqua));
    ok &= save(dir, QStringLiteral("muteGraphite"), {72, 24}, muteKey(keyBody, graphite));
    ok &= save(dir, QStringLiteral("link"), {32, 32}, linkKey(keyBody, QColor(0x8a, 0x8f, 0x97)));
    ok &= save(dir, QStringLiteral("linkAqua"), {32, 32}, linkKey(keyBody, aqua));
    ok &= save(dir, QStringLiteral("linkGraphite"), {32, 32}, linkKey(keyBody, graphite));
    ok &= save(dir, QStringLiteral("brushed"), {466, 326}, brushedFace());
    return ok ? 0 : 1;
}
