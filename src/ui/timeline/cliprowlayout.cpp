#include "ui/timeline/cliprowlayout.h"

#include <QSet>
#include <QWidget>

#include <algorithm>

ClipRowLayout::ClipRowLayout(QGraphicsLayoutItem *parent) : QGraphicsLayout(parent)
{
    setContentsMargins(0, 0, 0, 0);
}

ClipRowLayout::~ClipRowLayout()
{
    for (QGraphicsLayoutItem *item : std::as_const(m_items)) {
        item->setParentLayoutItem(nullptr);
        if (item->ownedByLayout())
            delete item;
    }
}

void ClipRowLayout::insertItem(int index, QGraphicsLayoutItem *item)
{
    if (!item)
        return;
    if (index < 0 || index > m_slots.size())
        index = int(m_slots.size());
    addChildLayoutItem(item);
    m_slots.insert(index, Slot{item, 0});
    m_itemIndex.insert(item, int(m_items.size()));
    m_items.append(item);
    invalidate();
}

void ClipRowLayout::setSlots(const QList<Slot> &row)
{
    QSet<QGraphicsLayoutItem *> kept;
    for (const Slot &slot : row)
        if (slot.item)
            kept.insert(slot.item);
    for (QGraphicsLayoutItem *item : std::as_const(m_items))
        if (!kept.contains(item))
            item->setParentLayoutItem(nullptr);
    m_items.clear();
    QHash<QGraphicsLayoutItem *, int> had;
    had.swap(m_itemIndex);
    for (const Slot &slot : row) {
        if (!slot.item)
            continue;
        if (!had.contains(slot.item))
            addChildLayoutItem(slot.item);
        m_itemIndex.insert(slot.item, int(m_items.size()));
        m_items.append(slot.item);
    }
    m_slots = row;
    invalidate();
}

void ClipRowLayout::fillSlot(int index, QGraphicsLayoutItem *item)
{
    if (!item || index < 0 || index >= m_slots.size() || m_slots.at(index).item)
        return;
    addChildLayoutItem(item);
    m_slots[index].item = item;
    m_itemIndex.insert(item, int(m_items.size()));
    m_items.append(item);
    // Where the empty slot stood, at the height of the row: the rest of the row does not move
    // unless the item wants another width.
    placeSlots();
    const QRectF row = rowRect();
    const qreal width = item->effectiveSizeHint(Qt::PreferredSize).width();
    item->setGeometry(QRectF(row.left() + m_lefts.at(index), row.top(), width, row.height()));
    if (width != m_slots.at(index).width)
        invalidate();
}

QGraphicsLayoutItem *ClipRowLayout::itemInSlot(int index) const
{
    return index >= 0 && index < m_slots.size() ? m_slots.at(index).item : nullptr;
}

std::pair<int, int> ClipRowLayout::slotsIn(qreal left, qreal right) const
{
    if (m_slots.isEmpty() || right < left)
        return {0, -1};
    placeSlots();
    const qreal origin = rowRect().left();
    // The last slot starting at or before `left`, through the last one starting before
    // `right`.
    const auto firstAfter = std::upper_bound(m_lefts.cbegin(), m_lefts.cend(), left - origin);
    const int first = qMax(0, int(firstAfter - m_lefts.cbegin()) - 1);
    const auto pastRight = std::upper_bound(m_lefts.cbegin(), m_lefts.cend(), right - origin);
    const int last = int(pastRight - m_lefts.cbegin()) - 1;
    return {first, last};
}

QGraphicsLayoutItem *ClipRowLayout::itemAt(int index) const
{
    return index >= 0 && index < m_items.size() ? m_items.at(index) : nullptr;
}

void ClipRowLayout::removeAt(int index)
{
    if (index < 0 || index >= m_items.size())
        return;
    QGraphicsLayoutItem *item = m_items.at(index);
    // The last item takes the removed one's place in the list.
    m_items[index] = m_items.last();
    m_itemIndex.insert(m_items.at(index), index);
    m_items.removeLast();
    m_itemIndex.remove(item);
    // Its slot stays, empty, at the item's width: the row keeps its clips in place.
    for (Slot &slot : m_slots) {
        if (slot.item == item) {
            slot.width = item->effectiveSizeHint(Qt::PreferredSize).width();
            slot.item = nullptr;
            break;
        }
    }
    item->setParentLayoutItem(nullptr);
    invalidate();
}

void ClipRowLayout::invalidate()
{
    // A block's width may have changed: the slots stand anew.
    m_leftsValid = false;
    QGraphicsLayout::invalidate();
}

QRectF ClipRowLayout::rowRect() const
{
    qreal left, top, right, bottom;
    getContentsMargins(&left, &top, &right, &bottom);
    return geometry().adjusted(left, top, -right, -bottom);
}

qreal ClipRowLayout::widthOf(const Slot &slot) const
{
    return slot.item ? slot.item->effectiveSizeHint(Qt::PreferredSize).width() : slot.width;
}

void ClipRowLayout::placeSlots() const
{
    if (m_leftsValid && m_lefts.size() == m_slots.size())
        return;
    m_lefts.resize(m_slots.size());
    qreal x = 0;
    for (int i = 0; i < m_slots.size(); ++i) {
        m_lefts[i] = x;
        x += widthOf(m_slots.at(i));
    }
    m_leftsValid = true;
}

void ClipRowLayout::setGeometry(const QRectF &rect)
{
    QGraphicsLayout::setGeometry(rect);
    qreal left, top, right, bottom;
    getContentsMargins(&left, &top, &right, &bottom);
    const qreal height = qMax<qreal>(0, rect.height() - top - bottom);
    m_leftsValid = false;
    placeSlots();
    for (int i = 0; i < m_slots.size(); ++i) {
        QGraphicsLayoutItem *item = m_slots.at(i).item;
        if (!item)
            continue;
        const qreal width = item->effectiveSizeHint(Qt::PreferredSize).width();
        item->setGeometry(
            QRectF(rect.left() + left + m_lefts.at(i), rect.top() + top, width, height));
    }
}

QSizeF ClipRowLayout::sizeHint(Qt::SizeHint which, const QSizeF &) const
{
    qreal left, top, right, bottom;
    getContentsMargins(&left, &top, &right, &bottom);
    if (which == Qt::MaximumSize)
        return QSizeF(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    qreal width = 0, height = 0;
    for (const Slot &slot : m_slots) {
        if (slot.item) {
            const QSizeF hint = slot.item->effectiveSizeHint(which);
            width += hint.width();
            height = qMax(height, hint.height());
        } else {
            width += slot.width;
        }
    }
    return QSizeF(width + left + right, height + top + bottom);
}
