#pragma once
// Mouse and wheel input for graphics views in timeline tests, sent as real events to the
// view's viewport, with the held buttons carried on moves.
#include "core/project/avdata.h"

#include <QList>
#include <QPoint>

class QGraphicsView;
class QWidget;

namespace TimelineInput {

void press(QWidget *viewport, QPoint pos, Qt::MouseButton button = Qt::LeftButton);
void moveHeld(QWidget *viewport, QPoint pos, Qt::MouseButtons buttons = Qt::LeftButton);
void release(QWidget *viewport, QPoint pos, Qt::MouseButton button = Qt::LeftButton);
// Press at `from`, move pixel by pixel to `to` with the button held, release at `to`.
void drag(QWidget *viewport, QPoint from, QPoint to);
void wheel(QWidget *viewport, QPoint pos, int angleDeltaY);

// A clip with the given used span (ms) and no media file behind it.
AVData clip(qint64 beginMs, qint64 endMs, const QString &title = QString());
// Positions recomputed as ProjectData does: each clip starts where the previous one ends.
QList<AVData> laidOut(QList<AVData> clips);

}  // namespace TimelineInput
