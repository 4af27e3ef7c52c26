#pragma once
// The area one eraser event rubs out: a circle of radius 20 around the pointer, plus, after a
// fast movement, the band of width 40 along the way from the previous position. Pure geometry;
// any thread.
#include "ui/board/pathitem.h"

#include <QList>
#include <QPainterPath>
#include <QPoint>
#include <QRectF>

class EraserShape
{
public:
    static constexpr int Radius = 20;
    // Movements longer than this (Manhattan distance) also erase the band between the points.
    static constexpr int BandThreshold = 10;

    // `last` is the previous pointer position of the same movement, or null when there is none.
    EraserShape(QPoint pos, const QPoint *last);

    bool hasBand() const { return m_hasBand; }
    // Circle and band together (both count: a point in either is rubbed out).
    bool contains(const QPointF &p) const;
    QRectF boundingRect() const { return m_bounds; }
    // The outline, for drawing or hit tests by other code.
    QPainterPath toPath() const;

    // Cuts `item` by this shape and appends what is left of it to `out`: the item itself when
    // none of its points is inside, else the pieces outside, each with the item's pen; a
    // filled item is left out whole when the shape touches it. Returns true when the item was
    // changed.
    bool cut(const PathItem &item, QList<PathItem> &out) const;

private:
    // First point on the way from `from` to `to`, walked in steps of one pixel, whose
    // inside-ness is `wantInside`; `to` when none is found before it.
    QPointF walk(const QPointF &from, const QPointF &to, bool wantInside) const;

    QPointF m_centre;
    bool m_hasBand = false;
    QPointF m_bandStart;
    QPointF m_bandDir;  // unit vector from the band's start to the centre
    qreal m_bandLength = 0;
    QRectF m_bounds;
};
