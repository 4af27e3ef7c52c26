#include "ui/timeline/graphicswidgettimedtextresource.h"

#include <QPainter>

GraphicsWidgetTimedTextResource::GraphicsWidgetTimedTextResource(QGraphicsItem *parent)
    : AbstractGraphicsWidgetResources(QColor(191, 159, 72), parent)
{
}

void GraphicsWidgetTimedTextResource::preparePictures()
{
    // Text is drawn from the clip itself: there is no thumbnail or waveform to make.
}

void GraphicsWidgetTimedTextResource::paint(QPainter *painter, const QStyleOptionGraphicsItem *,
                                            QWidget *)
{
    const qreal sx = horizontalScale(painter);
    const qreal w = size().width() * sx;
    painter->save();
    painter->scale(1.0 / sx, 1.0);
    painter->setOpacity(0.7);
    drawBody(painter, QRectF(0, 0, w, size().height()), m_color);
    painter->setOpacity(1.0);
    QFont font = painter->font();
    font.setPointSize(10);
    painter->setFont(font);
    painter->setPen(QPen(QColor(QStringLiteral("#FFFFFF")), 1));
    drawLabel(painter, w);
    painter->restore();
}
