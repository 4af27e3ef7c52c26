#include "ui/board/pathdeletecommand.h"

PathDeleteCommand::PathDeleteCommand(QWidget *canvas, PathRecord *record,
                                     const QList<PathItem> &after, QUndoCommand *parent)
    : PathListCommand(canvas, record, after, parent)
{
}
