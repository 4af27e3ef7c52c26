#include "ui/board/pathclearcommand.h"

#include "ui/board/pathrecord.h"

#include <QWidget>

namespace {
void repaint(QWidget *canvas, const QRect &area)
{
    if (canvas && !area.isEmpty())
        canvas->update(area);
}
}  // namespace

PathClearCommand::PathClearCommand(QWidget *canvas, PathRecord *record, QUndoCommand *parent)
    : QUndoCommand(parent), m_canvas(canvas), m_record(record), m_paths(record->paths())
{
}

void PathClearCommand::undo()
{
    repaint(m_canvas, m_record->setPaths(m_paths));
}

void PathClearCommand::redo()
{
    repaint(m_canvas, m_record->setPaths({}));
}
