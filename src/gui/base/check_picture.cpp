#include "gui/base/check_picture.h"

#include <QPainter>
#include <QPolygonF>

namespace check_picture {

void draw(QPainter& p, const QRect& cell, bool ticked, bool greyed) {
    if (cell.width() < kMinCell) {
        return;
    }
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    const QRect box(cell.x() + (cell.width() - kSize) / 2, cell.y() + (cell.height() - kSize) / 2, kSize,
                    kSize);
    const QColor ink = greyed ? QColor(128, 128, 128) : QColor(28, 81, 128);
    p.setPen(QPen(ink, 1));
    p.setBrush(greyed ? QColor(236, 233, 216) : Qt::white);
    p.drawRect(box.adjusted(0, 0, -1, -1));
    if (ticked) {
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setPen(QPen(greyed ? ink : QColor(33, 161, 33), 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        const QPointF a(box.left() + 3, box.top() + 6.5);
        const QPointF b(box.left() + 5.5, box.top() + 9);
        const QPointF c(box.left() + 10, box.top() + 3.5);
        p.drawPolyline(QPolygonF({a, b, c}));
    }
    p.restore();
}

}  // namespace check_picture
