#include "ui/board/strokepainter.h"

#include "ui/board/pathitem.h"

#include <QPainter>
#include <QVarLengthArray>

namespace {
// An opaque solid pen with square or flat caps can draw a stroke as separate line segments:
// where segments overlap they paint the same colour, and the raster engine draws such lines
// several times faster than it strokes a path. Other pens stroke the whole path.
bool drawsAsSegments(const QPen &pen)
{
    return pen.style() == Qt::SolidLine && pen.brush().style() == Qt::SolidPattern &&
           pen.color().alpha() == 255 &&
           (pen.capStyle() == Qt::SquareCap || pen.capStyle() == Qt::FlatCap);
}
}  // namespace

void drawStrokeInArea(QPainter &painter, const QPainterPath &path, const QPen &pen,
                      const QRectF &area)
{
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    const int n = path.elementCount();
    const qreal m = strokeMargin(pen);
    const QRectF reach = area.adjusted(-m, -m, m, m);
    const bool whole = rectHolds(reach, path.controlPointRect());
    const bool segments = drawsAsSegments(pen);
    if (n < 2 || (whole && !segments)) {
        painter.drawPath(path);
        return;
    }
    // Keep the segments whose box comes within the pen's reach of the area. Where a segment is
    // left out, the points next to it lie out of reach, so the caps drawn there instead of the
    // joins do not show inside the area.
    QVarLengthArray<QLineF, 256> lines;
    QPainterPath part;
    bool open = false;
    QPointF prev = path.elementAt(0);
    for (int i = 1; i < n; ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        const QPointF p = e;
        if (e.isMoveTo()) {
            open = false;
        } else if (whole || rectsOverlap(QRectF(prev, p).normalized(), reach)) {
            if (segments) {
                lines.append(QLineF(prev, p));
            } else {
                if (!open)
                    part.moveTo(prev);
                part.lineTo(p);
                open = true;
            }
        } else {
            open = false;
        }
        prev = p;
    }
    if (segments) {
        if (!lines.isEmpty())
            painter.drawLines(lines.constData(), int(lines.size()));
    } else if (!part.isEmpty()) {
        painter.drawPath(part);
    }
}

void drawItemInArea(QPainter &painter, const PathItem &item, const QRectF &area)
{
    if (item.filled)
        painter.fillPath(item.path, item.pen.color());
    else
        drawStrokeInArea(painter, item.path, item.pen, area);
}
