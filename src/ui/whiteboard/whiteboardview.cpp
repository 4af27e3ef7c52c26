#include "ui/whiteboard/whiteboardview.h"

#include "ui/board/boardcanvas.h"

#include <QMouseEvent>
#include <QPainter>

namespace {
const QColor kMargin(0x1e, 0x1e, 0x20);
const QColor kChalkboard(0x23, 0x4a, 0x36);
const QColor kGridLine(0xd6, 0xe2, 0xee);
// Grid cells across the board's width.
constexpr int kGridColumns = 32;
}  // namespace

WhiteboardView::WhiteboardView(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("view_white_board"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setMinimumSize(320, 180);
    m_canvas = new BoardCanvas(this);
    m_canvas->setMouseTracking(true);
    m_canvas->initUndoShortcuts();
    m_canvas->installEventFilter(this);
    m_pageKeys.append(m_nextKey++);
    m_canvas->setPage(m_pageKeys.first());
}

QRect WhiteboardView::boardRect() const
{
    const int w = std::min(width(), height() * 16 / 9);
    const int h = w * 9 / 16;
    return QRect((width() - w) / 2, (height() - h) / 2, w, h);
}

void WhiteboardView::setBackground(Background background)
{
    if (background == m_background)
        return;
    m_background = background;
    update();
    emit sig_Changed();
}

void WhiteboardView::showPage(int pageNo)
{
    const int index = pageNo - 1;
    if (index < 0 || index >= m_pageKeys.size() || index == m_pageIndex)
        return;
    m_pageIndex = index;
    m_canvas->setPage(m_pageKeys.at(index));
    m_canvas->update();
    emit sig_PageChanged(this->pageNo(), pageCount());
    emit sig_Changed();
}

void WhiteboardView::addPageAfterCurrent()
{
    m_pageKeys.insert(m_pageIndex + 1, m_nextKey++);
    m_pageIndex += 1;
    m_canvas->setPage(m_pageKeys.at(m_pageIndex));
    m_canvas->update();
    emit sig_PageChanged(pageNo(), pageCount());
    emit sig_Changed();
}

void WhiteboardView::paintBackground(QPainter &painter, const QRectF &rect, Background background)
{
    painter.fillRect(rect, background == Chalkboard ? kChalkboard : QColor(Qt::white));
    if (background != Grid)
        return;
    painter.save();
    QPen pen(kGridLine);
    pen.setWidthF(std::max<qreal>(1, rect.width() / 1280));
    painter.setPen(pen);
    const qreal cell = rect.width() / kGridColumns;
    for (qreal x = rect.left() + cell; x < rect.right(); x += cell)
        painter.drawLine(QPointF(x, rect.top()), QPointF(x, rect.bottom()));
    for (qreal y = rect.top() + cell; y < rect.bottom(); y += cell)
        painter.drawLine(QPointF(rect.left(), y), QPointF(rect.right(), y));
    painter.restore();
}

void WhiteboardView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    m_canvas->setGeometry(boardRect());
    emit sig_Changed();
}

void WhiteboardView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QRect board = boardRect();
    painter.fillRect(rect(), kMargin);
    paintBackground(painter, board, m_background);
}

bool WhiteboardView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_canvas) {
        switch (event->type()) {
        case QEvent::Paint:
            // The canvas repaints when its strokes changed (a stroke, an erase, an undo).
            emit sig_Changed();
            break;
        case QEvent::MouseMove:
        case QEvent::MouseButtonPress: {
            const QPointF p = static_cast<QMouseEvent *>(event)->position();
            const QSizeF size = m_canvas->size();
            if (size.width() > 0 && size.height() > 0)
                setPointer(QPointF(p.x() / size.width(), p.y() / size.height()));
            break;
        }
        case QEvent::Leave: setPointer(QPointF(-1, -1)); break;
        default: break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void WhiteboardView::mouseMoveEvent(QMouseEvent *event)
{
    // Here when no tool is chosen (the canvas lets the pointer through).
    const QRectF board = boardRect();
    const QPointF p = event->position() - board.topLeft();
    if (board.width() > 0 && board.height() > 0)
        setPointer(QPointF(p.x() / board.width(), p.y() / board.height()));
    QWidget::mouseMoveEvent(event);
}

void WhiteboardView::leaveEvent(QEvent *event)
{
    setPointer(QPointF(-1, -1));
    QWidget::leaveEvent(event);
}

void WhiteboardView::setPointer(const QPointF &fraction)
{
    const bool inside =
        fraction.x() >= 0 && fraction.x() <= 1 && fraction.y() >= 0 && fraction.y() <= 1;
    const QPointF pointer = inside ? fraction : QPointF(-1, -1);
    if (pointer == m_pointer)
        return;
    m_pointer = pointer;
    emit sig_Changed();
}
