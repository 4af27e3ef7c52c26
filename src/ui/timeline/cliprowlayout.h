#pragma once
// The layout of one track: a row of slots side by side in clip order, starting at the track's
// left edge, each as high as the track. A slot holds a block, as wide as the block wants to
// be, or is kept empty at a given width for a block not built yet (one off screen): the
// blocks after it stand where they would with it. Unlike a general linear layout it places
// n slots in O(n), which keeps a rebuild of a long lecture fast.
//
// count() and itemAt() (what QGraphicsLayout sees) list the blocks the row holds, in no
// particular order; slotCount() and itemInSlot() list the row. removeAt() empties the item's
// slot. Main thread only.
#include <QGraphicsLayout>
#include <QHash>
#include <QList>

class ClipRowLayout : public QGraphicsLayout
{
public:
    struct Slot
    {
        QGraphicsLayoutItem *item = nullptr;  // null: empty
        qreal width = 0;                      // the width of an empty slot
    };

    explicit ClipRowLayout(QGraphicsLayoutItem *parent = nullptr);
    ~ClipRowLayout() override;

    // Inserts a slot holding `item` at `index` (appends when out of range); the item's
    // graphics item becomes a child of the layout's widget.
    void insertItem(int index, QGraphicsLayoutItem *item);

    // Makes `row` the row, in that order: items new to it become children as with
    // insertItem(), items left out leave it (their graphics items stay where they are).
    void setSlots(const QList<Slot> &row);
    // Puts `item` into the empty slot `index` and places it there at once.
    void fillSlot(int index, QGraphicsLayoutItem *item);

    int slotCount() const { return int(m_slots.size()); }
    QGraphicsLayoutItem *itemInSlot(int index) const;
    // The slots that reach into [left, right] (layout coordinates), as [first, last]; an
    // empty range (first > last) when none does.
    std::pair<int, int> slotsIn(qreal left, qreal right) const;

    int count() const override { return int(m_items.size()); }
    QGraphicsLayoutItem *itemAt(int index) const override;
    void removeAt(int index) override;
    void invalidate() override;
    void setGeometry(const QRectF &rect) override;
    QSizeF sizeHint(Qt::SizeHint which, const QSizeF &constraint = QSizeF()) const override;

private:
    qreal widthOf(const Slot &slot) const;
    // The layout's geometry less its margins.
    QRectF rowRect() const;
    // The left edge of every slot, from the slots' present widths.
    void placeSlots() const;

    QList<Slot> m_slots;
    QList<QGraphicsLayoutItem *> m_items;
    QHash<QGraphicsLayoutItem *, int> m_itemIndex;  // position in m_items
    mutable QList<qreal> m_lefts;                   // left edge of each slot, from the left
    mutable bool m_leftsValid = false;
};
