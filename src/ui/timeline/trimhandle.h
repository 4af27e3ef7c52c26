#pragma once
// One of the two handles with which the user marks a range inside a selected picture block.
// A child of its block, 8 pixels wide at any zoom and as high as the block; the right handle
// lies just inside the range it closes. Dragging it is checked and reported by the block.
// Main thread only.
#include "ui/timeline/timelinetypes.h"

#include <QGraphicsItem>

class AbstractGraphicsWidgetResources;

class TrimHandle : public QGraphicsItem, public AbstractViewTransformNotifier
{
public:
    enum Side { Left = 0, Right = 1 };
    static constexpr int kWidth = 8;

    TrimHandle(Side side, AbstractGraphicsWidgetResources *block);

    Side side() const { return m_side; }
    void setHeight(qreal height);
    qreal height() const { return m_height; }

    QRectF boundingRect() const override;
    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *widget) override;
    void viewTransformChanged(const QTransform &viewTransform) override;

protected:
    QVariant itemChange(GraphicsItemChange change, const QVariant &value) override;
    void mousePressEvent(QGraphicsSceneMouseEvent *event) override;
    void mouseMoveEvent(QGraphicsSceneMouseEvent *event) override;
    void mouseReleaseEvent(QGraphicsSceneMouseEvent *event) override;

private:
    // The right handle is drawn left of its position, by its width and one pixel.
    qreal offset() const { return m_side == Right ? -(kWidth + 1) : 0; }

    Side m_side;
    AbstractGraphicsWidgetResources *m_block;
    qreal m_height = 0;
};
