#pragma once
// Undo step of one eraser movement (press to release): redo puts the strokes left after
// erasing, undo the strokes of the page when the command was made. Main thread only.
#include "ui/board/pathitem.h"

#include <QList>
#include <QPointer>
#include <QUndoCommand>
#include <QWidget>

class PathRecord;

class PathDeleteCommand : public QUndoCommand
{
public:
    PathDeleteCommand(QWidget *canvas, PathRecord *record, const QList<PathItem> &after,
                      QUndoCommand *parent = nullptr);
    void undo() override;
    void redo() override;

private:
    QPointer<QWidget> m_canvas;
    PathRecord *m_record;
    QList<PathItem> m_before;
    QList<PathItem> m_after;
};
