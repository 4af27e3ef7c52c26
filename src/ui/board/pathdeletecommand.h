#pragma once
// Undo step of one eraser movement (press to release): redo puts the strokes left after
// erasing, undo the strokes of the page when the command was made. Main thread only.
#include "ui/board/pathlistcommand.h"

class PathDeleteCommand : public PathListCommand
{
public:
    PathDeleteCommand(QWidget *canvas, PathRecord *record, const QList<PathItem> &after,
                      QUndoCommand *parent = nullptr);
};
