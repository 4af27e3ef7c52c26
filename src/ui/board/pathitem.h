#pragma once
// One drawn stroke, or a piece of a stroke left by the eraser, with the pen it is drawn with;
// or, `filled`, an outline filled with the pen's colour (placed text), which the eraser takes
// away whole. Value type; main thread only (QPainterPath is implicitly shared, copies are cheap).
#include <QPainterPath>
#include <QPen>
#include <QRectF>

struct PathItem
{
    PathItem() = default;
    PathItem(const QPainterPath &path, const QPen &pen, bool filled = false);

    QPainterPath path;
    QPen pen;
    bool filled = false;
    // Identity of this stroke shape: copies keep it, a new stroke or piece gets a new one. The
    // canvas uses it to tell which strokes a change of the list added or removed.
    quint64 id = 0;

    // Rectangle holding every pixel the stroke can paint (pen width, joins, caps and
    // antialiasing included).
    QRectF paintBounds() const;
};

// Extra room around a stroke's points that its painted pixels may take with this pen.
qreal strokeMargin(const QPen &pen);

// Overlap test that, unlike QRectF::intersects, also holds for rectangles of zero width or
// height (the control-point rectangle of a straight horizontal or vertical stroke).
inline bool rectsOverlap(const QRectF &a, const QRectF &b)
{
    return a.left() <= b.right() && b.left() <= a.right() && a.top() <= b.bottom() &&
           b.top() <= a.bottom();
}

// True when `inner` lies within `outer`; holds for an `inner` of zero width or height too.
inline bool rectHolds(const QRectF &outer, const QRectF &inner)
{
    return outer.left() <= inner.left() && inner.right() <= outer.right() &&
           outer.top() <= inner.top() && inner.bottom() <= outer.bottom();
}
