#include "mousedrag.h"

#include <QCoreApplication>
#include <QLineF>
#include <QMouseEvent>
#include <QWidget>
#include <QtMath>

namespace MouseDrag {

namespace {
void send(QWidget *widget, QEvent::Type type, QPoint pos, Qt::MouseButton button,
          Qt::MouseButtons buttons)
{
    const QPointF local(pos);
    QMouseEvent event(type, local, widget->mapToGlobal(local), button, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &event);
}
}  // namespace

void press(QWidget *widget, QPoint pos, Qt::MouseButton button)
{
    send(widget, QEvent::MouseButtonPress, pos, button, button);
}

void moveHeld(QWidget *widget, QPoint pos, Qt::MouseButtons buttons)
{
    send(widget, QEvent::MouseMove, pos, Qt::NoButton, buttons);
}

void release(QWidget *widget, QPoint pos, Qt::MouseButton button)
{
    send(widget, QEvent::MouseButtonRelease, pos, button, Qt::NoButton);
}

void drag(QWidget *widget, const QList<QPoint> &points)
{
    if (points.isEmpty())
        return;
    press(widget, points.first());
    for (qsizetype i = 1; i < points.size(); ++i)
        moveHeld(widget, points.at(i));
    release(widget, points.last());
}

void drag(QWidget *widget, QPoint from, QPoint to)
{
    QList<QPoint> points{from};
    QPoint p = from;
    while (p != to) {
        p.rx() += (to.x() > p.x()) - (to.x() < p.x());
        p.ry() += (to.y() > p.y()) - (to.y() < p.y());
        points << p;
    }
    drag(widget, points);
}

QList<QPoint> line(QPoint from, QPoint to, int step)
{
    QList<QPoint> points{from};
    const qreal length = QLineF(from, to).length();
    const int n = qMax(1, qCeil(length / step));
    for (int i = 1; i <= n; ++i)
        points << (QPointF(from) + QPointF(to - from) * (qreal(i) / n)).toPoint();
    return points;
}

QImage grab(QWidget *widget)
{
    return widget->grab().toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

} // namespace MouseDrag
