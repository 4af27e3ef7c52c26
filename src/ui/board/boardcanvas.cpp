#include "ui/board/boardcanvas.h"

#include "ui/board/pathrecord.h"
#include "ui/board/strokepainter.h"
#include "ui/board/toolshapes.h"

#include <QAction>
#include <QKeyEvent>
#include <QLineEdit>
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

// How often the laser pointer's trail fades a step.
constexpr int kLaserFrameMs = 30;

// Where the text of an edit with this style sheet starts, from the edit's top-left: its border,
// and the line edit's own margin of 2 pixels beside the text.
constexpr int kEditBorder = 1;
constexpr int kEditTextMargin = 2;
}  // namespace

BoardCanvas::BoardCanvas(QWidget *parent) : QWidget(parent), m_undoGroup(new QUndoGroup(this))
{
    setObjectName("boardCanvas");
    // An overlay: no background of its own, what lies below shows through.
    setAttribute(Qt::WA_NoSystemBackground);
    m_penCursor = cursorFrom(":/images/cursor_pen.png", true);
    m_eraserCursor = cursorFrom(":/images/cursor_eraser.png", false);
    m_clock.start();
    m_laserTimer.setInterval(kLaserFrameMs);
    connect(&m_laserTimer, &QTimer::timeout, this, &BoardCanvas::fadeLaser);
    // The laser pointer follows the pointer without a button held.
    setMouseTracking(true);
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
    if (!settings || settings->tool != ToolText)
        commitText();
    if (!settings || settings->tool != ToolLaser) {
        update(m_laser.bounds().toAlignedRect());
        m_laser.clear();
    }
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
    if (!m_drawEnabled || tool == ToolNone)
        setCursor(Qt::ArrowCursor);
    else if (tool == ToolPen || tool == ToolHighlighter)
        setCursor(m_penCursor);
    else if (tool == ToolEraser)
        setCursor(m_eraserCursor);
    else if (tool == ToolText)
        setCursor(Qt::IBeamCursor);
    else if (tool == ToolLaser)
        setCursor(Qt::BlankCursor);  // the red dot is the pointer
    else
        setCursor(Qt::CrossCursor);
}

void BoardCanvas::setPage(int pageNo)
{
    if (pageNo == m_pageNo)
        return;
    // A stroke in progress stays in the old page and is finished by the next press there; a
    // rubbing in progress becomes its undo step now, so that it can still be undone; text being
    // typed is placed on the old page.
    endMovement();
    commitText();
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
    dropText();
    m_curRecord->clear();
}

PathItem BoardCanvas::typedText() const
{
    if (!m_textEdit || m_textEdit->text().isEmpty())
        return PathItem();
    QPen pen = m_curRecord->pen();
    pen.setWidth(0);
    return PathItem(toolshapes::textPath(m_textEdit->text(), m_textFont, m_textPos), pen, true);
}

void BoardCanvas::beginText(QPoint pos)
{
    dropText();
    m_textPos = pos;
    m_textFont = toolshapes::textFont(m_curRecord->pen().width());
    auto *edit = new QLineEdit(this);
    edit->setObjectName(QStringLiteral("edit_board_text"));
    edit->setFont(m_textFont);
    const QColor colour = m_curRecord->pen().color();
    edit->setStyleSheet(QStringLiteral("QLineEdit { background: transparent; color: %1; "
                                       "border: %2px dashed %1; padding: 0px; }")
                            .arg(colour.name())
                            .arg(kEditBorder));
    const QFontMetrics metrics(m_textFont);
    const int height = metrics.height() + 2 * kEditBorder + 2;
    const auto fit = [this, edit, metrics, height] {
        const int room = qMax(0, width() - edit->x());
        edit->resize(qMin(room, metrics.horizontalAdvance(edit->text()) + metrics.height() +
                                    2 * (kEditBorder + kEditTextMargin)),
                     height);
    };
    // Placed so that the text inside starts where it will be placed: the edit centres its line
    // in its height.
    edit->move(pos - QPoint(kEditBorder + kEditTextMargin,
                            kEditBorder + (height - 2 * kEditBorder - metrics.height() + 1) / 2));
    fit();
    connect(edit, &QLineEdit::textChanged, this, [this, fit] {
        fit();
        update();  // the whiteboard's recording shows the text while it is typed
    });
    connect(edit, &QLineEdit::editingFinished, this, &BoardCanvas::commitText);
    edit->installEventFilter(this);
    m_textEdit = edit;
    setTakesKeyboard(true);
    edit->show();
    edit->setFocus(Qt::MouseFocusReason);
}

void BoardCanvas::commitText()
{
    if (!m_textEdit)
        return;
    const QString text = m_textEdit->text();
    dropText();
    m_curRecord->addText(text, m_textFont, m_textPos);
}

void BoardCanvas::dropText()
{
    if (!m_textEdit)
        return;
    QLineEdit *edit = m_textEdit;
    m_textEdit = nullptr;
    edit->disconnect(this);
    edit->removeEventFilter(this);
    edit->hide();
    edit->deleteLater();
    setTakesKeyboard(false);
    update();
}

void BoardCanvas::setTakesKeyboard(bool takes)
{
    if (!isWindow())
        return;
    if (takes) {
        if (!windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus))
            return;
        m_refusedFocus = true;
    } else {
        if (!m_refusedFocus)
            return;
        m_refusedFocus = false;
    }
    const Qt::WindowFlags flags = windowFlags().setFlag(Qt::WindowDoesNotAcceptFocus, !takes);
    overrideWindowFlags(flags);
    if (QWindow *handle = windowHandle())
        handle->setFlags(flags);
    if (takes)
        activateWindow();
    else if (parentWidget())
        parentWidget()->window()->activateWindow();  // the keys go back to the window below
}

bool BoardCanvas::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_textEdit && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape) {
        dropText();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void BoardCanvas::moveLaser(QPointF pos)
{
    const QRectF before = m_laser.bounds();
    m_laser.add(pos, m_clock.elapsed());
    update(before.united(m_laser.bounds()).toAlignedRect());
    if (!m_laserTimer.isActive())
        m_laserTimer.start();
}

void BoardCanvas::fadeLaser()
{
    const QRectF before = m_laser.bounds();
    if (!m_laser.prune(m_clock.elapsed()))
        m_laserTimer.stop();
    // The trail's faded parts are painted anew (or away) every step.
    update(before.toAlignedRect());
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
    const QPoint pos = event->position().toPoint();
    if (tool == ToolLaser) {
        moveLaser(event->position());
        return;
    }
    if (tool == ToolText) {
        // A click while typing places the text; the next click begins new text.
        if (m_textEdit)
            commitText();
        else
            beginText(pos);
        return;
    }
    commitText();
    m_pressed = true;
    m_pressButton = event->button();
    m_pressTool = tool;
    update(m_curRecord->press(pos, tool));
}

void BoardCanvas::mouseMoveEvent(QMouseEvent *event)
{
    if (m_drawEnabled && m_settings && m_settings->tool == ToolLaser) {
        event->accept();
        moveLaser(event->position());
        return;
    }
    if (!m_pressed || !m_drawEnabled) {
        event->ignore();
        return;
    }
    event->accept();
    const QPoint pos = event->position().toPoint();
    if (m_pressTool == ToolPen || m_pressTool == ToolHighlighter)
        update(m_curRecord->addPoint(pos));
    else if (isShapeTool(m_pressTool))
        update(m_curRecord->dragShape(pos, event->modifiers().testFlag(Qt::ShiftModifier)));
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
    if (isShapeTool(m_pressTool)) {
        // The shape ends where the button was let go, Shift held or not.
        update(m_curRecord->dragShape(event->position().toPoint(),
                                      event->modifiers().testFlag(Qt::ShiftModifier)));
    }
    if (m_pressTool == ToolEraser)
        m_curRecord->commitErase();
    else
        m_curRecord->commitPath();
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
        drawStrokeInArea(painter, current, m_curRecord->curPen(), event->rect());
    }
    if (!m_laser.isEmpty())
        m_laser.paint(painter, m_clock.elapsed());
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
            drawItemInArea(painter, item, areaF);
    }
}
