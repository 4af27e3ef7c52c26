#include "ui/timeline/cliprowlayout.h"

#include <QSet>
#include <QWidget>

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
    if (index < 0 || index > m_items.size())
        index = int(m_items.size());
    addChildLayoutItem(item);
    m_items.insert(index, item);
    invalidate();
}

void ClipRowLayout::setItems(const QList<QGraphicsLayoutItem *> &items)
{
    const QSet<QGraphicsLayoutItem *> kept(items.begin(), items.end());
    for (QGraphicsLayoutItem *item : std::as_const(m_items))
        if (!kept.contains(item))
            item->setParentLayoutItem(nullptr);
    const QSet<QGraphicsLayoutItem *> had(m_items.begin(), m_items.end());
    for (QGraphicsLayoutItem *item : items)
        if (!had.contains(item))
            addChildLayoutItem(item);
    m_items = items;
    invalidate();
}

QGraphicsLayoutItem *ClipRowLayout::itemAt(int index) const
{
    return index >= 0 && index < m_items.size() ? m_items.at(index) : nullptr;
}

void ClipRowLayout::removeAt(int index)
{
    if (index < 0 || index >= m_items.size())
        return;
    QGraphicsLayoutItem *item = m_items.takeAt(index);
    item->setParentLayoutItem(nullptr);
    invalidate();
}

void ClipRowLayout::setGeometry(const QRectF &rect)
{
    QGraphicsLayout::setGeometry(rect);
    qreal left, top, right, bottom;
    getContentsMargins(&left, &top, &right, &bottom);
    const qreal height = qMax<qreal>(0, rect.height() - top - bottom);
    qreal x = rect.left() + left;
    for (QGraphicsLayoutItem *item : std::as_const(m_items)) {
        const qreal width = item->effectiveSizeHint(Qt::PreferredSize).width();
        item->setGeometry(QRectF(x, rect.top() + top, width, height));
        x += width;
    }
}

QSizeF ClipRowLayout::sizeHint(Qt::SizeHint which, const QSizeF &) const
{
    qreal left, top, right, bottom;
    getContentsMargins(&left, &top, &right, &bottom);
    if (which == Qt::MaximumSize)
        return QSizeF(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    qreal width = 0, height = 0;
    for (QGraphicsLayoutItem *item : m_items) {
        const QSizeF hint = item->effectiveSizeHint(which);
        width += hint.width();
        height = qMax(height, hint.height());
    }
    return QSizeF(width + left + right, height + top + bottom);
}
