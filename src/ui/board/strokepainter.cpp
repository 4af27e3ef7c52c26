#include "ui/board/strokepainter.h"

#include "ui/board/pathitem.h"

#include <QPainter>

void drawStrokeInArea(QPainter &painter, const QPainterPath &path, const QPen &pen,
                      const QRectF &area)
{
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    const qreal m = strokeMargin(pen);
    const QRectF reach = area.adjusted(-m, -m, m, m);
    const QRectF bounds = path.controlPointRect();
    if (rectHolds(reach, bounds) || path.elementCount() < 3) {
        painter.drawPath(path);
        return;
    }
    // Keep the segments whose box comes within the pen's reach of the area. Where a segment is
    // left out, the points next to it lie out of reach, so the caps drawn there instead of the
    // joins do not show inside the area.
    QPainterPath part;
    bool open = false;
    QPointF prev = path.elementAt(0);
    for (int i = 1; i < path.elementCount(); ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        const QPointF p = e;
        if (e.isMoveTo()) {
            open = false;
        } else if (rectsOverlap(QRectF(prev, p).normalized(), reach)) {
            if (!open)
                part.moveTo(prev);
            part.lineTo(p);
            open = true;
        } else {
            open = false;
        }
        prev = p;
    }
    if (!part.isEmpty())
        painter.drawPath(part);
}
