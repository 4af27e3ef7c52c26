#pragma once
// Undo step of one pen stroke: redo puts the page's strokes at the time of the stroke plus the
// stroke, undo the same list without it. Main thread only.
#include "ui/board/pathitem.h"

#include <QList>
#include <QPointer>
#include <QUndoCommand>
#include <QWidget>

class PathRecord;

class PathAddCommand : public QUndoCommand
{
public:
    PathAddCommand(QWidget *canvas, PathRecord *record, const PathItem &item,
                   QUndoCommand *parent = nullptr);
    void undo() override;
    void redo() override;

private:
    QPointer<QWidget> m_canvas;
    PathRecord *m_record;
    QList<PathItem> m_paths;  // the page's list at creation plus the new stroke
};
