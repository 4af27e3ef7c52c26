#pragma once
// Keeps the working folder of the open project describing itself while the editor works in it:
// the "in use" mark (WorkingFolderMark) follows the project's folder and packed file path, and
// the index "pro.lsnc" is rewritten (atomically, ProjectData::writeIndexInBackground: a worker
// waits for the disk) kWriteDelayMs after every change of the clip list, whoever made it: an
// edit, an import, a recording window inserting its clip at the playhead, the engine finishing
// or splitting it. So a program killed at any moment leaves a folder whose index names its
// clips (those of a change made just before may be missing), and the next
// start can offer it back (ProjectRecovery). While the project has no clips there is nothing to
// offer back: the mark is then left to the system to write, so that an editor coming up or an
// open starting waits for no disk, and the first clips put it on the disk with the index.
//
// Created by the editor when it takes its folder; destroying it waits for the index writes and
// removes the mark (the editor then removes the folder). Main thread only, like ProjectData.
#include "core/platform/filesync.h"

#include <QObject>
#include <QString>

class ProjectData;
class QTimer;

class ProjectFolderKeeper : public QObject
{
    Q_OBJECT
public:
    // Longest time between a change of the clip list and the index on disk.
    static constexpr int kWriteDelayMs = 200;

    explicit ProjectFolderKeeper(ProjectData *project, QObject *parent = nullptr);
    ~ProjectFolderKeeper() override;

    // Writes a pending index now.
    void flush();

private:
    void onFolderChanged();
    void scheduleWrite();
    void takeFolder(const QString &folder);
    void writeMark();

    ProjectData *m_project;
    QTimer *m_timer;
    QString m_folder;
    QString m_filePath;
    Durability m_markDurability = Durability::ToDisk;
};
