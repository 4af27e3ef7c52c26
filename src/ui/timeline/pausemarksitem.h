#pragma once
// The pauses "查找停顿" found, drawn as marked ranges over the blocks of both tracks of the
// track scene (x in frames at the timeline's 24 a second, like the blocks). Only the marks
// take the mouse: a click on one reports it, clicks elsewhere reach the blocks under it.
// Main thread only.
#include "core/media/pausefinder.h"

#include <QGraphicsObject>
#include <QList>

class GraphicsWidgetSegment;

class PauseMarksItem : public QGraphicsObject
{
    Q_OBJECT
public:
    // Spans the height of `segment`'s tracks.
    explicit PauseMarksItem(GraphicsWidgetSegment *segment, QGraphicsItem *parent = nullptr);

    void setMarks(const QList<pauses::PlacedPause> &marks);
    const QList<pauses::PlacedPause> &marks() const { return m_marks; }
    // The scene rectangle of mark `index`.
    QRectF markRect(int index) const;

    QRectF boundingRect() const override;
    QPainterPath shape() const override;
    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *widget) override;

signals:
    // Mark `index` was clicked at `screenPos`.
    void sig_MarkClicked(int index, QPoint screenPos);

protected:
    void mousePressEvent(QGraphicsSceneMouseEvent *event) override;
    void mouseReleaseEvent(QGraphicsSceneMouseEvent *event) override;

private:
    int markAt(QPointF pos) const;
    void followTracks();

    GraphicsWidgetSegment *m_segment;
    QList<pauses::PlacedPause> m_marks;
    qreal m_top = 0;
    qreal m_height = 0;
    int m_pressed = -1;
};
