#pragma once
// One of the eight round handles of the screen selection. It is a child of the selection item
// and places itself on the selection's outline whenever it is painted. Main thread only.
#include "ui/record/selectbtnpos.h"

#include <QGraphicsItem>

class SelectBtnItem : public QGraphicsItem
{
public:
    SelectBtnItem(SelectBtnPos pos, QGraphicsItem *parent);

    SelectBtnPos btnPos() const { return m_pos; }
    void setBtnPos(SelectBtnPos pos) { m_pos = pos; }
    // The handle's point on `selection` (the parent's coordinates).
    static QPointF pointOn(const QRectF &selection, SelectBtnPos pos);

    QRectF boundingRect() const override;
    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *widget) override;

private:
    SelectBtnPos m_pos;
};
