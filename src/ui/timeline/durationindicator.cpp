#include "ui/timeline/durationindicator.h"

#include <QPainter>

DurationIndicator::DurationIndicator(QGraphicsItem *block) : QGraphicsItem(block)
{
    // x stays a frame position in the block; the drawing keeps its pixel size at any zoom
    // (the views scale only horizontally, so nothing changes vertically).
    setFlag(ItemIgnoresTransformations);
    setZValue(1);
}

void DurationIndicator::setDuration(const Duration &duration, qreal endX)
{
    if (duration != m_duration) {
        m_duration = duration;
        update();
    }
    setPos(qMax<qreal>(0, endX), 0);
}

void DurationIndicator::setHeight(qreal height)
{
    if (height == m_height)
        return;
    prepareGeometryChange();
    m_height = qMax<qreal>(0, height);
}

QRectF DurationIndicator::boundingRect() const
{
    // The tag lies left of the line, inside the block it closes.
    return QRectF(-kTagWidth, 0, kTagWidth + 1, qMax<qreal>(m_height, kTagHeight));
}

void DurationIndicator::paint(QPainter *painter, const QStyleOptionGraphicsItem *, QWidget *)
{
    const QColor white(QStringLiteral("#FFFFFF"));
    painter->setPen(QPen(white, 1));
    painter->drawLine(QLineF(0.5, 0, 0.5, m_height));
    const QRectF tag(-kTagWidth, 0, kTagWidth, kTagHeight);
    painter->fillRect(tag, QColor(0x1b, 0x1b, 0x1c, 200));
    QFont font = painter->font();
    font.setPixelSize(10);
    painter->setFont(font);
    painter->drawText(tag, Qt::AlignCenter, m_duration.toString(EditRate::timeline()));
}
