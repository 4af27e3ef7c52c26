#include "ui/record/selectbtnitem.h"

#include "ui/record/screengraphicsitem.h"

#include <QPainter>

SelectBtnItem::SelectBtnItem(SelectBtnPos pos, QGraphicsItem *parent)
    : QGraphicsItem(parent), m_pos(pos)
{
}

QPointF SelectBtnItem::pointOn(const QRectF &r, SelectBtnPos pos)
{
    const qreal midX = r.left() + r.width() / 2;
    const qreal midY = r.top() + r.height() / 2;
    switch (pos) {
    case PosLeft: return {r.left(), midY};
    case PosTopLeft: return r.topLeft();
    case PosTop: return {midX, r.top()};
    case PosRight: return {r.right(), midY};
    case PosTopRight: return r.topRight();
    case PosBottomLeft: return r.bottomLeft();
    case PosBottom: return {midX, r.bottom()};
    case PosBottomRight: return r.bottomRight();
    case PosNone: break;
    }
    return r.center();
}

QRectF SelectBtnItem::boundingRect() const
{
    return QRectF(-6, -6, 12, 12);
}

void SelectBtnItem::paint(QPainter *painter, const QStyleOptionGraphicsItem *, QWidget *)
{
    if (auto *selection = static_cast<ScreenGraphicsItem *>(parentItem())) {
        const QPointF point = pointOn(selection->selectRect(), m_pos);
        if (pos() != point)
            setPos(point);
    }
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(QPen(QColor("#f2733d"), 3));
    painter->setBrush(Qt::white);
    painter->drawEllipse(QRectF(-5, -5, 10, 10));
}
