#pragma once
// The containers of the track scene: the root (GraphicsWidgetComposition) holds one segment;
// the segment stacks the tracks (picture track above the sound track) and is `length` frames
// wide; a track (GraphicsWidgetSequence) lays its clip blocks end to end in clip order. A
// track given a clip list builds the block of a clip only when it is asked for it
// (resourceAt(), buildResourcesIn() for the part of the track in view): a long lecture opens
// without building the blocks off screen. Main thread only.
#include "core/project/avdata.h"
#include "ui/timeline/timelinetypes.h"

#include <QGraphicsWidget>
#include <QList>
#include <QUuid>

#include <functional>

class AbstractGraphicsWidgetResources;
class ClipRowLayout;
class QGraphicsLinearLayout;

class GraphicsWidgetSequence : public QGraphicsWidget
{
    Q_OBJECT
public:
    GraphicsWidgetSequence(const QUuid &id, const QUuid &detailsId, eSequenceType type,
                           QGraphicsItem *parent = nullptr);

    QUuid id() const { return m_id; }
    eSequenceType sequenceType() const { return m_type; }
    int height() const { return m_height; }
    void setHeight(int height);

    // The number of clips on the track, with a block built or not.
    int resourceCount() const;
    // The block of clip `index`, built now if it was not yet; null outside the track.
    AbstractGraphicsWidgetResources *resourceAt(int index);
    // Builds the blocks not built yet that reach into [left, right] (track coordinates).
    void buildResourcesIn(qreal left, qreal right);
    // The number of blocks built.
    int builtResourceCount() const;
    void insertResource(AbstractGraphicsWidgetResources *block, int index);
    // Takes every block out of the track and deletes it (with its picture manager).
    void clearResources();
    // Makes the track show `clips` in order. The block of a clip whose span the track already
    // shows (same uuid, same span of the same file) is kept with its pictures and only moved;
    // the blocks of the other clips are made by `makeBlock` when they are asked for, and
    // blocks of clips no longer there are deleted.
    void setClips(const QList<AVData> &clips,
                  const std::function<AbstractGraphicsWidgetResources *()> &makeBlock);
    AbstractGraphicsWidgetResources *selectedResource() const;
    void activateLayout();

    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *widget) override;

signals:
    void sig_TrimHandleMove(double sceneX);

protected:
    QSizeF sizeHint(Qt::SizeHint which, const QSizeF &constraint) const override;

private:
    QUuid m_id;
    QUuid m_detailsId;
    eSequenceType m_type;
    int m_height = 50;
    ClipRowLayout *m_layout;
    QList<AVData> m_clips;  // the clip of each slot of the layout
    std::function<AbstractGraphicsWidgetResources *()> m_makeBlock;
};

class GraphicsWidgetSegment : public QGraphicsWidget
{
    Q_OBJECT
public:
    explicit GraphicsWidgetSegment(QGraphicsItem *parent = nullptr);

    QUuid id() const { return m_id; }
    int length() const { return m_length; }
    int sequenceCount() const;
    GraphicsWidgetSequence *sequenceAt(int index) const;

    void addSequence(GraphicsWidgetSequence *sequence, int index);
    void removeSequence(GraphicsWidgetSequence *sequence);

    // Rebuilds both tracks from the clips: one picture and one sound block per clip.
    void setAvDatas(const QList<AVData> &avDatas);
    // The first selected block (picture track first): its clip and its marked range in ms.
    bool findSelectedClip(AVData &clip, qint64 &cutStartMs, qint64 &cutEndMs) const;

    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *widget) override;

signals:
    void sig_TrimHandleMove(double sceneX);

protected:
    QSizeF sizeHint(Qt::SizeHint which, const QSizeF &constraint) const override;

private:
    void setLength(int length);

    QUuid m_id;
    int m_length = 1200;
    QGraphicsLinearLayout *m_layout;
};

class GraphicsWidgetComposition : public QGraphicsWidget
{
    Q_OBJECT
public:
    explicit GraphicsWidgetComposition(QGraphicsItem *parent = nullptr);

    GraphicsWidgetSegment *segment() const { return m_segment; }

    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *widget) override;

private:
    GraphicsWidgetSegment *m_segment;
};
