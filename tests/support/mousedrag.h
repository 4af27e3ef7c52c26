#pragma once
// Pointer input sent to a widget (a graphics view's viewport included) as real mouse events,
// with the held buttons carried on moves, and reading a widget's pixels.
#include <QImage>
#include <QList>
#include <QPoint>

class QWidget;

namespace MouseDrag {

void press(QWidget *widget, QPoint pos, Qt::MouseButton button = Qt::LeftButton);
void moveHeld(QWidget *widget, QPoint pos, Qt::MouseButtons buttons = Qt::LeftButton);
void release(QWidget *widget, QPoint pos, Qt::MouseButton button = Qt::LeftButton);

// Left button pressed at the first point, moved through the others, released at the last.
void drag(QWidget *widget, const QList<QPoint> &points);
// Press at `from`, move pixel by pixel to `to` with the button held, release at `to`.
void drag(QWidget *widget, QPoint from, QPoint to);
// Points from `from` to `to` every `step` pixels (both ends included).
QList<QPoint> line(QPoint from, QPoint to, int step);
// The widget as it paints itself, in premultiplied ARGB.
QImage grab(QWidget *widget);

} // namespace MouseDrag
