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
    const QSize fitted = m_shape.scaled(size(), Qt::KeepAspectRatio);
    return QRect((width() - fitted.width()) / 2, (height() - fitted.height()) / 2, fitted.width(),
                 fitted.height());
}

void WhiteboardView::setBoardShape(const QSize &shape)
{
    if (shape.isEmpty() || shape == m_shape)
        return;
    m_shape = shape;
    m_canvas->setGeometry(boardRect());
    update();
    emit sig_Changed();
}

QSize WhiteboardView::pictureSize() const
{
    const QSize most(1920, 1080);
    QSize fitted = m_shape.scaled(most, Qt::KeepAspectRatio);
    // A shape given in whole points (28 x 15.75 cm slides are 794 x 447) is 16:9 within a
    // rounding: such pictures take the whole size, stretched by a fraction of a pixel.
    if (most.width() - fitted.width() <= most.width() / 200)
        fitted.setWidth(most.width());
    if (most.height() - fitted.height() <= most.height() / 200)
        fitted.setHeight(most.height());
    return QSize(std::max(2, fitted.width() & ~1), std::max(2, fitted.height() & ~1));
}

void WhiteboardView::setPagePicture(int pageNo, const QImage &picture)
{
    const int index = pageNo - 1;
    if (index < 0 || index >= m_pageKeys.size())
        return;
    const int key = m_pageKeys.at(index);
    if (picture.isNull())
        m_pictures.remove(key);
    else
        m_pictures.insert(key, picture);
    if (index != m_pageIndex)
        return;
    update();
    emit sig_Changed();
}

QImage WhiteboardView::pagePicture(int pageNo) const
{
    const int index = pageNo - 1;
    return index >= 0 && index < m_pageKeys.size() ? m_pictures.value(m_pageKeys.at(index))
                                                   : QImage();
}

void WhiteboardView::ensurePageCount(int count)
{
    const int before = pageCount();
    while (m_pageKeys.size() < count)
        m_pageKeys.append(m_nextKey++);
    if (pageCount() != before)
        emit sig_PageChanged(pageNo(), pageCount());
}

void WhiteboardView::paintPage(QPainter &painter, const QRectF &rect) const
{
    const QImage picture = m_pictures.value(m_pageKeys.at(m_pageIndex));
    if (picture.isNull()) {
        paintBackground(painter, rect, m_background);
        return;
    }
    if (picture.size() == rect.size().toSize()) {
        painter.drawImage(rect.topLeft(), picture);
        return;
    }
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(rect, picture);
    painter.restore();
}

qint64 WhiteboardView::pageLook() const
{
    const QImage picture = m_pictures.value(m_pageKeys.at(m_pageIndex));
    return picture.isNull() ? qint64(m_background) : picture.cacheKey();
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
    const QImage picture = m_pictures.value(m_pageKeys.at(m_pageIndex));
    if (picture.isNull()) {
        paintBackground(painter, board, m_background);
        return;
    }
    // Scaled once for the board's size, not on every repaint under the pen.
    const QSize pixels = board.size() * devicePixelRatioF();
    if (m_shownKey != picture.cacheKey() || m_shown.size() != pixels) {
        m_shown = picture.scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        m_shown.setDevicePixelRatio(devicePixelRatioF());
        m_shownKey = picture.cacheKey();
    }
    painter.drawImage(board.topLeft(), m_shown);
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
