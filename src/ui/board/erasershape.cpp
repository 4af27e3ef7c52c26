#include "ui/board/erasershape.h"

#include <QLineF>
#include <QPolygonF>
#include <QTransform>
#include <QtMath>

EraserShape::EraserShape(QPoint pos, const QPoint *last) : m_centre(pos)
{
    const qreal r = Radius;
    m_bounds = QRectF(m_centre.x() - r, m_centre.y() - r, 2 * r, 2 * r);
    if (last && (pos - *last).manhattanLength() > BandThreshold) {
        const QPointF d = QPointF(pos - *last);
        m_bandLength = qSqrt(d.x() * d.x() + d.y() * d.y());
        m_bandStart = QPointF(*last);
        m_bandDir = d / m_bandLength;
        m_hasBand = true;
        m_bounds = m_bounds.united(toPath().boundingRect());
    }
}

bool EraserShape::contains(const QPointF &p) const
{
    const qreal dx = p.x() - m_centre.x();
    const qreal dy = p.y() - m_centre.y();
    if (dx * dx + dy * dy <= qreal(Radius) * Radius)
        return true;
    if (!m_hasBand)
        return false;
    const qreal rx = p.x() - m_bandStart.x();
    const qreal ry = p.y() - m_bandStart.y();
    const qreal along = rx * m_bandDir.x() + ry * m_bandDir.y();
    const qreal across = rx * m_bandDir.y() - ry * m_bandDir.x();
    return along >= 0 && along <= m_bandLength && qAbs(across) <= Radius;
}

QPainterPath EraserShape::toPath() const
{
    QPainterPath shape;
    shape.setFillRule(Qt::WindingFill);
    shape.addEllipse(m_centre, Radius, Radius);
    if (m_hasBand) {
        // The rectangle along the movement, in coordinates turned so that the movement runs
        // along the x axis, turned back.
        const QPointF end = m_bandStart + m_bandDir * m_bandLength;
        QTransform turn;
        turn.rotate(QLineF(m_bandStart, end).angle());
        const QPointF a = turn.map(m_bandStart);
        const QPointF b = turn.map(end);
        const QRectF band(QPointF(a.x(), a.y() - Radius), QPointF(b.x(), b.y() + Radius));
        shape.addPolygon(turn.inverted().map(QPolygonF(band)));
        shape.closeSubpath();
    }
    return shape;
}

QPointF EraserShape::walk(const QPointF &from, const QPointF &to, bool wantInside) const
{
    const qreal length = QLineF(from, to).length();
    if (length <= 0)
        return to;
    const qreal step = 1.0 / length;
    for (int k = 1;; ++k) {
        const qreal t = k * step;
        if (t >= 1)
            return to;
        const QPointF p = from + (to - from) * t;
        if (contains(p) == wantInside)
            return p;
    }
}

bool EraserShape::cut(const PathItem &item, QList<PathItem> &out) const
{
    const QPainterPath &path = item.path;
    const int n = path.elementCount();
    if (!rectsOverlap(path.controlPointRect(), m_bounds)) {
        out.append(item);
        return false;
    }
    if (item.filled) {
        // Placed text goes whole once the eraser touches a letter.
        if (toPath().intersects(path))
            return true;
        out.append(item);
        return false;
    }
    int first = 0;
    while (first < n && !contains(path.elementAt(first)))
        ++first;
    if (first == n) {
        out.append(item);
        return false;
    }

    QPainterPath piece;
    bool startNew = true;
    bool prevInside = false;
    bool hasPrev = false;
    QPointF prev;
    for (int i = 0; i < n; ++i) {
        const QPointF p = path.elementAt(i);
        const bool inside = i == first || (i > first ? contains(p) : false);
        if (inside) {
            if (piece.elementCount() > 0) {
                if (hasPrev && !prevInside)
                    piece.lineTo(walk(prev, p, true));
                if (!piece.isEmpty())
                    out.append(PathItem(piece, item.pen));
                piece.clear();
            }
            prevInside = true;
            startNew = true;
        } else {
            if (hasPrev && prevInside) {
                piece.moveTo(walk(prev, p, false));
                piece.lineTo(p);
                startNew = false;
            } else if (startNew) {
                piece.moveTo(p);
                startNew = false;
            } else {
                piece.lineTo(p);
            }
            prevInside = false;
        }
        prev = p;
        hasPrev = true;
    }
    if (!piece.isEmpty())
        out.append(PathItem(piece, item.pen));
    return true;
}
