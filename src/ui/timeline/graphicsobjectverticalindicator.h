#pragma once
// The current-time marker of both timeline scenes: a 16-pixel head (drawn only on the ruler)
// and a white vertical line below it. It keeps its pixel width at any zoom. Dragging is done
// by the ruler scene; the indicator only accepts the press so that it becomes the grabber.
// Main thread only.
#include "ui/timeline/timelinetypes.h"

#include <QColor>
#include <QGraphicsObject>
#include <QPixmap>

class GraphicsItemLine;

class GraphicsObjectVerticalIndicator : public QGraphicsObject, public AbstractViewTransformNotifier
{
    Q_OBJECT
public:
    GraphicsObjectVerticalIndicator(const QColor &color, qreal lineHeight, bool showHead,
                                    QGraphicsItem *parent = nullptr);

    QColor color() const { return m_color; }
    void setLineHeight(qreal height);

    QRectF boundingRect() const override;
    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *widget) override;
    void viewTransformChanged(const QTransform &viewTransform) override;

public slots:
    void slot_set_xPos(double xPos);

signals:
    void sig_xPos_changed(double xPos);

protected:
    QVariant itemChange(GraphicsItemChange change, const QVariant &value) override;
    void mousePressEvent(QGraphicsSceneMouseEvent *event) override;
    void hoverEnterEvent(QGraphicsSceneHoverEvent *event) override;
    void hoverLeaveEvent(QGraphicsSceneHoverEvent *event) override;

private:
    QColor m_color;
    bool m_showHead;
    bool m_hovered = false;
    QPixmap m_head;
    QPixmap m_headHovered;
    GraphicsItemLine *m_line;
};

// The indicator's line, from the bottom of the head (or the top) down to the given height.
class GraphicsItemLine : public QGraphicsItem
{
public:
    GraphicsItemLine(qreal top, qreal bottom, QGraphicsItem *parent);
    void setBottom(qreal bottom);
    qreal top() const { return m_top; }
    qreal bottom() const { return m_bottom; }

    QRectF boundingRect() const override;
    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *widget) override;

private:
    qreal m_top;
    qreal m_bottom;
};
