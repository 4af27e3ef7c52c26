#include "ui/timeline/graphicswidgethollowproxywidget.h"

#include <QGraphicsScene>
#include <QGraphicsView>

GraphicsWidgetHollowProxyWidget::GraphicsWidgetHollowProxyWidget(QGraphicsItem *parent)
    : QGraphicsProxyWidget(parent)
{
    setAutoFillBackground(false);
    setAttribute(Qt::WA_NoSystemBackground);
}

void GraphicsWidgetHollowProxyWidget::viewTransformChanged(const QTransform &viewTransform)
{
    setTransform(counterScale(viewTransform));
}

QVariant GraphicsWidgetHollowProxyWidget::itemChange(GraphicsItemChange change,
                                                     const QVariant &value)
{
    // Placed after the last zoom: take the view's scale on entering the scene.
    if (change == ItemSceneHasChanged && scene() && !scene()->views().isEmpty())
        viewTransformChanged(scene()->views().constFirst()->transform());
    return QGraphicsProxyWidget::itemChange(change, value);
}
