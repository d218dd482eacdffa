#include "app/ProgramIcon.h"

#include <QPainter>
#include <QPixmap>

namespace {

QPixmap drawIcon(int size)
{
    QPixmap pix(size, size);
    pix.fill(Qt::transparent);
    QPainter p(&pix);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0);
    // The sheet, with a folded corner.
    QPolygonF sheet({QPointF(12, 4), QPointF(42, 4), QPointF(54, 16), QPointF(54, 60), QPointF(12, 60)});
    p.setPen(QPen(QColor(70, 70, 70), 2));
    p.setBrush(Qt::white);
    p.drawPolygon(sheet);
    p.drawLine(QPointF(42, 4), QPointF(42, 16));
    p.drawLine(QPointF(42, 16), QPointF(54, 16));
    // A heading band and the lines of the text.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 90, 170));
    p.drawRect(QRectF(18, 22, 30, 6));
    p.setBrush(QColor(150, 150, 150));
    for (int y = 34; y <= 52; y += 6)
        p.drawRect(QRectF(18, y, y == 52 ? 18 : 30, 2.5));
    return pix;
}

} // namespace

QIcon programIcon()
{
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128})
        icon.addPixmap(drawIcon(size));
    return icon;
}
