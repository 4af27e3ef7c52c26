#include "ui/timeline/changeavdatascommand.h"

#include "core/project/projectdata.h"

ChangeAvDatasCommand::ChangeAvDatasCommand(ProjectData *project, const QList<AVData> &before,
                                           const QList<AVData> &after,
                                           std::function<void()> refresh, QUndoCommand *parent)
    : QUndoCommand(parent), m_project(project), m_before(before), m_after(after),
      m_refresh(std::move(refresh))
{
}

void ChangeAvDatasCommand::undo()
{
    apply(m_before);
}
void ChangeAvDatasCommand::redo()
{
    apply(m_after);
}

void ChangeAvDatasCommand::apply(const QList<AVData> &clips)
{
    // Clips compare equal by uuid alone; an edit that changed a clip's span but kept its uuid
    // must still be put back, so every value is compared here.
    if (!sameClips(m_project->avDatas(), clips))
        m_project->setAvDatas(clips);
    if (m_refresh)
        m_refresh();
}

bool ChangeAvDatasCommand::sameClips(const QList<AVData> &a, const QList<AVData> &b)
{
    if (a.size() != b.size())
        return false;
    for (int i = 0; i < a.size(); ++i) {
        const AVData &x = a.at(i);
        const AVData &y = b.at(i);
        if (x.uuid != y.uuid || x.title != y.title || x.fileName != y.fileName ||
            x.filePath != y.filePath || x.duration != y.duration || x.videoWidth != y.videoWidth ||
            x.videoHeight != y.videoHeight || x.position != y.position ||
            x.beginTime != y.beginTime || x.endTime != y.endTime)
            return false;
    }
    return true;
}
