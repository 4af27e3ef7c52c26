#pragma once
// Pointer movements sent to a widget as QTest mouse events, and reading a widget's pixels.
#include <QImage>
#include <QList>
#include <QPoint>

class QWidget;

namespace MouseDrag {

// Left button pressed at the first point, moved through the others, released at the last.
void drag(QWidget *widget, const QList<QPoint> &points);
// Points from `from` to `to` every `step` pixels (both ends included).
QList<QPoint> line(QPoint from, QPoint to, int step);
// The widget as it paints itself, in premultiplied ARGB.
QImage grab(QWidget *widget);

} // namespace MouseDrag
