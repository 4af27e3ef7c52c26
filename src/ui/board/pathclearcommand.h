#pragma once
// Undo step of clearing a page: redo removes every stroke, undo brings back the strokes the
// page had when the command was made. Main thread only.
#include "ui/board/pathitem.h"

#include <QList>
#include <QPointer>
#include <QUndoCommand>
#include <QWidget>

class PathRecord;

class PathClearCommand : public QUndoCommand
{
public:
    PathClearCommand(QWidget *canvas, PathRecord *record, QUndoCommand *parent = nullptr);
    void undo() override;
    void redo() override;

private:
    QPointer<QWidget> m_canvas;
    PathRecord *m_record;
    QList<PathItem> m_paths;
};
