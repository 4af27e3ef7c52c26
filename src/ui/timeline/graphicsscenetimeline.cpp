#include "ui/timeline/graphicsscenetimeline.h"

#include "ui/timeline/graphicsobjectverticalindicator.h"
#include "ui/timeline/graphicswidgettimeline.h"

#include <QGraphicsSceneMouseEvent>

GraphicsSceneTimeline::GraphicsSceneTimeline(const EditRate &rate, QObject *parent)
    : GraphicsSceneBase(rate, parent)
{
    m_timeline = new GraphicsWidgetTimeline(rate);
    addItem(m_timeline);
    m_timeline->resize(m_timeline->effectiveSizeHint(Qt::PreferredSize));
    setSceneRect(m_timeline->geometry());
    connect(m_timeline, &QGraphicsWidget::geometryChanged, this, [this] {
        setSceneRect(m_timeline->geometry());
        slot_timeline_geometry_changed();
    });

    m_indicator =
        new GraphicsObjectVerticalIndicator(QColor(0, 170, 255), m_timeline->height(), true);
    addItem(m_indicator);
    m_indicator->setPos(0, 0);
    connect(m_indicator, &GraphicsObjectVerticalIndicator::sig_xPos_changed, this,
            &GraphicsSceneTimeline::slot_x_pos_changed);

    m_secondIndicator =
        new GraphicsObjectVerticalIndicator(QColor(255, 0, 93), m_timeline->height(), true);
    addItem(m_secondIndicator);
    m_secondIndicator->hide();
}

void GraphicsSceneTimeline::moveIndicatorTo(int xPos)
{
    m_indicator->slot_set_xPos(xPos);
    emit sig_click_time_indicator(xPos);
}

void GraphicsSceneTimeline::slot_x_pos_changed(double xPos)
{
    emit sig_current_frame_changed(Timecode(m_editRate, qint64(xPos)));
}

void GraphicsSceneTimeline::slot_timeline_geometry_changed()
{
    m_indicator->setPos(m_indicator->x(), 0);
}

void GraphicsSceneTimeline::mousePressEvent(QGraphicsSceneMouseEvent *event)
{
    QGraphicsScene::mousePressEvent(event);
    if (event->button() != Qt::LeftButton)
        return;
    // Nearest frame; the ruler starts at frame 0.
    const int xPos = qMax(0, int(event->scenePos().x() + 0.5));
    moveIndicatorTo(xPos);
}

void GraphicsSceneTimeline::mouseMoveEvent(QGraphicsSceneMouseEvent *event)
{
    // Items never see moves here: the indicator is dragged by the scene.
    if ((event->buttons() & Qt::LeftButton) && mouseGrabberItem() == m_indicator)
        emit sig_TimeHandleMove(event->scenePos().x() + 0.5);
}

void GraphicsSceneTimeline::mouseReleaseEvent(QGraphicsSceneMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        emit sig_TimeHandleMove(-1.0);
    // Let the default handling end the press's implicit grab, so that the next press goes to
    // whatever lies under the mouse.
    QGraphicsScene::mouseReleaseEvent(event);
}
