#pragma once
// The undo command of every project-level edit: the project's clip list before and after.
// Redo puts `after` in place, undo puts `before` back; either way the editor then refreshes
// its views from the project. Main thread only (it changes ProjectData).
#include "core/project/avdata.h"

#include <QList>
#include <QUndoCommand>

#include <functional>

class ProjectData;

class ChangeAvDatasCommand : public QUndoCommand
{
public:
    ChangeAvDatasCommand(ProjectData *project, const QList<AVData> &before,
                         const QList<AVData> &after, std::function<void()> refresh,
                         QUndoCommand *parent = nullptr);

    void undo() override;
    void redo() override;

    // True when both lists hold the same clips with the same values, in the same order.
    static bool sameClips(const QList<AVData> &a, const QList<AVData> &b);

private:
    void apply(const QList<AVData> &clips);

    ProjectData *m_project;
    QList<AVData> m_before;
    QList<AVData> m_after;
    std::function<void()> m_refresh;
};
