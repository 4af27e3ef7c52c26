#include "ui/board/toolshapes.h"

#include "ui/board/boardsettings.h"

#include <QFontMetricsF>
#include <QLineF>
#include <QtMath>

#include <algorithm>
#include <cmath>

namespace toolshapes {

namespace {
// Appends the straight way from the path's current point to `to`, a point every
// kPointSpacing.
void lineWithPoints(QPainterPath &path, const QPointF &to)
{
    const QPointF from = path.currentPosition();
    const qreal length = QLineF(from, to).length();
    const int steps = std::max(1, int(std::ceil(length / kPointSpacing)));
    for (int k = 1; k < steps; ++k)
        path.lineTo(from + (to - from) * (qreal(k) / steps));
    path.lineTo(to);
}
}  // namespace

QPointF constrainedEnd(int tool, const QPointF &start, const QPointF &end, bool constrain)
{
    if (!constrain)
        return end;
    const QPointF d = end - start;
    if (tool == ToolLine || tool == ToolArrow) {
        const qreal length = std::hypot(d.x(), d.y());
        const qreal step = M_PI / 4;
        const qreal angle = std::round(std::atan2(d.y(), d.x()) / step) * step;
        // Rounded so that horizontal and vertical lines stay on whole pixels.
        return start + QPointF(std::round(length * std::cos(angle) * 1e6) / 1e6,
                               std::round(length * std::sin(angle) * 1e6) / 1e6);
    }
    if (tool == ToolRect || tool == ToolEllipse) {
        const qreal side = std::max(std::abs(d.x()), std::abs(d.y()));
        return start + QPointF(d.x() < 0 ? -side : side, d.y() < 0 ? -side : side);
    }
    return end;
}

QPainterPath shapePath(int tool, const QPointF &start, const QPointF &end, qreal penWidth)
{
    QPainterPath path;
    if (start == end || !isShapeTool(tool))
        return path;
    switch (tool) {
    case ToolLine:
    case ToolArrow: {
        path.moveTo(start);
        lineWithPoints(path, end);
        if (tool == ToolArrow) {
            // Two barbs at 30 degrees either side of the shaft, never longer than half of it.
            const QLineF shaft(end, start);
            const qreal barb = std::min(shaft.length() / 2, 12 + 3 * std::max<qreal>(1, penWidth));
            QLineF left = shaft;
            left.setLength(barb);
            QLineF right = left;
            left.setAngle(shaft.angle() + 30);
            right.setAngle(shaft.angle() - 30);
            path.moveTo(left.p2());
            lineWithPoints(path, end);
            lineWithPoints(path, right.p2());
        }
        break;
    }
    case ToolRect: {
        const QRectF r = QRectF(start, end).normalized();
        path.moveTo(r.topLeft());
        lineWithPoints(path, r.topRight());
        lineWithPoints(path, r.bottomRight());
        lineWithPoints(path, r.bottomLeft());
        lineWithPoints(path, r.topLeft());
        break;
    }
    case ToolEllipse: {
        const QRectF r = QRectF(start, end).normalized();
        const qreal a = r.width() / 2;
        const qreal b = r.height() / 2;
        // Equal steps of the angle move the point at most max(a, b) times the step: pieces
        // kPointSpacing long at most. A multiple of 4, so that the ends of both axes are
        // points of the outline.
        const qreal longest = 2 * M_PI * std::max(a, b);
        const int n = 4 * std::max(4, int(std::ceil(longest / kPointSpacing / 4)));
        const QPointF c = r.center();
        path.moveTo(c + QPointF(a, 0));
        for (int k = 1; k <= n; ++k) {
            const qreal t = 2 * M_PI * k / n;
            path.lineTo(c + QPointF(a * std::cos(t), b * std::sin(t)));
        }
        break;
    }
    default: break;
    }
    return path;
}

QPen toolPen(int tool, const QPen &base)
{
    if (isShapeTool(tool)) {
        // Round ends and corners; stroked whole, so a shape's many short pieces never show.
        QPen pen = base;
        pen.setCapStyle(Qt::RoundCap);
        pen.setJoinStyle(Qt::RoundJoin);
        return pen;
    }
    if (tool != ToolHighlighter)
        return base;
    QPen pen = base;
    QColor colour = base.color();
    colour.setAlpha(96);
    pen.setColor(colour);
    pen.setWidthF(12 + 4 * std::max<qreal>(1, base.widthF()));
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    return pen;
}

QFont textFont(int width)
{
    QFont font;
    font.setPixelSize(16 + 4 * std::max(1, width));
    return font;
}

QPainterPath textPath(const QString &text, const QFont &font, const QPointF &topLeft)
{
    QPainterPath path;
    path.addText(topLeft + QPointF(0, QFontMetricsF(font).ascent()), font, text);
    return path;
}

}  // namespace toolshapes
