#pragma once
// The clip blocks of the two tracks. A block shows one clip: its width in frames is the length
// of the clip's used span, the picture block draws the title, the length and a thumbnail, the
// sound block the waveform. The picture block carries the two trim handles with which the
// user marks a range (cutStart..cutEnd, frames within the block) while it is selected.
// Pictures come from the block's own AvShowManager, asked for when the block is painted; the
// block repaints when they arrive.
// Each block also carries a hidden end mark (DurationIndicator, made when first asked for)
// and an asset record holding its length. Main thread only.
#include "core/project/avdata.h"
#include "core/timeline/asset.h"
#include "core/timeline/imfcommon.h"

#include <QColor>
#include <QGraphicsWidget>
#include <QPixmap>
#include <QSize>

class AvShowManager;
class DurationIndicator;
class TrimHandle;

class AbstractGraphicsWidgetResources : public QGraphicsWidget
{
    Q_OBJECT
public:
    explicit AbstractGraphicsWidgetResources(const QColor &color, QGraphicsItem *parent = nullptr);

    const AVData &avData() const { return m_avData; }
    QColor color() const { return m_color; }
    Duration sourceDuration() const { return m_asset.sourceDuration(); }
    const AssetMxfTrack &asset() const { return m_asset; }
    // The block's rate over the timeline's: its width in frames is sourceDuration / rateRatio.
    // Every block of this editor runs at the timeline's rate.
    virtual double rateRatio() const { return 1.0; }
    int cutStart() const { return m_cutStart; }
    int cutEnd() const { return m_cutEnd; }
    // The trim handles and the hidden end mark, made on first use.
    TrimHandle *leftHandle();
    TrimHandle *rightHandle();
    DurationIndicator *durationIndicator();
    AvShowManager *showManager() const { return m_showManager; }

    // Takes a copy of the clip, sizes the block to its span and starts loading its picture.
    void setAvData(const AVData &avData);
    // True when the block shows the span of `clip` (same uuid, file and span): moveTo() may
    // then take the clip without a new picture.
    bool showsSpanOf(const AVData &clip) const;
    // Takes the values of `clip`, a clip of the span shown (showsSpanOf()), keeping the
    // pictures; the block is unselected and its marked range is the whole block again, as on
    // a new block.
    void moveTo(const AVData &clip);
    // Stores the length (rounded down to whole frames of the block's rate), resizes the block
    // and moves its end mark.
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
    // Makes the block's picture manager (makeShowManager()). The pictures themselves are asked
    // for as the block is painted: a block that never comes into view makes none.
    virtual void preparePictures() = 0;
    void makeShowManager();
    void makeHandles();
    void placeHandles();
    void placeDurationIndicator();
    // The block's width in frames: sourceDuration / rateRatio, never negative.
    qreal widthFrames() const;
    // The label "title  MM:SS" from (10, 7) to (w - 3, 18) in pixels, shortened with an ellipsis
    // to the block's width; nothing when the block is 12 pixels wide or less.
    void drawLabel(QPainter *painter, qreal w);
    // The horizontal scale of the painter, undone by the caller to draw in pixels.
    static qreal horizontalScale(const QPainter *painter);
    // The block's rounded body in pixels (the painter's horizontal scale undone).
    static void drawBody(QPainter *painter, const QRectF &rect, const QColor &color);

    AVData m_avData = noClip();
    QColor m_color;
    AssetMxfTrack m_asset;
    int m_cutStart = 0;
    int m_cutEnd = 0;
    TrimHandle *m_leftHandle = nullptr;
    TrimHandle *m_rightHandle = nullptr;
    DurationIndicator *m_durationIndicator = nullptr;
    AvShowManager *m_showManager = nullptr;  // child of the block

private:
    // The clip of a block not given one yet: one value for all, so that a block made costs no
    // new uuid.
    static const AVData &noClip();

    // The label as last drawn, shortened to the width it had then.
    QString m_label;
    int m_labelWidth = -1;
};

class GraphicsWidgetVideoResource : public AbstractGraphicsWidgetResources
{
    Q_OBJECT
public:
    explicit GraphicsWidgetVideoResource(QGraphicsItem *parent = nullptr);

    QSize thumbSize() const { return m_thumbSize; }
    // The second of the clip whose picture the block shows.
    int thumbnailSecond() const;

    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *widget) override;

protected:
    void preparePictures() override;
    QVariant itemChange(GraphicsItemChange change, const QVariant &value) override;

private:
    void drawThumbnail(QPainter *painter, qreal width, qreal sx, bool selected);

    int m_maxStripWidth = 1920;
    QSize m_thumbSize{-1, -1};
};

class GraphicsWidgetAudioResource : public AbstractGraphicsWidgetResources
{
    Q_OBJECT
public:
    explicit GraphicsWidgetAudioResource(QGraphicsItem *parent = nullptr);

    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *widget) override;

protected:
    void preparePictures() override;
};
