#pragma once
// The end mark of a clip block: a vertical line at the block's end with a small tag showing the
// block's length as "MM:SS". A child of its block; the block keeps it at its end and as high as
// itself. It is drawn in screen pixels at any zoom (it ignores the view's scale) and the blocks
// of this editor keep it hidden. Main thread only.
#include "core/timeline/imfcommon.h"

#include <QGraphicsItem>

class DurationIndicator : public QGraphicsItem
{
public:
    static constexpr int kTagWidth = 40;
    static constexpr int kTagHeight = 14;

    explicit DurationIndicator(QGraphicsItem *block);

    Duration duration() const { return m_duration; }
    qreal height() const { return m_height; }
    // Puts the mark at frame `endX` of the block, for a block `duration` long.
    void setDuration(const Duration &duration, qreal endX);
    void setHeight(qreal height);

    QRectF boundingRect() const override;
    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *widget) override;

private:
    Duration m_duration;
    qreal m_height = 0;
};
