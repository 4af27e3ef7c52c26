#include "ui/timeline/pausemarksitem.h"

#include "core/timeline/imfcommon.h"
#include "ui/timeline/graphicswidgetsequence.h"

#include <QCursor>
#include <QGraphicsSceneMouseEvent>
#include <QPainter>

PauseMarksItem::PauseMarksItem(GraphicsWidgetSegment *segment, QGraphicsItem *parent)
    : QGraphicsObject(parent), m_segment(segment)
{
    // Over the blocks, under the current-time line.
    setZValue(1);
    setAcceptedMouseButtons(Qt::LeftButton);
    setCursor(Qt::PointingHandCursor);
    connect(segment, &QGraphicsWidget::geometryChanged, this, &PauseMarksItem::followTracks);
    followTracks();
}

void PauseMarksItem::followTracks()
{
    prepareGeometryChange();
    QRectF tracks;
    for (int i = 0; i < m_segment->sequenceCount(); ++i)
        tracks |= m_segment->sequenceAt(i)->sceneBoundingRect();
    m_top = tracks.top();
    m_height = tracks.height();
    update();
}

void PauseMarksItem::setMarks(const QList<pauses::PlacedPause> &marks)
{
    prepareGeometryChange();
    m_marks = marks;
    m_pressed = -1;
    followTracks();
}

QRectF PauseMarksItem::markRect(int index) const
{
    const pauses::Span &span = m_marks.at(index).timeline;
    const qreal left = qreal(span.fromMs) * 24 / 1000;
    const qreal right = qreal(span.toMs) * 24 / 1000;
    return QRectF(left, m_top, right - left, m_height);
}

QRectF PauseMarksItem::boundingRect() const
{
    QRectF all;
    for (int i = 0; i < m_marks.size(); ++i)
        all |= markRect(i);
    return all;
}

QPainterPath PauseMarksItem::shape() const
{
    QPainterPath path;
    for (int i = 0; i < m_marks.size(); ++i)
        path.addRect(markRect(i));
    return path;
}

void PauseMarksItem::paint(QPainter *painter, const QStyleOptionGraphicsItem *, QWidget *)
{
    painter->save();
    QPen edge(QColor(0xf2, 0x73, 0x3d));
    edge.setCosmetic(true);
    edge.setWidth(2);
    for (int i = 0; i < m_marks.size(); ++i) {
        const QRectF rect = markRect(i);
        painter->fillRect(rect, QColor(0xf2, 0x73, 0x3d, i == m_pressed ? 150 : 100));
        painter->setPen(edge);
        painter->drawLine(rect.topLeft(), rect.bottomLeft());
        painter->drawLine(rect.topRight(), rect.bottomRight());
        // The part a cut takes out, darker.
        const pauses::PlacedPause &mark = m_marks.at(i);
        const qint64 shift = mark.timeline.fromMs - mark.pause.span.fromMs;
        const qreal cutLeft = qreal(mark.pause.cut.fromMs + shift) * 24 / 1000;
        const qreal cutRight = qreal(mark.pause.cut.toMs + shift) * 24 / 1000;
        painter->fillRect(QRectF(cutLeft, rect.top() + rect.height() * 0.42, cutRight - cutLeft,
                                 rect.height() * 0.16),
                          QColor(0xf2, 0x73, 0x3d, 220));
    }
    painter->restore();
}

int PauseMarksItem::markAt(QPointF pos) const
{
    for (int i = 0; i < m_marks.size(); ++i)
        if (markRect(i).contains(pos))
            return i;
    return -1;
}

void PauseMarksItem::mousePressEvent(QGraphicsSceneMouseEvent *event)
{
    m_pressed = markAt(event->pos());
    if (m_pressed < 0) {
        event->ignore();
        return;
    }
    event->accept();
    update();
}

void PauseMarksItem::mouseReleaseEvent(QGraphicsSceneMouseEvent *event)
{
    const int index = markAt(event->pos());
    const bool clicked = index >= 0 && index == m_pressed;
    m_pressed = -1;
    update();
    if (clicked)
        emit sig_MarkClicked(index, event->screenPos());
}
