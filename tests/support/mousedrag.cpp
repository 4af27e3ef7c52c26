#include "mousedrag.h"

#include <QLineF>
#include <QTest>
#include <QWidget>
#include <QtMath>

namespace MouseDrag {

void drag(QWidget *widget, const QList<QPoint> &points)
{
    if (points.isEmpty())
        return;
    QTest::mousePress(widget, Qt::LeftButton, {}, points.first());
    for (qsizetype i = 1; i < points.size(); ++i)
        QTest::mouseMove(widget, points.at(i));
    QTest::mouseRelease(widget, Qt::LeftButton, {}, points.last());
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
