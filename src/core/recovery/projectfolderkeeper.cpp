#include "core/recovery/projectfolderkeeper.h"

#include "core/project/projectdata.h"
#include "core/recovery/workingfoldermark.h"

#include <QDebug>
#include <QDir>
#include <QTimer>

namespace {
QString normalFolder(const QString &dir)
{
    return dir.isEmpty() ? QString() : QDir::cleanPath(QDir(dir).absolutePath());
}
}  // namespace

ProjectFolderKeeper::ProjectFolderKeeper(ProjectData *project, QObject *parent)
    : QObject(parent), m_project(project), m_timer(new QTimer(this))
{
    m_timer->setSingleShot(true);
    m_timer->setInterval(kWriteDelayMs);
    connect(m_timer, &QTimer::timeout, this, &ProjectFolderKeeper::flush);
    connect(project, &ProjectData::sig_ClipsChanged, this, &ProjectFolderKeeper::scheduleWrite);
    connect(project, &ProjectData::sig_FolderChanged, this, &ProjectFolderKeeper::onFolderChanged);
    onFolderChanged();
    flush();
}

ProjectFolderKeeper::~ProjectFolderKeeper()
{
    m_timer->stop();
    // The folder may go next: nothing is written into it afterwards.
    m_project->waitForIndexWrites();
    if (!m_folder.isEmpty())
        WorkingFolderMark::remove(m_folder, m_markDurability);
}

void ProjectFolderKeeper::takeFolder(const QString &folder)
{
    if (!m_folder.isEmpty())
        WorkingFolderMark::remove(m_folder, m_markDurability);
    m_folder = folder;
    m_filePath = m_project->filePath();
    if (m_folder.isEmpty())
        return;
    QDir().mkpath(m_folder);
    writeMark();
}

void ProjectFolderKeeper::writeMark()
{
    m_markDurability = m_project->count() > 0 ? Durability::ToDisk : Durability::Lazily;
    WorkingFolderMark::forThisProcess(m_filePath).write(m_folder, m_markDurability);
}

void ProjectFolderKeeper::onFolderChanged()
{
    const QString folder = normalFolder(m_project->projectDir());
    if (folder != m_folder) {
        takeFolder(folder);
        scheduleWrite();
    } else if (m_project->filePath() != m_filePath && !m_folder.isEmpty()) {
        m_filePath = m_project->filePath();
        writeMark();
    }
}

void ProjectFolderKeeper::scheduleWrite()
{
    // Not restarted by later changes: a recording that changes the list often still reaches
    // the disk within the delay.
    if (!m_timer->isActive())
        m_timer->start();
}

void ProjectFolderKeeper::flush()
{
    m_timer->stop();
    // A project between two folders (cleared for an open) has nothing to describe.
    if (m_folder.isEmpty() || normalFolder(m_project->projectDir()) != m_folder ||
        !QDir(m_folder).exists())
        return;
    // The mark first: an index naming clips is offered back only beside a mark.
    if (m_project->count() > 0 && m_markDurability == Durability::Lazily)
        writeMark();
    // The disk is waited for on a worker; a failed write says so in the log.
    m_project->writeIndexInBackground();
}
