#include "timelineinput.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QWheelEvent>
#include <QWidget>

namespace TimelineInput {

namespace {
void send(QWidget *viewport, QEvent::Type type, QPoint pos, Qt::MouseButton button,
          Qt::MouseButtons buttons)
{
    const QPointF local(pos);
    QMouseEvent event(type, local, viewport->mapToGlobal(local), button, buttons,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(viewport, &event);
}
}  // namespace

void press(QWidget *viewport, QPoint pos, Qt::MouseButton button)
{
    send(viewport, QEvent::MouseButtonPress, pos, button, button);
}

void moveHeld(QWidget *viewport, QPoint pos, Qt::MouseButtons buttons)
{
    send(viewport, QEvent::MouseMove, pos, Qt::NoButton, buttons);
}

void release(QWidget *viewport, QPoint pos, Qt::MouseButton button)
{
    send(viewport, QEvent::MouseButtonRelease, pos, button, Qt::NoButton);
}

void drag(QWidget *viewport, QPoint from, QPoint to)
{
    press(viewport, from);
    QPoint p = from;
    while (p != to) {
        p.rx() += (to.x() > p.x()) - (to.x() < p.x());
        p.ry() += (to.y() > p.y()) - (to.y() < p.y());
        moveHeld(viewport, p);
    }
    release(viewport, to);
}

void wheel(QWidget *viewport, QPoint pos, int angleDeltaY)
{
    const QPointF local(pos);
    QWheelEvent event(local, viewport->mapToGlobal(local), QPoint(), QPoint(0, angleDeltaY),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(viewport, &event);
}

AVData clip(qint64 beginMs, qint64 endMs, const QString &title)
{
    AVData d;
    d.title = title.isEmpty() ? QStringLiteral("片段") : title;
    d.fileName = d.uuid + QStringLiteral(".mp4");
    d.filePath = QStringLiteral("/nonexistent/") + d.fileName;
    d.duration = endMs;
    d.beginTime = beginMs;
    d.endTime = endMs;
    return d;
}

QList<AVData> laidOut(QList<AVData> clips)
{
    qint64 p = 0;
    for (AVData &d : clips) {
        d.position = p;
        p += d.endTime - d.beginTime;
    }
    return clips;
}

}  // namespace TimelineInput
