#pragma once
// The laser pointer: a red dot where the pointer is and a short trail behind it that fades.
// The dot goes a little after the pointer stops; nothing of it is ever kept on the page. Times
// are the caller's milliseconds (any clock that only goes forward). Value type; any thread.
#include <QList>
#include <QPointF>
#include <QRectF>

class QPainter;

class LaserTrail
{
public:
    static constexpr qreal kDotRadius = 9;
    // How long the trail behind the dot lasts, and the dot after the pointer stopped.
    static constexpr qint64 kTrailMs = 300;
    static constexpr qint64 kDotMs = 700;

    void add(const QPointF &pos, qint64 nowMs);
    // Forgets what has faded by `nowMs`; true when something is still shown.
    bool prune(qint64 nowMs);
    void clear() { m_points.clear(); }
    bool isEmpty() const { return m_points.isEmpty(); }
    QPointF dot() const { return m_points.isEmpty() ? QPointF() : m_points.last().pos; }
    // Everything the trail paints.
    QRectF bounds() const;
    // Paints the trail as it looks at `nowMs`, in the painter's coordinates.
    void paint(QPainter &painter, qint64 nowMs) const;

private:
    struct Point
    {
        QPointF pos;
        qint64 ms = 0;
    };
    QList<Point> m_points;
};
