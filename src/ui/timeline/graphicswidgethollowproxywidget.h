#pragma once
// Holds an ordinary widget in a timeline scene at its own pixel size: it counter-scales the
// view's horizontal zoom, so the widget is neither stretched nor squeezed. "Hollow": it paints
// no background of its own, only the widget it holds. Main thread only.
#include "ui/timeline/timelinetypes.h"

#include <QGraphicsProxyWidget>

class GraphicsWidgetHollowProxyWidget : public QGraphicsProxyWidget,
                                        public AbstractViewTransformNotifier
{
    Q_OBJECT
public:
    explicit GraphicsWidgetHollowProxyWidget(QGraphicsItem *parent = nullptr);

    void viewTransformChanged(const QTransform &viewTransform) override;

protected:
    QVariant itemChange(GraphicsItemChange change, const QVariant &value) override;
};
