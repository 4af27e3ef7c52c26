#include "ui/board/lasertrail.h"

#include <QPainter>
#include <QPen>

#include <algorithm>

namespace {
const QColor kLaserRed(0xff, 0x1e, 0x1e);
}

void LaserTrail::add(const QPointF &pos, qint64 nowMs)
{
    prune(nowMs);
    m_points.append({pos, nowMs});
}

bool LaserTrail::prune(qint64 nowMs)
{
    if (m_points.isEmpty())
        return false;
    if (nowMs - m_points.last().ms >= kDotMs) {
        m_points.clear();
        return false;
    }
    // The newest point is the dot: it stays until kDotMs; the trail behind it fades sooner.
    qsizetype old = 0;
    while (old < m_points.size() - 1 && nowMs - m_points.at(old).ms >= kTrailMs)
        ++old;
    m_points.remove(0, old);
    return true;
}

QRectF LaserTrail::bounds() const
{
    if (m_points.isEmpty())
        return QRectF();
    // By the coordinates: QRectF::united skips rectangles of no size.
    qreal left = m_points.first().pos.x(), right = left;
    qreal top = m_points.first().pos.y(), bottom = top;
    for (const Point &p : m_points) {
        left = std::min(left, p.pos.x());
        right = std::max(right, p.pos.x());
        top = std::min(top, p.pos.y());
        bottom = std::max(bottom, p.pos.y());
    }
    const qreal m = kDotRadius + 4;
    return QRectF(QPointF(left - m, top - m), QPointF(right + m, bottom + m));
}

void LaserTrail::paint(QPainter &painter, qint64 nowMs) const
{
    if (m_points.isEmpty())
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    for (qsizetype i = 1; i < m_points.size(); ++i) {
        const qint64 age = nowMs - m_points.at(i - 1).ms;
        const qreal left = 1 - std::clamp<qreal>(qreal(age) / kTrailMs, 0, 1);
        if (left <= 0)
            continue;
        QColor colour = kLaserRed;
        colour.setAlphaF(0.7 * left);
        QPen pen(colour, std::max<qreal>(2, kDotRadius * 1.2 * left));
        pen.setCapStyle(Qt::RoundCap);
        painter.setPen(pen);
        painter.drawLine(m_points.at(i - 1).pos, m_points.at(i).pos);
    }
    QColor glow = kLaserRed;
    glow.setAlpha(90);
    painter.setPen(Qt::NoPen);
    painter.setBrush(glow);
    painter.drawEllipse(m_points.last().pos, kDotRadius + 3, kDotRadius + 3);
    painter.setBrush(kLaserRed);
    painter.drawEllipse(m_points.last().pos, kDotRadius, kDotRadius);
    painter.restore();
}
