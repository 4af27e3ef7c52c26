#pragma once
// The clip blocks of the two tracks. A block shows one clip: its width in frames is the length
// of the clip's used span, the picture block draws the title, the length and a thumbnail, the
// sound block the waveform. The picture block carries the two trim handles with which the
// user marks a range (cutStart..cutEnd, frames within the block) while it is selected.
// Pictures come from the block's own AvShowManager; the block repaints when they arrive.
// Main thread only.
#include "core/project/avdata.h"
#include "core/timeline/imfcommon.h"

#include <QColor>
#include <QGraphicsWidget>
#include <QPixmap>
#include <QSize>

class AvShowManager;
class TrimHandle;

class AbstractGraphicsWidgetResources : public QGraphicsWidget
{
    Q_OBJECT
public:
    explicit AbstractGraphicsWidgetResources(const QColor &color, QGraphicsItem *parent = nullptr);

    QString id() const { return m_id; }
    const AVData &avData() const { return m_avData; }
    QColor color() const { return m_color; }
    Duration sourceDuration() const { return m_sourceDuration; }
    int cutStart() const { return m_cutStart; }
    int cutEnd() const { return m_cutEnd; }
    TrimHandle *leftHandle() const { return m_leftHandle; }
    TrimHandle *rightHandle() const { return m_rightHandle; }
    AvShowManager *showManager() const { return m_showManager; }

    // Takes a copy of the clip, sizes the block to its span and starts loading its picture.
    void setAvData(const AVData &avData);
    void setSourceDuration(const Duration &duration);

    // Called by a trim handle while it is dragged to scene x, and when it is let go.
    void dragTrimHandle(TrimHandle *handle, double sceneX);
    void endTrimHandleDrag();

signals:
    void sig_TrimHandleMove(double sceneX);
    void sourceDurationChanged(Duration old_duration, Duration new_duration);

protected:
    QSizeF sizeHint(Qt::SizeHint which, const QSizeF &constraint) const override;
    void resizeEvent(QGraphicsSceneResizeEvent *event) override;
    // Asks the manager for the block's picture (made in the background on a miss).
    virtual void requestPicture() = 0;
    void placeHandles();
    // The horizontal scale of the painter, undone by the caller to draw in pixels.
    static qreal horizontalScale(const QPainter *painter);
    // The block's rounded body in pixels (the painter's horizontal scale undone).
    static void drawBody(QPainter *painter, const QRectF &rect, const QColor &color);

    QString m_id;
    AVData m_avData;
    QColor m_color;
    Duration m_sourceDuration{1000};
    int m_cutStart = 0;
    int m_cutEnd = 0;
    TrimHandle *m_leftHandle = nullptr;
    TrimHandle *m_rightHandle = nullptr;
    AvShowManager *m_showManager = nullptr;  // child of the block
};

class GraphicsWidgetVideoResource : public AbstractGraphicsWidgetResources
{
    Q_OBJECT
public:
    explicit GraphicsWidgetVideoResource(QGraphicsItem *parent = nullptr);

    QSize thumbSize() const { return m_thumbSize; }
    int maxStripWidth() const { return m_maxStripWidth; }
    // The second of the clip whose picture the block shows.
    int thumbnailSecond() const;

    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option,
               QWidget *widget) override;

protected:
    void requestPicture() override;
    QVariant itemChange(GraphicsItemChange change, const QVariant &value) override;

private:
    void drawThumbnail(QPainter *painter, qreal width, qreal sx, bool selected);

    int m_maxStripWidth = 1920;
    QSize m_thumbSize{-1, -1};
    // The label as last drawn, shortened to the width it had then.
    QString m_label;
    int m_labelWidth = -1;
};

class GraphicsWidgetAudioResource : public AbstractGraphicsWidgetResources
{
    Q_OBJECT
public:
    explicit GraphicsWidgetAudioResource(QGraphicsItem *parent = nullptr);

    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option,
               QWidget *widget) override;

protected:
    void requestPicture() override;
};
