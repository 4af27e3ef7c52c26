#include "ui/timeline/trimhandle.h"

#include "ui/timeline/graphicswidgetresources.h"

#include <QCursor>
#include <QGraphicsScene>
#include <QGraphicsSceneMouseEvent>
#include <QGraphicsView>
#include <QPainter>
#include <QPainterPath>

TrimHandle::TrimHandle(Side side, AbstractGraphicsWidgetResources *block)
    : QGraphicsItem(block), m_side(side), m_block(block)
{
    // No ItemSendsScenePositionChanges: the scene would check every flagged item on every
    // move of any block, which makes a rebuild quadratic in the number of clips.
    setCursor(Qt::SizeHorCursor);
    setZValue(1);
}

void TrimHandle::setHeight(qreal height)
{
    if (height == m_height)
        return;
    prepareGeometryChange();
    m_height = height;
}

QRectF TrimHandle::boundingRect() const
{
    return QRectF(offset(), 0, kWidth, m_height);
}

void TrimHandle::paint(QPainter *painter, const QStyleOptionGraphicsItem *, QWidget *)
{
    const int w = kWidth;
    const int h = int(m_height);
    painter->save();
    painter->translate(offset(), 0);
    painter->setRenderHint(QPainter::SmoothPixmapTransform);
    painter->setRenderHint(QPainter::Antialiasing);
    const QColor white(QStringLiteral("#FFFFFF"));
    painter->setPen(Qt::NoPen);
    painter->setBrush(white);
    // Rounded on the outer side only: the rounded shape reaches 6 pixels past the inner edge.
    QPainterPath box;
    box.addRect(0, 0, w, h);
    QPainterPath rounded;
    if (m_side == Right)
        rounded.addRoundedRect(QRectF(-6, 0, w + 6, h), 6, 6);
    else
        rounded.addRoundedRect(QRectF(0, 0, w + 6, h), 6, 6);
    painter->drawPath(box.intersected(rounded));
    painter->setRenderHint(QPainter::Antialiasing, false);
    painter->setPen(QPen(QColor(QStringLiteral("#cccccc")), 2));
    const int gripTop = (h - 26) / 2;
    painter->drawLine(QLineF(w / 2, gripTop, w / 2, gripTop + 26));
    painter->restore();
}

void TrimHandle::viewTransformChanged(const QTransform &viewTransform)
{
    setTransform(counterScale(viewTransform));
}

QVariant TrimHandle::itemChange(GraphicsItemChange change, const QVariant &value)
{
    // A block made after the last zoom takes the view's scale when it enters the scene.
    if (change == ItemSceneHasChanged && scene() && !scene()->views().isEmpty())
        viewTransformChanged(scene()->views().constFirst()->transform());
    return QGraphicsItem::itemChange(change, value);
}

void TrimHandle::mousePressEvent(QGraphicsSceneMouseEvent *event)
{
    // Taking the press makes this handle the grabber of the drag; the block keeps its selection.
    if (event->button() == Qt::LeftButton)
        event->accept();
    else
        event->ignore();
}

void TrimHandle::mouseMoveEvent(QGraphicsSceneMouseEvent *event)
{
    if (event->buttons() & Qt::LeftButton)
        m_block->dragTrimHandle(this, event->scenePos().x());
}

void TrimHandle::mouseReleaseEvent(QGraphicsSceneMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        m_block->endTrimHandleDrag();
}
