#include "ui/board/boardcanvas.h"

#include "ui/board/pathrecord.h"
#include "ui/board/strokepainter.h"

#include <QAction>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QUndoGroup>
#include <QUndoStack>
#include <QWindow>

namespace {
// White of alpha 1: invisible, yet it makes the otherwise transparent canvas take the pointer
// while drawing.
const QColor PointerCatcher(255, 255, 255, 1);

QCursor cursorFrom(const QString &file, bool hotSpotAtTip)
{
    const QPixmap picture(file);
    if (picture.isNull())
        return QCursor(Qt::CrossCursor);
    if (hotSpotAtTip)
        return QCursor(picture, 1, picture.height() - 1);
    return QCursor(picture, picture.width() / 2, picture.height() / 2);
}
}  // namespace

BoardCanvas::BoardCanvas(QWidget *parent) : QWidget(parent), m_undoGroup(new QUndoGroup(this))
{
    setObjectName("boardCanvas");
    // An overlay: no background of its own, what lies below shows through.
    setAttribute(Qt::WA_NoSystemBackground);
    m_penCursor = cursorFrom(":/images/cursor_pen.png", true);
    m_eraserCursor = cursorFrom(":/images/cursor_eraser.png", false);
    setDrawEnabled(false);
    setPage(1);
}

BoardCanvas::~BoardCanvas() = default;

void BoardCanvas::initUndoShortcuts()
{
    auto *undo = new QAction(this);
    undo->setShortcut(QKeySequence::Undo);
    connect(undo, &QAction::triggered, m_undoGroup, &QUndoGroup::undo);
    addAction(undo);
    auto *redo = new QAction(this);
    redo->setShortcut(QKeySequence::Redo);
    connect(redo, &QAction::triggered, m_undoGroup, &QUndoGroup::redo);
    addAction(redo);
}

void BoardCanvas::setBoardSettings(BoardSettings *settings)
{
    m_settings = settings;
    if (!settings) {
        setDrawEnabled(false);
        return;
    }
    m_curRecord->setPen(settings->pen);
    setDrawEnabled(settings->tool != ToolNone);
}

void BoardCanvas::setDrawEnabled(bool enabled)
{
    m_drawEnabled = enabled;
    // Without a tool the canvas lets the pointer through to what lies below it.
    setAttribute(Qt::WA_TransparentForMouseEvents, !enabled);
    // A canvas that is a window of its own (over the slide show) must say so to the window
    // system as well: Qt turns the attribute into the window's input flag when the window is
    // made and never takes it back, so the canvas would let every stroke through.
    if (isWindow()) {
        const Qt::WindowFlags flags =
            windowFlags().setFlag(Qt::WindowTransparentForInput, !enabled);
        overrideWindowFlags(flags);
        if (QWindow *handle = windowHandle())
            handle->setFlags(flags);
    }
    updateCursor();
    update();
}

void BoardCanvas::updateCursor()
{
    const int tool = m_settings ? m_settings->tool : ToolNone;
    if (m_drawEnabled && tool == ToolPen)
        setCursor(m_penCursor);
    else if (m_drawEnabled && tool == ToolEraser)
        setCursor(m_eraserCursor);
    else
        setCursor(Qt::ArrowCursor);
}

void BoardCanvas::setPage(int pageNo)
{
    if (pageNo == m_pageNo)
        return;
    // A stroke in progress stays in the old page and is finished by the next press there; a
    // rubbing in progress becomes its undo step now, so that it can still be undone.
    endMovement();
    m_pageNo = pageNo;
    PathRecord *record = m_records.value(pageNo);
    if (!record) {
        record = new PathRecord(this, this);
        m_records.insert(pageNo, record);
        m_undoGroup->addStack(record->undoStack());
    }
    m_curRecord = record;
    if (m_settings)
        record->setPen(m_settings->pen);
    m_undoGroup->setActiveStack(record->undoStack());
    if (isVisible())
        update();
}

void BoardCanvas::clearBoard()
{
    m_curRecord->clear();
}

void BoardCanvas::endMovement()
{
    if (!m_pressed)
        return;
    m_pressed = false;
    if (m_pressTool == ToolEraser)
        m_curRecord->commitErase();
}

void BoardCanvas::mousePressEvent(QMouseEvent *event)
{
    const int tool = m_settings ? m_settings->tool : ToolNone;
    if (!m_drawEnabled || tool == ToolNone) {
        event->ignore();
        return;
    }
    event->accept();
    if (m_pressed)
        return;  // a second button during a movement changes nothing
    m_pressed = true;
    m_pressButton = event->button();
    m_pressTool = tool;
    update(m_curRecord->press(event->position().toPoint(), tool));
}

void BoardCanvas::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_pressed || !m_drawEnabled) {
        event->ignore();
        return;
    }
    event->accept();
    const QPoint pos = event->position().toPoint();
    if (m_pressTool == ToolPen)
        update(m_curRecord->addPoint(pos));
    else if (m_pressTool == ToolEraser)
        update(m_curRecord->erase(pos));
}

void BoardCanvas::mouseReleaseEvent(QMouseEvent *event)
{
    if (!m_pressed || event->button() != m_pressButton) {
        event->ignore();
        return;
    }
    event->accept();
    m_pressed = false;
    if (m_pressTool == ToolPen)
        m_curRecord->commitPath();
    else if (m_pressTool == ToolEraser)
        m_curRecord->commitErase();
}

void BoardCanvas::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    if (m_drawEnabled)
        painter.fillRect(rect(), PointerCatcher);
    syncLayer();
    const qreal dpr = m_layer.devicePixelRatio();
    for (const QRect &r : event->region()) {
        const QRectF source(r.x() * dpr, r.y() * dpr, r.width() * dpr, r.height() * dpr);
        painter.drawImage(QRectF(r), m_layer, source);
    }
    const QPainterPath &current = m_curRecord->curPath();
    if (!current.isEmpty()) {
        painter.setRenderHint(QPainter::Antialiasing);
        drawStrokeInArea(painter, current, m_curRecord->pen(), event->rect());
    }
    painter.end();
    QWidget::paintEvent(event);
}

void BoardCanvas::syncLayer()
{
    const qreal dpr = devicePixelRatioF();
    const QSize pixels = (QSizeF(size()) * dpr).toSize();
    if (m_layer.size() != pixels || m_layer.devicePixelRatio() != dpr ||
        m_layerRecord != m_curRecord) {
        m_layer = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
        m_layer.setDevicePixelRatio(dpr);
        m_layerRecord = m_curRecord;
        m_curRecord->markClean();
        renderLayer(rect());
        return;
    }
    const QRect dirty = m_curRecord->takeDirtyRect() & rect();
    if (!dirty.isEmpty())
        renderLayer(dirty);
}

void BoardCanvas::renderLayer(const QRect &area)
{
    if (m_layer.isNull())
        return;
    QPainter painter(&m_layer);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(area, Qt::transparent);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.setClipRect(area);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF areaF(area);
    for (const PathItem &item : m_curRecord->paths()) {
        if (rectsOverlap(item.paintBounds(), areaF))
            drawStrokeInArea(painter, item.path, item.pen, areaF);
    }
}
