#pragma once
// The ruler scene: the ruler widget and the current-frame indicator. A left click moves the
// indicator to the nearest frame and reports it; dragging the indicator reports the mouse x
// while the button is held and -1 when it is let go. A second, red indicator is kept hidden.
// Main thread only.
#include "ui/timeline/graphicsscenebase.h"

class GraphicsWidgetTimeline;

class GraphicsSceneTimeline : public GraphicsSceneBase
{
    Q_OBJECT
public:
    explicit GraphicsSceneTimeline(const EditRate &rate, QObject *parent = nullptr);

    GraphicsWidgetTimeline *timeline() const { return m_timeline; }
    GraphicsObjectVerticalIndicator *currentFrameIndicator() const { return m_indicator; }
    GraphicsObjectVerticalIndicator *secondIndicator() const { return m_secondIndicator; }
    // Moves the indicator to frame `xPos` and reports it as a click would.
    void moveIndicatorTo(int xPos);

signals:
    void sig_current_frame_changed(Timecode newFrame);
    void sig_click_time_indicator(int xPos);
    void sig_TimeHandleMove(double sceneX);

public slots:
    void slot_x_pos_changed(double xPos);
    void slot_timeline_geometry_changed();

protected:
    void mousePressEvent(QGraphicsSceneMouseEvent *event) override;
    void mouseMoveEvent(QGraphicsSceneMouseEvent *event) override;
    void mouseReleaseEvent(QGraphicsSceneMouseEvent *event) override;

private:
    GraphicsWidgetTimeline *m_timeline;
    GraphicsObjectVerticalIndicator *m_indicator;
    GraphicsObjectVerticalIndicator *m_secondIndicator;
};
