#include "support/xpointer.h"

#include <QLineF>
#include <QProcess>
#include <QTest>

#include <cmath>

namespace XPointer {
namespace {

bool xdotool(const QStringList &args)
{
    QProcess p;
    p.start("xdotool", args);
    const bool ok =
        p.waitForFinished(10000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    QTest::qWait(30);
    return ok;
}

}  // namespace

bool moveTo(QPoint p)
{
    // "--sync" waits for a movement, and there is none to the point the pointer is at.
    static QPoint last(-1, -1);
    if (p == last)
        return true;
    last = p;
    return xdotool({"mousemove", "--sync", QString::number(p.x()), QString::number(p.y())});
}

bool press()
{
    return xdotool({"mousedown", "1"});
}

bool release()
{
    return xdotool({"mouseup", "1"});
}

bool click(QPoint p)
{
    return moveTo(p) && press() && release();
}

bool drag(const QList<QPoint> &points, int step)
{
    if (points.isEmpty() || !moveTo(points.first()) || !press())
        return false;
    for (qsizetype i = 1; i < points.size(); ++i) {
        const QPointF from = points.at(i - 1);
        const QPointF to = points.at(i);
        const int n = std::max(1, int(std::ceil(QLineF(from, to).length() / step)));
        for (int k = 1; k <= n; ++k)
            if (!moveTo((from + (to - from) * (double(k) / n)).toPoint()))
                return false;
    }
    return release();
}

bool key(const QString &name)
{
    return xdotool({"key", name});
}

bool keyDown(const QString &name)
{
    return xdotool({"keydown", name});
}

bool keyUp(const QString &name)
{
    return xdotool({"keyup", name});
}

bool type(const QString &text)
{
    return xdotool({"type", "--delay", "20", text});
}

}  // namespace XPointer
