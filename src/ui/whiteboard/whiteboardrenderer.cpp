#include "ui/whiteboard/whiteboardrenderer.h"

#include "core/record/scenepicturesource.h"
#include "ui/board/boardcanvas.h"
#include "ui/board/pathrecord.h"

#include <QPainter>

#include <algorithm>
#include <cstring>

namespace {
const QColor kPointerFill(0xf2, 0x73, 0x3d);
constexpr qreal kPointerRadius = 7;

void drawItem(QPainter &painter, const PathItem &item)
{
    if (item.filled)
        painter.fillPath(item.path, item.pen.color());
    else
        painter.strokePath(item.path, item.pen);
}
}  // namespace

WhiteboardRenderer::WhiteboardRenderer(WhiteboardView *view,
                                       std::shared_ptr<ScenePictureSource> source, QObject *parent)
    : QObject(parent), m_view(view), m_source(std::move(source)), m_size(view->pictureSize())
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &WhiteboardRenderer::onTimer);
    connect(view, &WhiteboardView::sig_Changed, this, &WhiteboardRenderer::onChanged);
}

void WhiteboardRenderer::onChanged()
{
    m_cadence.changed(PictureSource::captureClockUs());
    if (m_timer.isActive())
        return;
    const qint64 waitUs = m_cadence.dueUs() - PictureSource::captureClockUs();
    // Drawn after the event that changed the board has been handled to its end.
    m_timer.start(int(std::clamp<qint64>((waitUs + 999) / 1000, 0, 1000)));
}

void WhiteboardRenderer::onTimer()
{
    const qint64 stamp = m_cadence.take(PictureSource::captureClockUs());
    if (stamp < 0) {
        if (m_cadence.dueUs() != PictureCadence::kNever)
            onChanged();
        return;
    }
    renderAndPush(stamp);
}

void WhiteboardRenderer::renderNow()
{
    // Drawn at once, whatever the spacing: the page the teacher asked for comes first.
    const qint64 stamp = std::max(PictureSource::captureClockUs(), m_cadence.lastSentUs() + 1);
    m_timer.stop();
    m_cadence.sentAt(stamp);
    renderAndPush(stamp);
}

void WhiteboardRenderer::renderAndPush(qint64 stamp)
{
    const QPair<int, int> rows = render();
    if (m_frame.isNull())
        return;
    ++m_rendered;
    m_source->pushRows(m_frame, rows.first, rows.second, stamp);
}

QRect WhiteboardRenderer::toPicture(const QRectF &board) const
{
    const QSize size = m_view->canvas()->size();
    if (board.isEmpty() || size.width() <= 0 || size.height() <= 0)
        return QRect();
    const qreal sx = qreal(m_size.width()) / size.width();
    const qreal sy = qreal(m_size.height()) / size.height();
    // Antialiased edges reach a pixel beyond the shape.
    return QRectF(board.x() * sx, board.y() * sy, board.width() * sx, board.height() * sy)
        .toAlignedRect()
        .adjusted(-2, -2, 2, 2);
}

QRect WhiteboardRenderer::strokeRect(const QPainterPath &path, const QPen &pen) const
{
    const qreal reach = pen.widthF() / 2 + 1;
    return toPicture(path.controlPointRect().adjusted(-reach, -reach, reach, reach));
}

void WhiteboardRenderer::updateBase()
{
    BoardCanvas *canvas = m_view->canvas();
    const PathRecord *record = canvas->curRecord();
    const QList<PathItem> &paths = record->paths();
    const bool sameScene = !m_base.isNull() && m_baseRecord == record &&
                           m_baseLook == m_view->pageLook() && m_baseCanvasSize == canvas->size();
    // Strokes only added since: drawn onto the kept picture. Anything else: drawn anew.
    bool appended = sameScene && paths.size() >= m_baseStrokes.size();
    for (int i = 0; appended && i < m_baseStrokes.size(); ++i)
        appended = paths.at(i).id == m_baseStrokes.at(i);
    if (appended && paths.size() == m_baseStrokes.size())
        return;
    if (m_base.isNull())
        m_base = QImage(m_size, QImage::Format_RGB32);
    QPainter painter(&m_base);
    int from = 0;
    if (!appended) {
        m_view->paintPage(painter, QRectF(QPointF(0, 0), QSizeF(m_size)));
        m_baseStrokes.clear();
        m_changed = m_base.rect();
    } else {
        from = m_baseStrokes.size();
    }
    const QSize size = canvas->size();
    if (size.width() > 0 && size.height() > 0)
        painter.scale(qreal(m_size.width()) / size.width(), qreal(m_size.height()) / size.height());
    painter.setRenderHint(QPainter::Antialiasing);
    for (int i = from; i < paths.size(); ++i) {
        drawItem(painter, paths.at(i));
        m_changed |= strokeRect(paths.at(i).path, paths.at(i).pen);
        m_baseStrokes.append(paths.at(i).id);
    }
    m_baseRecord = record;
    m_baseLook = m_view->pageLook();
    m_baseCanvasSize = canvas->size();
    m_baseChanged = true;
}

bool WhiteboardRenderer::updateLive()
{
    BoardCanvas *canvas = m_view->canvas();
    const PathRecord *record = canvas->curRecord();
    const QPainterPath &path = record->curPath();
    const QSize size = canvas->size();
    if (path.isEmpty() || size.width() <= 0 || size.height() <= 0) {
        if (m_liveElements > 0)
            m_changed |= m_liveDrawn;  // the base is shown again where the stroke was
        m_liveElements = 0;
        m_liveDrawn = QRect();
        return false;
    }
    const int count = path.elementCount();
    // The same pen stroke, grown by straight segments: only those are drawn. Anything else (a
    // new stroke, another page, a changed base, a shape dragged anew, a translucent
    // highlighter whose pieces would darken where they meet): the stroke is drawn whole over
    // the base, which is put back first where the stroke was before.
    bool grown = !m_baseChanged && m_liveElements > 0 && m_liveRecord == record &&
                 record->curTool() == ToolPen && count >= m_liveElements &&
                 QPointF(path.elementAt(0)) == m_liveStart && record->curPen() == m_livePen;
    for (int i = m_liveElements; grown && i < count; ++i)
        grown = path.elementAt(i).isLineTo();
    if (grown && count == m_liveElements)
        return true;
    QPainterPath part;
    if (grown) {
        part.moveTo(path.elementAt(m_liveElements - 1));
        for (int i = m_liveElements; i < count; ++i)
            part.lineTo(path.elementAt(i));
    } else {
        if (m_live.size() != m_base.size() || m_baseChanged || m_liveElements == 0) {
            if (m_live.size() != m_base.size())
                m_live = QImage(m_base.size(), QImage::Format_RGB32);
            std::memcpy(m_live.bits(), m_base.constBits(), size_t(m_base.sizeInBytes()));
        } else {
            // Only the rows the earlier stroke covered differ from the base.
            const QRect rows = m_liveDrawn & m_base.rect();
            if (!rows.isEmpty())
                std::memcpy(m_live.scanLine(rows.top()), m_base.constScanLine(rows.top()),
                            size_t(m_base.bytesPerLine()) * size_t(rows.height()));
        }
        m_changed |= m_liveDrawn;
        m_liveDrawn = QRect();
        part = path;
        m_baseChanged = false;
    }
    QPainter painter(&m_live);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(qreal(m_size.width()) / size.width(), qreal(m_size.height()) / size.height());
    QPen pen = record->curPen();
    if (grown)
        pen.setCapStyle(Qt::RoundCap);  // the pieces meet without a gap at the turns
    painter.strokePath(part, pen);
    const QRect drawn = strokeRect(part, pen);
    m_liveDrawn |= drawn;
    m_changed |= drawn;
    m_liveRecord = record;
    m_liveElements = count;
    m_liveStart = path.elementAt(0);
    m_livePen = record->curPen();
    return true;
}

QPair<int, int> WhiteboardRenderer::render()
{
    if (!m_view)
        return {0, 0};
    const bool first = m_frame.isNull();
    updateBase();
    const bool live = updateLive();
    const QImage &shown = live ? m_live : m_base;
    if (first) {
        m_frame = QImage(m_size, QImage::Format_RGB32);
        if (m_frame.isNull())
            return {0, 0};
        m_changed = m_frame.rect();
    }

    // What is drawn over the board, and where.
    const BoardCanvas *canvas = m_view->canvas();
    const QSize size = canvas->size();
    const bool laserOn = canvas->boardSettings() && canvas->drawEnabled() &&
                         canvas->boardSettings()->tool == ToolLaser;
    const PathItem typed = size.width() > 0 && size.height() > 0 ? canvas->typedText() : PathItem();
    const qint64 laserMs = canvas->laserClockMs();
    QRect overlay;
    if (!typed.path.isEmpty())
        overlay |= strokeRect(typed.path, typed.pen);
    if (!canvas->laser().isEmpty())
        overlay |= toPicture(canvas->laser().bounds());
    const QPointF pointer = m_view->pointer();
    const bool pointerShown = pointer.x() >= 0 && !laserOn;
    const QPointF centre(pointer.x() * m_size.width(), pointer.y() * m_size.height());
    if (pointerShown) {
        const qreal r = kPointerRadius + 2;
        overlay |= QRectF(centre.x() - r, centre.y() - r, 2 * r, 2 * r).toAlignedRect();
    }

    // The rows to bring up to date: the board's changes and the overlays, old and new.
    const QRect changed = (m_changed | m_overlay | overlay) & m_frame.rect();
    m_changed = QRect();
    m_overlay = overlay;
    if (changed.isEmpty())
        return {0, 0};
    const int top = changed.top() & ~1;
    const int bottom = std::min(m_size.height(), (changed.bottom() + 2) & ~1);
    std::memcpy(m_frame.scanLine(top), shown.constScanLine(top),
                size_t(shown.bytesPerLine()) * size_t(bottom - top));
    if (overlay.isEmpty())
        return {top, bottom};
    QPainter painter(&m_frame);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setClipRect(QRect(0, top, m_size.width(), bottom - top));
    if (size.width() > 0 && size.height() > 0) {
        painter.save();
        painter.scale(qreal(m_size.width()) / size.width(), qreal(m_size.height()) / size.height());
        if (!typed.path.isEmpty())
            drawItem(painter, typed);
        canvas->laser().paint(painter, laserMs);
        painter.restore();
    }
    if (pointerShown) {
        painter.setPen(QPen(Qt::white, 2));
        painter.setBrush(kPointerFill);
        painter.drawEllipse(centre, kPointerRadius, kPointerRadius);
    }
    return {top, bottom};
}
