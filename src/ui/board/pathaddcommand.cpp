#include "ui/board/pathaddcommand.h"

#include "ui/board/pathrecord.h"

PathAddCommand::PathAddCommand(QWidget *canvas, PathRecord *record, const PathItem &item,
                               QUndoCommand *parent)
    : PathListCommand(canvas, record, record->paths() + QList<PathItem>{item}, parent)
{
}
