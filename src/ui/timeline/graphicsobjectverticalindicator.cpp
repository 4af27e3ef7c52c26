#include "ui/timeline/graphicsobjectverticalindicator.h"

#include <QGraphicsScene>
#include <QGraphicsSceneMouseEvent>
#include <QPainter>

namespace {
constexpr qreal kHeadSize = 16;
constexpr qreal kLineTopUnderHead = 12;
}  // namespace

GraphicsObjectVerticalIndicator::GraphicsObjectVerticalIndicator(const QColor &color,
                                                                 qreal lineHeight, bool showHead,
                                                                 QGraphicsItem *parent)
    : QGraphicsObject(parent), m_color(color), m_showHead(showHead),
      m_head(QStringLiteral(":/images/icon_time_line1.png")),
      m_headHovered(QStringLiteral(":/images/icon_time_line2.png"))
{
    setFlags(ItemSendsGeometryChanges | ItemUsesExtendedStyleOption);
    setAcceptHoverEvents(showHead);
    setZValue(2);
    m_line = new GraphicsItemLine(showHead ? kLineTopUnderHead : 0, lineHeight, this);
}

void GraphicsObjectVerticalIndicator::setLineHeight(qreal height)
{
    m_line->setBottom(height);
}

QRectF GraphicsObjectVerticalIndicator::boundingRect() const
{
    return QRectF(-kHeadSize / 2, 0, kHeadSize, kHeadSize);
}

void GraphicsObjectVerticalIndicator::paint(QPainter *painter, const QStyleOptionGraphicsItem *,
                                            QWidget *)
{
    if (!m_showHead)
        return;
    painter->setRenderHint(QPainter::Antialiasing);
    painter->drawPixmap(boundingRect().topLeft(), m_hovered ? m_headHovered : m_head);
}

void GraphicsObjectVerticalIndicator::viewTransformChanged(const QTransform &viewTransform)
{
    setTransform(counterScale(viewTransform));
}

void GraphicsObjectVerticalIndicator::slot_set_xPos(double xPos)
{
    if (xPos == x())
        return;
    setPos(xPos, y());
    if (m_showHead && scene())
        scene()->update();
}

QVariant GraphicsObjectVerticalIndicator::itemChange(GraphicsItemChange change,
                                                     const QVariant &value)
{
    if (change == ItemPositionChange) {
        const double newX = value.toPointF().x();
        if (newX != x())
            emit sig_xPos_changed(newX);
    }
    return QGraphicsObject::itemChange(change, value);
}

void GraphicsObjectVerticalIndicator::mousePressEvent(QGraphicsSceneMouseEvent *event)
{
    event->accept();
}

void GraphicsObjectVerticalIndicator::hoverEnterEvent(QGraphicsSceneHoverEvent *)
{
    m_hovered = true;
    update();
}

void GraphicsObjectVerticalIndicator::hoverLeaveEvent(QGraphicsSceneHoverEvent *)
{
    m_hovered = false;
    update();
}

GraphicsItemLine::GraphicsItemLine(qreal top, qreal bottom, QGraphicsItem *parent)
    : QGraphicsItem(parent), m_top(top), m_bottom(bottom)
{
}

void GraphicsItemLine::setBottom(qreal bottom)
{
    prepareGeometryChange();
    m_bottom = bottom;
}

QRectF GraphicsItemLine::boundingRect() const
{
    return QRectF(-0.5, m_top, 1, qMax<qreal>(0, m_bottom - m_top));
}

void GraphicsItemLine::paint(QPainter *painter, const QStyleOptionGraphicsItem *, QWidget *)
{
    const QColor white(QStringLiteral("#FFFFFF"));
    painter->setPen(QPen(white, 1));
    painter->setBrush(white);
    painter->drawLine(QPointF(0, m_top), QPointF(0, m_bottom));
}
