#include "Pictures.h"

QImage bitmapNamed(const QString &name, qreal devicePixelRatio)
{
    if (name.isEmpty())
        return {};
    const QString base = QStringLiteral(":/pictures/") + name;
    if (devicePixelRatio > 1.0) {
        QImage dense(base + QStringLiteral("@2x.png"));
        if (!dense.isNull()) {
            dense.setDevicePixelRatio(2.0);
            return dense;
        }
    }
    return QImage(base + QStringLiteral(".png"));
}

QPixmap imageNamed(const QString &name, qreal devicePixelRatio)
{
    return QPixmap::fromImage(bitmapNamed(name, devicePixelRatio));
}
