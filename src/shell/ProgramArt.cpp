#include "shell/ProgramArt.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace brimlow {

namespace {

// The mark: a shield with a broom-like sweep across it, in a 32-unit box.
void DrawMark(QPainter& p, const QRectF& box)
{
    p.save();
    p.translate(box.topLeft());
    p.scale(box.width() / 32.0, box.height() / 32.0);

    QPainterPath shield;
    shield.moveTo(16, 1.5);
    shield.lineTo(29, 6);
    shield.cubicTo(29, 19, 23, 26, 16, 30.5);
    shield.cubicTo(9, 26, 3, 19, 3, 6);
    shield.closeSubpath();
    QLinearGradient fill(0, 0, 32, 32);
    fill.setColorAt(0, QColor(0x2e, 0x7d, 0xd1));
    fill.setColorAt(1, QColor(0x0b, 0x3a, 0x6e));
    p.setPen(QPen(QColor(0x06, 0x20, 0x40), 1.2));
    p.setBrush(fill);
    p.drawPath(shield);

    // Three sweeping strokes: the traces being wiped away.
    p.setPen(QPen(QColor(0xf4, 0xf8, 0xff), 2.2, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    for (int i = 0; i < 3; ++i) {
        QPainterPath s;
        const double y = 10 + i * 5.5;
        s.moveTo(8, y + 3);
        s.quadTo(16, y - 2, 24, y + 1);
        p.drawPath(s);
    }
    p.restore();
}

}  // namespace

QPixmap ProgramIconPixmap()
{
    QPixmap pm(32, 32);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    DrawMark(p, QRectF(0, 0, 32, 32));
    return pm;
}

QIcon ProgramIcon()
{
    return QIcon(ProgramIconPixmap());
}

QPixmap SplashPicture()
{
    QPixmap pm(504, 144);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    QLinearGradient bg(0, 0, 0, 144);
    bg.setColorAt(0, QColor(0xf7, 0xfa, 0xff));
    bg.setColorAt(1, QColor(0xc9, 0xdc, 0xf2));
    p.fillRect(pm.rect(), bg);

    DrawMark(p, QRectF(24, 16, 112, 112));

    QFont title(QStringLiteral("DejaVu Sans"));
    title.setPixelSize(64);
    title.setBold(true);
    p.setFont(title);
    p.setPen(QColor(0x0b, 0x3a, 0x6e));
    p.drawText(QRect(156, 14, 340, 84), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Brimlow"));

    QFont sub(QStringLiteral("DejaVu Sans"));
    sub.setPixelSize(17);
    p.setFont(sub);
    p.setPen(QColor(0x33, 0x4d, 0x6b));
    p.drawText(QRect(160, 94, 340, 30), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Cache, cookie and file clean-up"));
    return pm;
}

}  // namespace brimlow
