#include "ui/timeline/graphicsviewscalable.h"

#include <QGraphicsItem>
#include <QScrollBar>
#include <QtDebug>

GraphicsViewScalable::GraphicsViewScalable(QWidget *parent) : QGraphicsView(parent)
{
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

eScaleStatus GraphicsViewScalable::setScaleView(double scaleFactor)
{
    double scale;
    eScaleStatus status;
    if (m_minScale > scaleFactor) {
        status = ScaleClampedAtMinimum;
        scale = m_minScale;
    } else if (scaleFactor > kMaxScale) {
        status = ScaleClampedAtMaximum;
        scale = kMaxScale;
    } else {
        status = ScaleWithinRange;
        scale = scaleFactor;
    }
    const double oldScale = horizontalScale() > 0 ? horizontalScale() : 1.0;
    const double leftFrame = horizontalScrollBar()->value() / oldScale;
    const QTransform t = QTransform::fromScale(scale, 1.0);
    setTransform(t);
    horizontalScrollBar()->setValue(qRound(leftFrame * scale));
    notifyItems(t);
    m_scaleStatus = status;
    emit scaleViewChanged(t, status);
    return status;
}

eScaleStatus GraphicsViewScalable::scaleView(double scaleFactor)
{
    return setScaleView(scaleFactor * horizontalScale());
}

void GraphicsViewScalable::zoomIn()
{
    scaleView(1.1);
}
void GraphicsViewScalable::zoomOut()
{
    scaleView(1 / 1.1);
}

void GraphicsViewScalable::setTransformValue(const QTransform &matrix)
{
    setTransform(matrix);
    notifyItems(matrix);
}

double GraphicsViewScalable::updateMinScaleValue()
{
    const qreal width = sceneRect().width();
    qDebug() << "sceneRect.width():" << width;
    m_minScale = qMax(0.01, viewport()->width() / (width + 50));
    return m_minScale;
}

void GraphicsViewScalable::notifyItems(const QTransform &transform)
{
    if (!scene())
        return;
    const QList<QGraphicsItem *> all = scene()->items();
    for (QGraphicsItem *item : all)
        if (auto *notifier = dynamic_cast<AbstractViewTransformNotifier *>(item))
            notifier->viewTransformChanged(transform);
}
