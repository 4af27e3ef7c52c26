#pragma once
// The time ruler: a strip of ticks and "MM:SS" labels as wide as the tracks. Which tick levels
// are drawn, and which of them carry labels, depends on the pixels per frame of the view. The
// "show frames" choice is kept and repaints the ruler; the labels stay "MM:SS" either way.
// Main thread only.
#include "core/timeline/imfcommon.h"

#include <QGraphicsWidget>
#include <QList>

class GraphicsWidgetTimeline : public QGraphicsWidget
{
    Q_OBJECT
public:
    class TimelinePainter;

    // One level of ticks: every `unitFrames` frames, drawn and labelled or not at a scale.
    struct TickLevel
    {
        int unitFrames;
        bool ticks;
        bool labels;
    };
    // The eight levels (frame, second, 10 s, 30 s, minute, 15 min, 30 min, hour) at
    // `pixelsPerFrame`.
    static QList<TickLevel> tickLevels(double pixelsPerFrame);

    explicit GraphicsWidgetTimeline(const EditRate &rate, QGraphicsItem *parent = nullptr);

    int height() const { return m_height; }
    void setHeight(int height);

public slots:
    void slot_show_frames_toggled(bool checked);

protected:
    QSizeF sizeHint(Qt::SizeHint which, const QSizeF &constraint) const override;

private:
    EditRate m_rate;
    int m_height = 57;
    bool m_showFrames = false;
    TimelinePainter *m_painter;
};

class GraphicsWidgetTimeline::TimelinePainter : public QGraphicsWidget
{
    Q_OBJECT
public:
    TimelinePainter(const EditRate &rate, QGraphicsItem *parent = nullptr);

    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *widget) override;

protected:
    QSizeF sizeHint(Qt::SizeHint which, const QSizeF &constraint) const override;

private:
    EditRate m_rate;
};
