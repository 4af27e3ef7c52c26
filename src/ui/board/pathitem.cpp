#include "ui/board/pathitem.h"

#include <QtGlobal>

#include <atomic>

namespace {
quint64 nextPathId()
{
    static std::atomic<quint64> counter{0};
    return ++counter;
}
}  // namespace

PathItem::PathItem(const QPainterPath &p, const QPen &pn, bool f)
    : path(p), pen(pn), filled(f), id(nextPathId())
{
}

QRectF PathItem::paintBounds() const
{
    // A filled outline paints inside its points, antialiasing one pixel beyond.
    const qreal m = filled ? 2 : strokeMargin(pen);
    return path.controlPointRect().adjusted(-m, -m, m, m);
}

qreal strokeMargin(const QPen &pen)
{
    // A cosmetic pen (width 0) paints one pixel. Square caps reach w/2 * sqrt(2) past an end;
    // a miter join reaches miterLimit * w / 2 past a corner. Two pixels more for antialiasing.
    const qreal w = qMax<qreal>(1.0, pen.widthF());
    qreal reach = w;
    if (pen.joinStyle() == Qt::MiterJoin || pen.joinStyle() == Qt::SvgMiterJoin)
        reach = qMax(reach, pen.miterLimit() * w / 2);
    return reach + 2;
}
