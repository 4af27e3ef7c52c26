#include "ui/timeline/graphicswidgetsequence.h"

#include "core/timeline/imfcommon.h"
#include "ui/timeline/cliprowlayout.h"
#include "ui/timeline/graphicswidgetresources.h"

#include <QGraphicsLinearLayout>
#include <QGraphicsScene>
#include <QMultiHash>
#include <QPainter>
#include <QStyleOptionGraphicsItem>
#include <QtDebug>

#include <limits>

namespace {
// Item `index` of `layout` as a T; null outside the layout.
template <typename T> T *itemOf(const QGraphicsLayout *layout, int index)
{
    if (index < 0 || index >= layout->count())
        return nullptr;
    return static_cast<T *>(layout->itemAt(index));
}
}  // namespace

GraphicsWidgetSequence::GraphicsWidgetSequence(const QUuid &id, const QUuid &detailsId,
                                               eSequenceType type, QGraphicsItem *parent)
    : QGraphicsWidget(parent), m_id(id), m_detailsId(detailsId), m_type(type)
{
    setFlag(ItemUsesExtendedStyleOption);
    m_layout = new ClipRowLayout;
    setLayout(m_layout);
}

void GraphicsWidgetSequence::setHeight(int height)
{
    m_height = height;
    updateGeometry();
}

QSizeF GraphicsWidgetSequence::sizeHint(Qt::SizeHint which, const QSizeF &constraint) const
{
    if (constraint.isValid()) {
        qDebug() << "sizeHint() is constraint.";
        return constraint;
    }
    switch (which) {
    case Qt::MinimumSize:
    case Qt::PreferredSize: return QSizeF(0, m_height);
    case Qt::MaximumSize: return QSizeF(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    default: return QGraphicsWidget::sizeHint(which, constraint);
    }
}

int GraphicsWidgetSequence::resourceCount() const
{
    return m_layout->slotCount();
}

int GraphicsWidgetSequence::builtResourceCount() const
{
    return m_layout->count();
}

AbstractGraphicsWidgetResources *GraphicsWidgetSequence::resourceAt(int index)
{
    if (index < 0 || index >= m_layout->slotCount())
        return nullptr;
    auto *block = static_cast<AbstractGraphicsWidgetResources *>(m_layout->itemInSlot(index));
    if (block || !m_makeBlock)
        return block;
    block = m_makeBlock();
    block->setAvData(m_clips.at(index));
    m_layout->fillSlot(index, block);
    connect(block, &AbstractGraphicsWidgetResources::sig_TrimHandleMove, this,
            &GraphicsWidgetSequence::sig_TrimHandleMove);
    block->show();
    return block;
}

void GraphicsWidgetSequence::buildResourcesIn(qreal left, qreal right)
{
    const auto [first, last] = m_layout->slotsIn(left, right);
    for (int i = first; i <= last; ++i)
        resourceAt(i);
}

void GraphicsWidgetSequence::insertResource(AbstractGraphicsWidgetResources *block, int index)
{
    index = (index < 0 || index > m_clips.size()) ? int(m_clips.size()) : index;
    m_layout->insertItem(index, block);
    m_clips.insert(index, block->avData());
    connect(block, &AbstractGraphicsWidgetResources::sig_TrimHandleMove, this,
            &GraphicsWidgetSequence::sig_TrimHandleMove);
    block->show();
}

namespace {
void dropBlock(AbstractGraphicsWidgetResources *block)
{
    block->hide();
    block->setParentItem(nullptr);
    if (block->scene())
        block->scene()->removeItem(block);
    // Deferred: the block may be the one whose event led to this rebuild.
    block->deleteLater();
}

// The width in frames of the block a clip gets (AbstractGraphicsWidgetResources::setAvData).
qreal blockWidth(const AVData &clip)
{
    return qreal(qMax<qint64>(0, msToFrames(clip.endTime - clip.beginTime)));
}
}  // namespace

void GraphicsWidgetSequence::clearResources()
{
    QList<AbstractGraphicsWidgetResources *> built;
    for (int i = 0; i < m_layout->count(); ++i)
        built << static_cast<AbstractGraphicsWidgetResources *>(m_layout->itemAt(i));
    m_layout->setSlots({});
    m_clips.clear();
    for (AbstractGraphicsWidgetResources *block : std::as_const(built))
        dropBlock(block);
}

void GraphicsWidgetSequence::setClips(
    const QList<AVData> &clips, const std::function<AbstractGraphicsWidgetResources *()> &makeBlock)
{
    m_makeBlock = makeBlock;
    QMultiHash<QString, AbstractGraphicsWidgetResources *> unused;
    for (int i = 0; i < m_layout->count(); ++i) {
        auto *block = static_cast<AbstractGraphicsWidgetResources *>(m_layout->itemAt(i));
        unused.insert(block->avData().uuid, block);
    }
    QList<ClipRowLayout::Slot> row;
    row.reserve(clips.size());
    for (const AVData &clip : clips) {
        AbstractGraphicsWidgetResources *block =
            takeKeptFor(unused, clip, [&clip](AbstractGraphicsWidgetResources *kept) {
                return kept->showsSpanOf(clip);
            });
        if (block)
            block->moveTo(clip);
        row << ClipRowLayout::Slot{block, blockWidth(clip)};
    }
    for (AbstractGraphicsWidgetResources *block : std::as_const(unused))
        dropBlock(block);
    m_layout->setSlots(row);
    m_clips = clips;
}

AbstractGraphicsWidgetResources *GraphicsWidgetSequence::selectedResource() const
{
    for (int i = 0; i < m_layout->slotCount(); ++i) {
        auto *block = static_cast<AbstractGraphicsWidgetResources *>(m_layout->itemInSlot(i));
        if (block && block->isSelected())
            return block;
    }
    return nullptr;
}

void GraphicsWidgetSequence::activateLayout()
{
    m_layout->activate();
}

void GraphicsWidgetSequence::paint(QPainter *painter, const QStyleOptionGraphicsItem *, QWidget *)
{
    const QRectF r = rect();
    painter->fillRect(r, QColor(QStringLiteral("#232324")));
    QPen line(QColor(QStringLiteral("#1b1b1c")), 1);
    line.setCosmetic(true);
    painter->setPen(line);
    painter->drawLine(QPointF(r.left(), r.bottom() - 0.5), QPointF(r.right(), r.bottom() - 0.5));
}

GraphicsWidgetSegment::GraphicsWidgetSegment(QGraphicsItem *parent)
    : QGraphicsWidget(parent), m_id(QUuid::createUuid())
{
    setFlags(ItemUsesExtendedStyleOption);
    m_layout = new QGraphicsLinearLayout(Qt::Vertical);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);
    setLayout(m_layout);
}

QSizeF GraphicsWidgetSegment::sizeHint(Qt::SizeHint which, const QSizeF &constraint) const
{
    // The segment is exactly `length` frames wide; its height comes from the tracks.
    QSizeF hint = QGraphicsWidget::sizeHint(which, constraint);
    if (which == Qt::MinimumSize || which == Qt::PreferredSize || which == Qt::MaximumSize)
        hint.setWidth(m_length);
    return hint;
}

int GraphicsWidgetSegment::sequenceCount() const
{
    return m_layout->count();
}

GraphicsWidgetSequence *GraphicsWidgetSegment::sequenceAt(int index) const
{
    return itemOf<GraphicsWidgetSequence>(m_layout, index);
}

void GraphicsWidgetSegment::addSequence(GraphicsWidgetSequence *sequence, int index)
{
    index = qBound(0, index, m_layout->count());
    m_layout->insertItem(index, sequence);
    m_layout->setSpacing(10);
    connect(sequence, &GraphicsWidgetSequence::sig_TrimHandleMove, this,
            &GraphicsWidgetSegment::sig_TrimHandleMove, Qt::UniqueConnection);
}

void GraphicsWidgetSegment::removeSequence(GraphicsWidgetSequence *sequence)
{
    m_layout->removeItem(sequence);
}

void GraphicsWidgetSegment::setLength(int length)
{
    if (length == m_length)
        return;
    m_length = length;
    updateGeometry();
}

void GraphicsWidgetSegment::setAvDatas(const QList<AVData> &avDatas)
{
    GraphicsWidgetSequence *pictures = sequenceAt(0);
    GraphicsWidgetSequence *sounds = sequenceAt(1);
    if (!pictures || !sounds)
        return;
    pictures->setClips(avDatas, [] { return new GraphicsWidgetVideoResource; });
    sounds->setClips(avDatas, [] { return new GraphicsWidgetAudioResource; });
    pictures->update();
    sounds->update();

    int length = 1200;
    if (!avDatas.isEmpty()) {
        const AVData &last = avDatas.last();
        // 64-bit: a long timeline must not wrap into a negative width.
        const qint64 end = msToFrames(last.position + last.endTime - last.beginTime);
        if (end >= 1000)
            length = int(qMin<qint64>(end + 200, std::numeric_limits<int>::max() / 2));
    }
    setLength(length);
    pictures->activateLayout();
    sounds->activateLayout();
    updateGeometry();
}

bool GraphicsWidgetSegment::findSelectedClip(AVData &clip, qint64 &cutStartMs,
                                             qint64 &cutEndMs) const
{
    for (int i = 0; i < sequenceCount(); ++i) {
        if (AbstractGraphicsWidgetResources *block = sequenceAt(i)->selectedResource()) {
            clip = block->avData();
            cutStartMs = framesToMs(block->cutStart());
            cutEndMs = framesToMs(block->cutEnd());
            return true;
        }
    }
    return false;
}

void GraphicsWidgetSegment::paint(QPainter *painter, const QStyleOptionGraphicsItem *option,
                                  QWidget *)
{
    painter->fillRect(option->exposedRect, QColor(QStringLiteral("#1b1b1c")));
}

GraphicsWidgetComposition::GraphicsWidgetComposition(QGraphicsItem *parent)
    : QGraphicsWidget(parent)
{
    setFlag(ItemUsesExtendedStyleOption);
    auto *layout = new QGraphicsLinearLayout(Qt::Horizontal);
    layout->setSpacing(0);
    layout->setContentsMargins(0, 0, 0, 0);
    m_segment = new GraphicsWidgetSegment;
    layout->addItem(m_segment);
    setLayout(layout);
}

void GraphicsWidgetComposition::paint(QPainter *painter, const QStyleOptionGraphicsItem *option,
                                      QWidget *)
{
    QColor c(QStringLiteral("#1b1b1c"));
    c.setAlpha(50);
    painter->setPen(c);
    painter->setBrush(c);
    painter->fillRect(option->exposedRect, c);
}
