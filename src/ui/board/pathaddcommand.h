#pragma once
// Undo step of one pen stroke: redo puts the page's strokes at the time of the stroke plus the
// stroke, undo the same list without it. Main thread only.
#include "ui/board/pathlistcommand.h"

class PathAddCommand : public PathListCommand
{
public:
    PathAddCommand(QWidget *canvas, PathRecord *record, const PathItem &item,
                   QUndoCommand *parent = nullptr);
};
