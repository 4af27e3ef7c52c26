#include "timelineinput.h"

#include <QCoreApplication>
#include <QWheelEvent>
#include <QWidget>

namespace TimelineInput {

void wheel(QWidget *viewport, QPoint pos, int angleDeltaY)
{
    const QPointF local(pos);
    QWheelEvent event(local, viewport->mapToGlobal(local), QPoint(), QPoint(0, angleDeltaY),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(viewport, &event);
}

}  // namespace TimelineInput
