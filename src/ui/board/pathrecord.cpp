#include "ui/board/pathrecord.h"

#include "ui/board/boardsettings.h"
#include "ui/board/erasershape.h"
#include "ui/board/pathaddcommand.h"
#include "ui/board/pathclearcommand.h"
#include "ui/board/pathdeletecommand.h"
#include "ui/board/toolshapes.h"

#include <QDebug>
#include <QLineF>
#include <QSet>
#include <QUndoStack>
#include <QWidget>

namespace {
// Movements longer than this get points filled in, one every InterpolationStep pixels, so that
// the eraser (which looks at points) finds fast strokes.
constexpr qreal InterpolationThreshold = 18;
constexpr qreal InterpolationStep = 10;

QRect segmentArea(const QPointF &a, const QPointF &b, const QPen &pen)
{
    const qreal m = strokeMargin(pen);
    return QRectF(a, b).normalized().adjusted(-m, -m, m, m).toAlignedRect();
}

bool sameStrokes(const QList<PathItem> &a, const QList<PathItem> &b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (a.at(i).id != b.at(i).id)
            return false;
    }
    return true;
}
}  // namespace

PathRecord::PathRecord(QWidget *canvas, QObject *parent)
    : QObject(parent), m_undoStack(new QUndoStack(canvas)), m_canvas(canvas)
{
}

PathRecord::~PathRecord()
{
    // The stack's commands point at this record: they must not outlive it.
    delete m_undoStack.data();
}

void PathRecord::setPen(const QPen &pen)
{
    m_pen = pen;
    if (m_curPath.isEmpty())
        m_curPen = toolshapes::toolPen(m_curTool, pen);
    qDebug() << "PathRecord::setPen:color：" << pen.color() << ";width:" << pen.width();
}

QRect PathRecord::setPaths(const QList<PathItem> &paths)
{
    QSet<quint64> oldIds;
    oldIds.reserve(m_paths.size());
    for (const PathItem &item : std::as_const(m_paths))
        oldIds.insert(item.id);
    QSet<quint64> newIds;
    newIds.reserve(paths.size());
    QRectF changed;
    for (const PathItem &item : paths) {
        newIds.insert(item.id);
        if (!oldIds.contains(item.id))
            changed = changed.united(item.paintBounds());
    }
    for (const PathItem &item : std::as_const(m_paths)) {
        if (!newIds.contains(item.id))
            changed = changed.united(item.paintBounds());
    }
    m_paths = paths;
    addDirty(changed);
    return changed.toAlignedRect();
}

QRect PathRecord::press(QPoint pos, int tool)
{
    commitPath();
    m_lastPaths = m_paths;
    m_lastPoint = pos;
    m_hasLastPoint = true;
    m_curTool = tool;
    m_curPen = toolshapes::toolPen(tool, m_pen);
    m_shapeStart = pos;
    if (tool == ToolPen || tool == ToolHighlighter) {
        m_curPath.moveTo(pos);
        return segmentArea(pos, pos, m_curPen);
    }
    if (tool == ToolEraser)
        return erase(pos);
    return QRect();
}

QRect PathRecord::dragShape(QPoint p, bool constrain)
{
    const QPointF end = toolshapes::constrainedEnd(m_curTool, m_shapeStart, p, constrain);
    const qreal m = strokeMargin(m_curPen);
    const auto area = [m](const QPainterPath &path) {
        return path.isEmpty() ? QRectF() : path.controlPointRect().adjusted(-m, -m, m, m);
    };
    const QRectF before = area(m_curPath);
    m_curPath = toolshapes::shapePath(m_curTool, m_shapeStart, end, m_curPen.widthF());
    return before.united(area(m_curPath)).toAlignedRect();
}

QRect PathRecord::addPoint(QPoint p)
{
    if (m_curPath.elementCount() == 0) {
        // No press began this stroke (the page was switched during the movement): start here
        // rather than drawing a line from the origin.
        m_curPath.moveTo(p);
        m_lastPoint = p;
        m_hasLastPoint = true;
        return segmentArea(p, p, m_curPen);
    }
    const QPointF from = m_curPath.currentPosition();
    const QPointF to(p);
    const QLineF segment(QPointF(m_lastPoint), to);
    const qreal length = segment.length();
    if (length > InterpolationThreshold) {
        const qreal step = InterpolationStep / length;
        for (int k = 1;; ++k) {
            const qreal t = k * step;
            if (t >= 1 - 1e-9)
                break;
            m_curPath.lineTo(segment.pointAt(t));
        }
    }
    m_curPath.lineTo(to);
    m_lastPoint = p;
    return segmentArea(from, to, m_curPen);
}

QRect PathRecord::erase(QPoint p)
{
    const EraserShape shape(p, m_hasLastPoint ? &m_lastPoint : nullptr);
    m_lastPoint = p;
    m_hasLastPoint = true;

    QList<PathItem> out;
    out.reserve(m_paths.size() + 4);
    qreal margin = -1;
    for (const PathItem &item : std::as_const(m_paths)) {
        if (shape.cut(item, out))
            margin = qMax(margin, strokeMargin(item.pen));
    }
    if (margin < 0)
        return QRect();
    m_paths = out;
    const QRectF changed = shape.boundingRect().adjusted(-margin, -margin, margin, margin);
    addDirty(changed);
    return changed.toAlignedRect();
}

void PathRecord::commitPath()
{
    if (m_curPath.isEmpty()) {
        // A click without movement leaves only a move: no stroke.
        m_curPath.clear();
        return;
    }
    const PathItem item(m_curPath, m_curPen);
    m_curPath.clear();
    if (m_undoStack)
        m_undoStack->push(new PathAddCommand(m_canvas, this, item));
}

void PathRecord::commitErase()
{
    if (!m_undoStack)
        return;
    const QList<PathItem> after = m_paths;
    if (sameStrokes(after, m_lastPaths))
        return;  // nothing was rubbed out: an undo step that changes nothing would confuse
    // The command takes the list of the press as its "before". The canvas already shows
    // `after`, and pushing runs redo, which puts `after` back: nothing to repaint.
    m_paths = m_lastPaths;
    auto *command = new PathDeleteCommand(m_canvas, this, after);
    m_paths = after;
    m_undoStack->push(command);
}

void PathRecord::addText(const QString &text, const QFont &font, QPointF topLeft)
{
    if (text.trimmed().isEmpty() || !m_undoStack)
        return;
    QPen pen = m_pen;
    pen.setWidth(0);
    const PathItem item(toolshapes::textPath(text, font, topLeft), pen, true);
    m_undoStack->push(new PathAddCommand(m_canvas, this, item));
}

void PathRecord::clear()
{
    if (!m_paths.isEmpty() && m_undoStack)
        m_undoStack->push(new PathClearCommand(m_canvas, this));
}

QRect PathRecord::takeDirtyRect()
{
    const QRect r = m_dirty;
    m_dirty = QRect();
    return r;
}

void PathRecord::markClean()
{
    m_dirty = QRect();
}

void PathRecord::addDirty(const QRectF &r)
{
    if (!r.isEmpty())
        m_dirty = m_dirty.united(r.toAlignedRect());
}
