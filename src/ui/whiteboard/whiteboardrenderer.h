#pragma once
// WhiteboardRenderer: draws the whiteboard's pictures for the recording. Whenever the board
// changed (WhiteboardView::sig_Changed) it draws the page as the teacher sees it — background
// or slide, strokes, the stroke being drawn and the pointer as a small dot — at the view's
// pictureSize() (a slide drawn pixel for pixel as the agent rendered it) and hands
// the picture to the recorder's ScenePictureSource, stamped with the time the change happened.
// Changes closer together than PictureCadence::kMinSpacingUs make one picture; a still board
// costs nothing here (the recorder repeats the last picture).
//
// The background and the finished strokes are kept as a picture of their own, extended when a
// stroke is added and drawn anew only when the page, its background or slide or the strokes
// otherwise change; the stroke being drawn is kept over a copy of it and extended by its new
// points. The picture handed in is kept too, and only the rows that changed since the one before
// (new pieces of strokes, the pointer's old and new place) are brought up to date and handed in as
// such, so a picture costs a few segments and a few rows however long the stroke grows.
// Main thread only.
#include "core/record/picturecadence.h"
#include "ui/whiteboard/whiteboardview.h"

#include <QImage>
#include <QObject>
#include <QPainterPath>
#include <QPair>
#include <QPen>
#include <QPointF>
#include <QPointer>
#include <QRect>
#include <QTimer>

#include <memory>

class ScenePictureSource;

class WhiteboardRenderer : public QObject
{
    Q_OBJECT
public:
    // Pictures of the view's pictureSize(), which `source` must have.
    WhiteboardRenderer(WhiteboardView *view, std::shared_ptr<ScenePictureSource> source,
                       QObject *parent = nullptr);

    // Draws the board as it is now and hands the picture in (also without a change).
    void renderNow();
    qint64 renderedCount() const { return m_rendered; }

private:
    void onChanged();
    void onTimer();
    void renderAndPush(qint64 stamp);
    // Brings the picture up to date with the board; returns the rows that changed.
    QPair<int, int> render();
    // A rectangle of the board (canvas coordinates) in the picture's pixels, with a margin.
    QRect toPicture(const QRectF &board) const;
    // What stroking `path` with `pen` covers, in the picture's pixels.
    QRect strokeRect(const QPainterPath &path, const QPen &pen) const;
    void updateBase();
    // Brings the picture of the base with the stroke being drawn up to date; false when no
    // stroke is being drawn.
    bool updateLive();

    QPointer<WhiteboardView> m_view;
    std::shared_ptr<ScenePictureSource> m_source;
    const QSize m_size;
    PictureCadence m_cadence;
    QTimer m_timer;
    qint64 m_rendered = 0;

    // Background and finished strokes of the page last drawn.
    QImage m_base;
    const void *m_baseRecord = nullptr;
    qint64 m_baseLook = -1;  // WhiteboardView::pageLook of the page drawn
    QSize m_baseCanvasSize;
    QList<quint64> m_baseStrokes;
    bool m_baseChanged = false;

    // The base with the stroke being drawn, up to m_liveElements of its path's elements.
    QImage m_live;
    const void *m_liveRecord = nullptr;
    int m_liveElements = 0;
    QPointF m_liveStart;
    QPen m_livePen;
    QRect m_liveDrawn;  // what the stroke covers in m_live beyond the base

    // The picture handed in: the base or the live picture with the pointer, typed text and
    // laser drawn over it (m_overlay covers those), and what in the base or live picture
    // changed since it was drawn.
    QImage m_frame;
    QRect m_overlay;
    QRect m_changed;
};
