#include "ui/board/pathdeletecommand.h"

#include "ui/board/pathrecord.h"

#include <QWidget>

namespace {
void repaint(QWidget *canvas, const QRect &area)
{
    if (canvas && !area.isEmpty())
        canvas->update(area);
}
}  // namespace

PathDeleteCommand::PathDeleteCommand(QWidget *canvas, PathRecord *record,
                                     const QList<PathItem> &after, QUndoCommand *parent)
    : QUndoCommand(parent), m_canvas(canvas), m_record(record), m_before(record->paths()),
      m_after(after)
{
}

void PathDeleteCommand::undo()
{
    repaint(m_canvas, m_record->setPaths(m_before));
}

void PathDeleteCommand::redo()
{
    repaint(m_canvas, m_record->setPaths(m_after));
}
