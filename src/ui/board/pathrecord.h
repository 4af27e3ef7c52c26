#pragma once
// The drawing of one page of the board: finished strokes, the stroke being drawn and the page's
// undo stack. Main thread only.
//
// Besides the strokes the record keeps the area of the canvas whose finished strokes changed
// since the canvas last took it (takeDirtyRect), so that the canvas redraws only that part of
// its picture of the finished strokes.
#include "ui/board/pathitem.h"

#include <QFont>
#include <QList>
#include <QObject>
#include <QPainterPath>
#include <QPen>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QUndoStack>
#include <QWidget>

class PathRecord : public QObject
{
    Q_OBJECT
public:
    // `canvas` is the widget to repaint; it also parents the undo stack.
    PathRecord(QWidget *canvas, QObject *parent = nullptr);
    ~PathRecord() override;

    QUndoStack *undoStack() const { return m_undoStack; }
    const QList<PathItem> &paths() const { return m_paths; }
    const QPainterPath &curPath() const { return m_curPath; }
    // The pen the teacher chose, and the one the stroke or shape in progress is drawn with
    // (the highlighter's differs).
    const QPen &pen() const { return m_pen; }
    const QPen &curPen() const { return m_curPen; }
    // The tool (BoardTool) of the last press.
    int curTool() const { return m_curTool; }

    void setPen(const QPen &pen);

    // Replaces the finished strokes (the undo commands do this). Returns the canvas area whose
    // strokes changed, for the caller to repaint: the strokes (by id) that only one of the two
    // lists holds. Strokes in both keep their order in every change the board makes.
    QRect setPaths(const QList<PathItem> &paths);

    // Pointer pressed with `tool` (BoardTool) at `pos`. Returns the canvas area to repaint.
    QRect press(QPoint pos, int tool);
    // Shape tool dragged to `p` (Shift held: `constrain`): the shape now goes from the press to
    // there. Returns the area to repaint.
    QRect dragShape(QPoint p, bool constrain);
    // Pen or highlighter moved to `p`: extends the stroke, filling in points every 10 pixels when
    // the movement is longer than 18. Returns the area to repaint.
    QRect addPoint(QPoint p);
    // Eraser at `p`: cuts every stroke by the eraser shape. Returns the area to repaint.
    QRect erase(QPoint p);
    // Finishes the stroke being drawn as one undo step (nothing when it has no line).
    void commitPath();
    // Makes everything rubbed out since the last press one undo step.
    void commitErase();
    // Places `text` in `font` with its box's top-left at `topLeft`, in the pen's colour, as one
    // undo step (nothing for empty text).
    void addText(const QString &text, const QFont &font, QPointF topLeft);
    // Removes every stroke of the page as one undo step (nothing when there is none).
    void clear();

    // Area whose finished strokes changed since the last call. Resets the area.
    QRect takeDirtyRect();
    // Forgets the changed area (the canvas has just drawn everything).
    void markClean();

private:
    void addDirty(const QRectF &r);

    QPainterPath m_curPath;
    QPen m_pen;
    QPen m_curPen;
    int m_curTool = 0;
    QPoint m_shapeStart;
    QList<PathItem> m_paths;
    QPointer<QUndoStack> m_undoStack;
    QPointer<QWidget> m_canvas;
    QList<PathItem> m_lastPaths;
    QPoint m_lastPoint{-1, -1};

    bool m_hasLastPoint = false;  // m_lastPoint was set by a press
    QRect m_dirty;
};
