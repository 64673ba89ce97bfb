#include "core/ui/logo.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace hv {

QPixmap HevrinLogo(int size) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter g(&pm);
    g.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    QLinearGradient fill(0, 0, s, s);
    fill.setColorAt(0, QColor(0x2a, 0x7f, 0xc9));
    fill.setColorAt(1, QColor(0x0d, 0x3b, 0x66));
    g.setPen(Qt::NoPen);
    g.setBrush(fill);
    g.drawRoundedRect(QRectF(0.04 * s, 0.04 * s, 0.92 * s, 0.92 * s), 0.18 * s, 0.18 * s);

    // Feed waves entering, a permeate line leaving.
    g.setBrush(Qt::NoBrush);
    g.setPen(QPen(QColor(0xe8, 0xf4, 0xff), 0.06 * s, Qt::SolidLine, Qt::RoundCap));
    for (int i = 0; i < 3; ++i) {
        const qreal y = (0.3 + 0.2 * i) * s;
        QPainterPath wave;
        wave.moveTo(0.18 * s, y);
        wave.cubicTo(0.33 * s, y - 0.08 * s, 0.43 * s, y + 0.08 * s, 0.58 * s, y);
        g.drawPath(wave);
    }
    g.setPen(QPen(QColor(0x9f, 0xe0, 0xff), 0.07 * s, Qt::SolidLine, Qt::RoundCap));
    g.drawLine(QPointF(0.72 * s, 0.22 * s), QPointF(0.72 * s, 0.78 * s));
    return pm;
}

} // namespace hv
