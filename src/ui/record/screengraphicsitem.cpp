#include "ui/record/screengraphicsitem.h"

#include "ui/record/screenselectedbuttonwidget.h"
#include "ui/record/selectbtnitem.h"

#include <QCursor>
#include <QDebug>
#include <QGraphicsProxyWidget>
#include <QGraphicsSceneMouseEvent>
#include <QPainter>

#include <cmath>

namespace {

const QColor kFrameColour("#f2733d");

// Equality as the selection compares corners: relative for non-zero values, exact for zero.
bool same(qreal a, qreal b)
{
    if (qFuzzyIsNull(a) || qFuzzyIsNull(b))
        return a == b;
    return std::fabs(a - b) * 1e12 <= std::min(std::fabs(a), std::fabs(b));
}

}  // namespace

ScreenGraphicsItem::ScreenGraphicsItem(const QPixmap &screenPixmap, QGraphicsItem *parent)
    : QGraphicsObject(parent), m_screenPixmap(screenPixmap)
{
    setCursor(Qt::CrossCursor);
    setAcceptHoverEvents(true);
    auto *buttons = new ScreenSelectedButtonWidget;
    m_buttonProxy = new QGraphicsProxyWidget(this);
    m_buttonProxy->setWidget(buttons);
    m_buttonProxy->hide();
    connect(buttons, &ScreenSelectedButtonWidget::sig_Cancel, this,
            &ScreenGraphicsItem::sig_Cancel);
    connect(buttons, &ScreenSelectedButtonWidget::sig_StartRecord, this,
            [this]() { emit sig_StartRecord(m_selectRect); });
}

ScreenSelectedButtonWidget *ScreenGraphicsItem::buttonWidget() const
{
    return static_cast<ScreenSelectedButtonWidget *>(m_buttonProxy->widget());
}

QRectF ScreenGraphicsItem::boundingRect() const
{
    return QRectF(QPointF(0, 0), m_screenPixmap.deviceIndependentSize());
}

void ScreenGraphicsItem::paint(QPainter *painter, const QStyleOptionGraphicsItem *, QWidget *)
{
    painter->drawPixmap(QPointF(0, 0), m_screenPixmap);
    painter->fillRect(boundingRect(), QColor(0, 0, 0, 204));
    if (!hasSelection())
        return;
    const qreal ratio = m_screenPixmap.devicePixelRatio();
    const QRectF source(m_selectRect.topLeft() * ratio, m_selectRect.size() * ratio);
    painter->drawPixmap(m_selectRect, m_screenPixmap, source);
    painter->setPen(QPen(kFrameColour, 3));
    painter->setBrush(Qt::NoBrush);
    painter->drawRect(m_selectRect);
}

void ScreenGraphicsItem::setCurSelectBtnPos(SelectBtnPos pos)
{
    m_curSelectBtnPos = pos;
    for (SelectBtnItem *btn : std::as_const(m_btnMap))
        btn->setCursor(cursorForSelectBtnPos(pos == PosNone ? btn->btnPos() : pos));
    setCursor(cursorForSelectBtnPos(pos));
    qDebug() << "setCursor:" << int(pos);
}

bool ScreenGraphicsItem::sceneEventFilter(QGraphicsItem *watched, QEvent *event)
{
    qDebug() << "sceneEventFilter:type" << event->type();
    if (event->type() == QEvent::GraphicsSceneMousePress) {
        if (auto *btn = dynamic_cast<SelectBtnItem *>(watched)) {
            setCurSelectBtnPos(btn->btnPos());
            m_buttonProxy->hide();
        }
    }
    return false;
}

void ScreenGraphicsItem::hoverMoveEvent(QGraphicsSceneHoverEvent *event)
{
    if (!hasSelection())
        setCursor(Qt::CrossCursor);
    else if (m_selectRect.contains(event->pos()))
        setCursor(Qt::SizeAllCursor);
    else
        setCursor(Qt::ArrowCursor);
    QGraphicsObject::hoverMoveEvent(event);
}

void ScreenGraphicsItem::mousePressEvent(QGraphicsSceneMouseEvent *event)
{
    const QPointF point = event->pos();
    if (!hasSelection()) {
        m_pressPos = point;
    } else if (m_selectRect.contains(point)) {
        m_pressPos = point;
        m_buttonProxy->hide();
    } else {
        m_pressPos = QPointF(-1, -1);
    }
    event->accept();
}

void ScreenGraphicsItem::mouseMoveEvent(QGraphicsSceneMouseEvent *event)
{
    if (event->buttons() != Qt::LeftButton)
        return;
    const QPointF point = event->pos();
    if (m_selectRect.width() == 0 && m_selectRect.height() == 0) {
        const qreal dx = std::fabs(point.x() - m_pressPos.x());
        const qreal dy = std::fabs(point.y() - m_pressPos.y());
        if (std::lround(dx) < kMinDrag || std::lround(dy) < kMinDrag)
            return;
        m_selectRect = QRectF(std::min(m_pressPos.x(), point.x()),
                              std::min(m_pressPos.y(), point.y()), std::round(dx), std::round(dy));
        setCurSelectBtnPos(selectBtnPosAt(point));
        createSelectBtns();
        update();
        return;
    }

    QRectF rect = m_selectRect;
    const bool moving = m_curSelectBtnPos == PosNone;
    switch (m_curSelectBtnPos) {
    case PosNone:
        if (m_pressPos.x() < 0)
            return;
        rect.translate(point - m_pressPos);
        m_pressPos = point;
        break;
    case PosLeft: rect.setLeft(point.x()); break;
    case PosTopLeft: rect.setTopLeft(point); break;
    case PosTop: rect.setTop(point.y()); break;
    case PosRight: rect.setRight(point.x()); break;
    case PosTopRight: rect.setTopRight(point); break;
    case PosBottomLeft: rect.setBottomLeft(point); break;
    case PosBottom: rect.setBottom(point.y()); break;
    case PosBottomRight: rect.setBottomRight(point); break;
    }
    if (std::fabs(rect.width()) < 1 || std::fabs(rect.height()) < 1)
        return;
    if (rect.width() <= 0 || rect.height() <= 0) {
        // Dragged past the opposite edge: the handle under the pointer goes on resizing.
        m_selectRect = rect.normalized();
        setCurSelectBtnPos(selectBtnPosAt(point));
    } else {
        m_selectRect = keptOnScreen(rect, moving);
    }
    update();
}

QRectF ScreenGraphicsItem::keptOnScreen(QRectF rect, bool moved) const
{
    const QRectF screen = boundingRect();
    if (rect.left() < 0) {
        moved ? rect.moveLeft(0) : rect.setLeft(0);
    } else if (rect.top() < 0) {
        moved ? rect.moveTop(0) : rect.setTop(0);
    } else if (rect.right() > screen.right()) {
        moved ? rect.moveRight(screen.right()) : rect.setRight(screen.right());
    } else if (rect.bottom() > screen.bottom()) {
        moved ? rect.moveBottom(screen.bottom()) : rect.setBottom(screen.bottom());
    }
    return rect;
}

void ScreenGraphicsItem::mouseReleaseEvent(QGraphicsSceneMouseEvent *)
{
    setCurSelectBtnPos(PosNone);
    if (m_selectRect.width() > kMinRecordSide && m_selectRect.height() > kMinRecordSide) {
        const qreal x = std::max<qreal>(0, m_selectRect.right() - buttonWidget()->width());
        const qreal y = std::min(boundingRect().bottom() - 26, m_selectRect.bottom() + 17);
        m_buttonProxy->setPos(x, y);
        m_buttonProxy->show();
    }
}

SelectBtnPos ScreenGraphicsItem::selectBtnPosAt(const QPointF &point) const
{
    const QRectF &r = m_selectRect;
    switch (m_curSelectBtnPos) {
    case PosLeft:
    case PosRight: return point.x() <= r.left() ? PosLeft : PosRight;
    case PosTop:
    case PosBottom: return r.top() >= point.y() ? PosTop : PosBottom;
    default: break;
    }
    const std::pair<QPointF, SelectBtnPos> corners[] = {{r.topLeft(), PosTopLeft},
                                                        {r.bottomLeft(), PosBottomLeft},
                                                        {r.topRight(), PosTopRight},
                                                        {r.bottomRight(), PosBottomRight}};
    for (const auto &[corner, pos] : corners)
        if (same(corner.x(), point.x()) && same(corner.y(), point.y()))
            return pos;
    // Pointer positions in device-independent pixels may be fractions (a scaled screen) while
    // a new rectangle has whole sides: take the corner within half a pixel.
    for (const auto &[corner, pos] : corners)
        if (std::fabs(corner.x() - point.x()) <= 0.5 && std::fabs(corner.y() - point.y()) <= 0.5)
            return pos;
    return PosNone;
}

void ScreenGraphicsItem::createSelectBtns()
{
    for (SelectBtnPos pos : {PosLeft, PosTop, PosBottom, PosRight, PosTopLeft, PosTopRight,
                             PosBottomLeft, PosBottomRight}) {
        if (SelectBtnItem *existing = m_btnMap.value(pos)) {
            existing->setBtnPos(pos);
            existing->setCursor(cursorForSelectBtnPos(pos));
            continue;
        }
        auto *btn = new SelectBtnItem(pos, this);
        btn->setPos(SelectBtnItem::pointOn(m_selectRect, pos));
        btn->installSceneEventFilter(this);
        btn->setCursor(cursorForSelectBtnPos(pos));
        m_btnMap.insert(pos, btn);
    }
}
