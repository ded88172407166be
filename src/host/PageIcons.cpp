#include "host/PageIcons.h"

#include <QPainter>
#include <QPainterPath>

namespace brimlow {

QPixmap CookiePageIcon(int size)
{
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size / 32.0;
    QPainterPath cookie;
    cookie.addEllipse(QPointF(15 * s, 17 * s), 13 * s, 13 * s);
    QPainterPath bite;
    bite.addEllipse(QPointF(27 * s, 6 * s), 7 * s, 7 * s);
    p.setPen(QPen(QColor(120, 70, 20), 1.2 * s));
    p.setBrush(QColor(214, 160, 80));
    p.drawPath(cookie.subtracted(bite));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(80, 40, 10));
    for (const QPointF c : {QPointF(9, 13), QPointF(16, 22), QPointF(11, 23), QPointF(20, 15), QPointF(15, 9)})
        p.drawEllipse(QPointF(c.x() * s, c.y() * s), 1.8 * s, 1.8 * s);
    return pm;
}

}  // namespace brimlow
