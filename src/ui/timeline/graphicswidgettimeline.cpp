#include "ui/timeline/graphicswidgettimeline.h"

#include <QGraphicsLinearLayout>
#include <QPainter>
#include <QStyleOptionGraphicsItem>

#include <cmath>

namespace {
constexpr int kTickHeight = 5;
constexpr int kLabelTickHeight = 10;
constexpr int kLabelWidth = 60;
constexpr int kLabelHeight = 12;
}  // namespace

QList<GraphicsWidgetTimeline::TickLevel> GraphicsWidgetTimeline::tickLevels(double s)
{
    // Pixel spacing of a unit, truncated as the comparisons want it.
    auto px = [s](int unit) { return int(unit * s); };
    const int f = int(s);
    return {
        {1, f > 3, f > 11},
        {24, px(24) > 3, px(24) > 64 && f <= 11},
        {240, px(240) > 3, px(240) > 64 && px(24) <= 64},
        {720, px(720) > 5, px(720) > 64 && px(240) <= 64},
        {1440, px(1440) > 5, px(1440) > 54 && px(720) <= 64},
        {21600, px(21600) > 6, px(21600) > 54 && px(1440) <= 54},
        {43200, px(43200) > 6, px(43200) > 54 && px(21600) <= 64},
        {86400, px(86400) > 6 && f <= 3, false},
    };
}

GraphicsWidgetTimeline::GraphicsWidgetTimeline(const EditRate &rate, QGraphicsItem *parent)
    : QGraphicsWidget(parent), m_rate(rate)
{
    auto *layout = new QGraphicsLinearLayout(Qt::Vertical);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_painter = new TimelinePainter(rate);
    layout->addItem(m_painter);
    setLayout(layout);
}

void GraphicsWidgetTimeline::setHeight(int height)
{
    m_height = height;
    updateGeometry();
}

void GraphicsWidgetTimeline::slot_show_frames_toggled(bool checked)
{
    m_showFrames = checked;
    update();
    m_painter->update();
}

QSizeF GraphicsWidgetTimeline::sizeHint(Qt::SizeHint which, const QSizeF &) const
{
    switch (which) {
    case Qt::MinimumSize: return QSizeF(0, m_height);
    case Qt::PreferredSize: return QSizeF(0, m_height);
    case Qt::MaximumSize: return QSizeF(QWIDGETSIZE_MAX, m_height);
    default: return QSizeF(-1, -1);
    }
}

GraphicsWidgetTimeline::TimelinePainter::TimelinePainter(const EditRate &rate,
                                                         QGraphicsItem *parent)
    : QGraphicsWidget(parent), m_rate(rate)
{
    setFlag(ItemUsesExtendedStyleOption);
}

QSizeF GraphicsWidgetTimeline::TimelinePainter::sizeHint(Qt::SizeHint which,
                                                         const QSizeF &constraint) const
{
    if (which == Qt::MinimumSize || which == Qt::PreferredSize)
        return QSizeF(0, 30);
    return QGraphicsWidget::sizeHint(which, constraint);
}

void GraphicsWidgetTimeline::TimelinePainter::paint(QPainter *painter,
                                                    const QStyleOptionGraphicsItem *option,
                                                    QWidget *)
{
    const QRectF exposed = option->exposedRect;
    painter->fillRect(exposed, QColor(QStringLiteral("#1b1b1c")));
    // Pixels per frame: the length of one frame mapped to the device. (Squaring the level of
    // detail would give the same in theory, but sqrt(12)^2 truncates to 11.)
    const double s = painter->worldTransform().map(QLineF(0, 0, 1, 0)).length();
    if (s <= 0)
        return;

    QPen tickPen(QColor(QStringLiteral("#454f56")));
    tickPen.setCosmetic(true);
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(11);
    const QColor labelColor(QStringLiteral("#FFFFFF"));

    const qint64 left = qint64(std::floor(qMax<qreal>(0, exposed.left())));
    const qint64 right = qint64(std::ceil(exposed.right()));
    for (const TickLevel &level : tickLevels(s)) {
        if (!level.ticks)
            continue;
        const qint64 unit = level.unitFrames;
        const qint64 first = left / unit * unit;
        painter->setPen(tickPen);
        for (qint64 x = first; x <= right; x += unit)
            painter->drawLine(QLineF(x, 0, x, kTickHeight));
        if (!level.labels)
            continue;
        painter->save();
        painter->scale(1.0 / s, 1.0);
        painter->setFont(font);
        // Labels reach half their box to either side: start one unit early to catch them.
        for (qint64 x = qMax<qint64>(0, first - unit); x <= right + unit; x += unit) {
            if (unit == 1 && x % 5 != 0)
                continue;
            const qreal px = x * s;
            painter->setPen(tickPen);
            painter->drawLine(QLineF(px, kTickHeight, px, kLabelTickHeight));
            painter->setPen(labelColor);
            // The label of the start begins at the start instead of half outside the ruler.
            const bool atStart = px - kLabelWidth / 2 < 0;
            painter->drawText(QRectF(atStart ? 0 : px - kLabelWidth / 2, kLabelTickHeight,
                                     kLabelWidth, kLabelHeight),
                              atStart ? Qt::AlignLeft | Qt::AlignVCenter : Qt::AlignCenter,
                              Timecode(m_rate, x).toMinutesSecondsString());
        }
        painter->restore();
    }
}
