#pragma once
// A graphics view that zooms only horizontally, between a minimum that fits the whole scene
// (updateMinScaleValue) and 2 pixels per frame, keeping the frame at its left edge in place.
// Items that keep their pixel width (AbstractViewTransformNotifier) are told every new
// transform. Main thread only.
#include "ui/timeline/timelinetypes.h"

#include <QGraphicsView>

class GraphicsViewScalable : public QGraphicsView
{
    Q_OBJECT
public:
    static constexpr double kMaxScale = 2.0;

    explicit GraphicsViewScalable(QWidget *parent = nullptr);

    double minScale() const { return m_minScale; }
    double horizontalScale() const { return transform().m11(); }

    eScaleStatus setScaleView(double scaleFactor);
    eScaleStatus scaleView(double scaleFactor);
    // Sets the transform as it is and tells the counter-scaling items; emits nothing.
    void setTransformValue(const QTransform &matrix);
    // The scale at which the scene plus a 50-frame margin fills the viewport (at least 0.01).
    double updateMinScaleValue();

public slots:
    void zoomIn();
    void zoomOut();

signals:
    void scaleViewChanged(QTransform transform, eScaleStatus scaleSatus);

private:
    void notifyItems(const QTransform &transform);

    double m_minScale = 0.01;
    eScaleStatus m_scaleStatus = ScaleWithinRange;
};
