#include "ui/board/pathaddcommand.h"

#include "ui/board/pathrecord.h"

#include <QWidget>

namespace {
void repaint(QWidget *canvas, const QRect &area)
{
    if (canvas && !area.isEmpty())
        canvas->update(area);
}
}  // namespace

PathAddCommand::PathAddCommand(QWidget *canvas, PathRecord *record, const PathItem &item,
                               QUndoCommand *parent)
    : QUndoCommand(parent), m_canvas(canvas), m_record(record), m_paths(record->paths())
{
    m_paths.append(item);
}

void PathAddCommand::undo()
{
    repaint(m_canvas, m_record->setPaths(m_paths.mid(0, m_paths.size() - 1)));
}

void PathAddCommand::redo()
{
    repaint(m_canvas, m_record->setPaths(m_paths));
}
