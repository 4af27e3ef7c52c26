#pragma once
// The timeline as one frame: the time ruler above the tracks, each in its own zoomable view,
// kept at the same scale and scroll position. The editor hands it the clip list (`avDatas`,
// then refresh()), moves its current time and listens to the time and scale it reports.
// Main thread only.
#include "core/project/avdata.h"
#include "ui/timeline/timelinetypes.h"

#include <QFrame>
#include <QList>
#include <QUuid>

class GraphicsSceneComposition;
class GraphicsSceneTimeline;
class GraphicsViewScalable;
class GraphicsWidgetSegment;
class PauseMarksItem;
class QTimer;

class WidgetComposition : public QFrame
{
    Q_OBJECT
public:
    explicit WidgetComposition(QWidget *parent = nullptr);

    // The clips on display, replaced as a whole by the editor before refresh().
    QList<AVData> avDatas;

    // Rebuilds the blocks from `avDatas`; 100 ms later the minimum scale is fitted anew. Only
    // the blocks in view (and half a view's width either side) are built; the others are built as
    // they come into view, before the tracks are painted.
    void refresh();
    // The current time (the indicator's frame) in milliseconds.
    qint64 curTimeMs() const;
    // The first selected block's clip and its marked range in milliseconds.
    bool findSelectedClip(AVData &clip, qint64 &cutStartMs, qint64 &cutEndMs) const;

    GraphicsViewScalable *timelineView() const { return m_timelineView; }
    GraphicsViewScalable *compositionView() const { return m_compositionView; }
    GraphicsSceneTimeline *timelineScene() const { return m_timelineScene; }
    GraphicsSceneComposition *compositionScene() const { return m_compositionScene; }
    GraphicsWidgetSegment *segment() const;
    // The marks of the pauses found, over the blocks.
    PauseMarksItem *pauseMarks() const { return m_pauseMarks; }

signals:
    void curTimeChanged(long msec);
    void scaleViewChanged(double scaleX);
    void sig_MinScaleValueChanged(double minScaleValue);

public slots:
    void slot_add_track_request(eSequenceType type);
    // Requests from per-track menus. The timeline keeps exactly its picture and sound tracks
    // (the clip list is laid into track 0 and track 1), so these change nothing.
    void slot_track_menu_triggered(int actionType);
    void slot_delete_track_request(int track_index);
    void slot_delete_track_request(QUuid id);
    void slot_change_cur_time(long msec);
    void slot_TrimHandleMove(double sceneX);
    void onTrimHandleMove();
    void onTimeLineChanged(double sceneX);
    void zoomIn();
    void zoomOut();
    void setScaleValue(double scaleFactor);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void onCompositionScaleChanged(const QTransform &transform, eScaleStatus status);
    void onTimeHandleMove(double sceneX);
    void fitMinScale();
    void buildVisibleBlocks();
    void followCompositionWidth();

    GraphicsSceneTimeline *m_timelineScene;
    GraphicsSceneComposition *m_compositionScene;
    GraphicsViewScalable *m_timelineView;
    GraphicsViewScalable *m_compositionView;
    int trimSceneX = -1;
    QTimer *m_scrollTimer;
    PauseMarksItem *m_pauseMarks;
};
