#pragma once
// Undo step that changes the strokes of one page: redo puts `after`, undo the strokes the page
// had when the step was made. Each repaints only the area that changed. The base of the pen's
// and the eraser's steps. Main thread only.
#include "ui/board/pathitem.h"

#include <QList>
#include <QPointer>
#include <QUndoCommand>
#include <QWidget>

class PathRecord;

class PathListCommand : public QUndoCommand
{
public:
    PathListCommand(QWidget *canvas, PathRecord *record, const QList<PathItem> &after,
                    QUndoCommand *parent = nullptr);
    void undo() override;
    void redo() override;

private:
    QPointer<QWidget> m_canvas;
    PathRecord *m_record;
    QList<PathItem> m_before;
    QList<PathItem> m_after;
};
