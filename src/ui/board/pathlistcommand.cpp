#include "ui/board/pathlistcommand.h"

#include "ui/board/pathrecord.h"

namespace {
void repaint(QWidget *canvas, const QRect &area)
{
    if (canvas && !area.isEmpty())
        canvas->update(area);
}
}  // namespace

PathListCommand::PathListCommand(QWidget *canvas, PathRecord *record, const QList<PathItem> &after,
                                 QUndoCommand *parent)
    : QUndoCommand(parent), m_canvas(canvas), m_record(record), m_before(record->paths()),
      m_after(after)
{
}

void PathListCommand::undo()
{
    repaint(m_canvas, m_record->setPaths(m_before));
}

void PathListCommand::redo()
{
    repaint(m_canvas, m_record->setPaths(m_after));
}
