#pragma once
// The layout of one track: its blocks side by side in clip order, each as wide as it wants
// to be and as high as the track, starting at the track's left edge. Unlike a general
// linear layout it places n blocks in O(n), which keeps a rebuild of a long lecture fast.
// Main thread only.
#include <QGraphicsLayout>
#include <QList>

class ClipRowLayout : public QGraphicsLayout
{
public:
    explicit ClipRowLayout(QGraphicsLayoutItem *parent = nullptr);
    ~ClipRowLayout() override;

    // Inserts at `index` (appends when out of range); the item's graphics item becomes a
    // child of the layout's widget.
    void insertItem(int index, QGraphicsLayoutItem *item);

    // Makes `items` the row, in that order: items new to it become children as with
    // insertItem(), items left out leave it (their graphics items stay where they are).
    void setItems(const QList<QGraphicsLayoutItem *> &items);

    int count() const override { return int(m_items.size()); }
    QGraphicsLayoutItem *itemAt(int index) const override;
    void removeAt(int index) override;
    void setGeometry(const QRectF &rect) override;
    QSizeF sizeHint(Qt::SizeHint which, const QSizeF &constraint = QSizeF()) const override;

private:
    QList<QGraphicsLayoutItem *> m_items;
};
