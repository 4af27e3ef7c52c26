#include "core/storage/saveopenmanager.h"
#include "core/platform/filesync.h"

#include "core/project/projectdata.h"
#include "core/project/recentfiles.h"
#include "core/storage/projectindex.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFutureWatcher>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QtConcurrent>

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

QString withoutTrailingSlash(const QString &dir)
{
    return QDir::cleanPath(QDir(dir).absolutePath());
}

bool sameFolder(const QString &a, const QString &b)
{
    const QString ca = QFileInfo(a).canonicalFilePath();
    return !ca.isEmpty() && ca == QFileInfo(b).canonicalFilePath();
}

std::function<void(SaveOpenManager::SaveStep)> &stepHook()
{
    static std::function<void(SaveOpenManager::SaveStep)> hook;
    return hook;
}

void reachStep(SaveOpenManager::SaveStep step)
{
    if (stepHook())
        stepHook()(step);
}

}  // namespace

void SaveOpenManager::setStepHook(std::function<void(SaveStep)> hook)
{
    stepHook() = std::move(hook);
}

SaveOpenManager::SaveOpenManager(QObject *parent, ProjectData *project)
    : LsnPacker(parent), m_project(project)
{
}

SaveOpenManager::~SaveOpenManager()
{
    // The worker calls into this object; it must be done before the object goes.
    m_future.waitForFinished();
}

QFileInfoList SaveOpenManager::filesToPack(const QString &projectDir, const QList<AVData> &clips)
{
    const QFileInfoList entries = QDir(projectDir).entryInfoList();
    QFileInfoList first, rest;
    for (qsizetype i = entries.size() - 1; i >= 0; --i) {
        const QFileInfo &entry = entries.at(i);
        const QString name = entry.fileName();
        // The cover and the index lead, so that an open can show the project early.
        if (name == QLatin1String("Cover.png") || name == QLatin1String("pro.lsnc")) {
            first.insert(name == QLatin1String("Cover.png") ? 0 : first.size(), entry);
            continue;
        }
        bool take = false;
        // A clip without a file name would otherwise match every entry of the folder.
        for (int k = 0; !take && k < clips.size(); ++k)
            take = !clips.at(k).fileName.isEmpty() && name.startsWith(clips.at(k).fileName);
        if (take)
            rest.append(entry);
    }
    return first + rest;
}

bool SaveOpenManager::copyDirectory(const QString &from, const QString &to, bool intoSubFolder)
{
    QDir source(from);
    if (!source.exists())
        return false;
    QDir target(to);
    if (!target.exists() && !QDir().mkpath(to))
        return false;
    if (intoSubFolder) {
        const QString sub = source.dirName();
        if (!target.exists(sub) && !target.mkdir(sub))
            return false;
        if (!target.cd(sub))
            return false;
    }
    bool ok = true;
    const QFileInfoList entries =
        source.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo &entry : entries) {
        if (entry.isDir()) {
            ok = copyDirectory(entry.filePath(), target.path(), true) && ok;
        } else if (!QFile::copy(entry.filePath(), target.filePath(entry.fileName()))) {
            qWarning() << "copyDirectory: cannot copy" << entry.filePath();
            ok = false;
        }
    }
    return ok;
}

void SaveOpenManager::failLater(const QString &reason)
{
    setErrorText(reason);
    QMetaObject::invokeMethod(
        this, [this] { emit sig_SaveFinished(false); }, Qt::QueuedConnection);
}

void SaveOpenManager::saveProject(const QString &path, bool saveAs)
{
    const QString absolute = QFileInfo(path).absoluteFilePath();
    // What an interrupted earlier save of this file left behind; removed first, also when this
    // save fails early, and so that its room on the disk is free for the new one.
    QFile::remove(tempPath(absolute));
    ProjectData *project = m_project;
    if (!project->writeIndex()) {
        failLater(tr("无法写入项目索引：%1").arg(project->indexFilePath()));
        return;
    }
    const QString tmp = tempPath(absolute);
    const QFileInfoList files = filesToPack(project->projectDir(), project->avDatas());

    // A save-as copies the project folder into the new name's working folder, unless the
    // project already lives there (a second save-as to the same name).
    const QString copyTo = withoutTrailingSlash(dataDir(absolute));
    const QString copyFrom =
        saveAs && !sameFolder(project->projectDir(), copyTo) ? project->projectDir() : QString();

    auto *watcher = new QFutureWatcher<SaveResult>(this);
    connect(watcher, &QFutureWatcher<SaveResult>::finished, this,
            [this, watcher, absolute, saveAs, copyTo] {
                finishSave(watcher->result(), absolute, saveAs, copyTo);
                watcher->deleteLater();
            });
    const QFuture<SaveResult> future =
        QtConcurrent::run(QThreadPool::globalInstance(), [this, files, tmp, copyFrom, copyTo] {
            return saveInThread(files, tmp, copyFrom, copyTo);
        });
    m_future = future;
    watcher->setFuture(future);
}

SaveOpenManager::SaveResult SaveOpenManager::saveInThread(const QFileInfoList &files,
                                                          const QString &tmp,
                                                          const QString &copyFrom,
                                                          const QString &copyTo)
{
    SaveResult result;
    result.ok = compressFiles(files, tmp);
    if (result.ok) {
        reachStep(SaveStep::Packed);
        // The new file must be whole on the disk before it takes the old one's name.
        result.ok = syncToDisk(tmp);
        if (!result.ok) {
            setErrorText(tr("无法写入文件：%1").arg(tmp));
            QFile::remove(tmp);
        }
    }
    if (result.ok)
        reachStep(SaveStep::Synced);
    if (!result.ok || copyFrom.isEmpty())
        return result;
    if (!QDir().mkpath(QFileInfo(copyTo).absolutePath())) {
        setErrorText(tr("无法创建文件夹：%1").arg(QFileInfo(copyTo).absolutePath()));
        QFile::remove(tmp);
        result.ok = false;
        return result;
    }
    QTemporaryDir staged(copyTo + QStringLiteral(".copy-XXXXXX"));
    if (!staged.isValid() || !copyDirectory(copyFrom, staged.path(), false)) {
        // Nothing of this save is kept: the packed file would name a project whose working
        // folder could not be made.
        setErrorText(tr("无法复制项目文件夹：%1").arg(copyFrom));
        QFile::remove(tmp);
        result.ok = false;
        return result;
    }
    staged.setAutoRemove(false);
    result.stagedCopy = staged.path();
    return result;
}

bool SaveOpenManager::replacePackedFile(const QString &tmp, const QString &path)
{
    // One rename over the old file: at every moment `path` holds the whole old file or the
    // whole new one, whenever the program is stopped.
    if (std::rename(QFile::encodeName(tmp).constData(), QFile::encodeName(path).constData()) != 0) {
        setErrorText(tr("无法替换文件：%1").arg(path));
        return false;
    }
    reachStep(SaveStep::Replaced);
    if (!syncToDisk(QFileInfo(path).absolutePath()))
        qWarning() << "saveProject: cannot sync the folder of" << path;
    // A backup that an earlier version of the program left when it was stopped while saving.
    QFile::remove(backupPath(path));
    return true;
}

void SaveOpenManager::finishSave(const SaveResult &result, const QString &path, bool saveAs,
                                 const QString &copyTo)
{
    bool ok = result.ok;
    if (ok && !result.stagedCopy.isEmpty() && !replaceFolder(result.stagedCopy, copyTo)) {
        setErrorText(tr("无法替换文件夹：%1").arg(copyTo));
        QFile::remove(tempPath(path));
        ok = false;
    }
    if (!ok) {
        // The teacher chose `path`; the half-written file beside it is the program's own.
        showPathInError(tempPath(path), path);
        if (!result.stagedCopy.isEmpty())
            QDir(result.stagedCopy).removeRecursively();
        emit sig_SaveFinished(false);
        return;
    }
    if (!replacePackedFile(tempPath(path), path)) {
        emit sig_SaveFinished(false);
        return;
    }
    ProjectData *project = m_project;
    if (saveAs) {
        project->setFilePath(path);
        project->setProjectDir(dataDir(path));
    }
    addRecent(path, project->projectDir());
    emit sig_SaveFinished(true);
}

void SaveOpenManager::openProject(const QString &path)
{
    // The unpack replaces the file's working folder, which may be the open project's.
    m_project->waitForIndexWrites();
    const QString absolute = QFileInfo(path).absoluteFilePath();
    const QString workDir = dataDir(absolute);
    auto *watcher = new QFutureWatcher<OpenResult>(this);
    connect(watcher, &QFutureWatcher<OpenResult>::finished, this,
            [this, watcher, absolute, workDir] {
                finishOpen(watcher->result(), absolute, workDir);
                watcher->deleteLater();
            });
    const QFuture<OpenResult> future =
        QtConcurrent::run(QThreadPool::globalInstance(),
                          [this, absolute, workDir] { return openInThread(absolute, workDir); });
    m_future = future;
    watcher->setFuture(future);
}

bool SaveOpenManager::takeProjectRead(QList<AVData> *clips, QImage *cover, int waitMs)
{
    QMutexLocker lock(&m_readMutex);
    const QDeadlineTimer deadline(waitMs);
    while (!m_read.read && !m_read.unpackEnded && !deadline.hasExpired())
        m_readDone.wait(&m_readMutex, deadline);
    if (!m_read.read || m_read.handedOver)
        return false;
    m_read.handedOver = true;
    *clips = std::exchange(m_read.clips, {});
    *cover = std::exchange(m_read.cover, {});
    return true;
}

SaveOpenManager::OpenResult SaveOpenManager::openInThread(const QString &path,
                                                          const QString &workDir)
{
    OpenResult result;
    bool indexRead = false;
    QImage cover;
    const auto written = [&](const QString &member) {
        const QString name = QFileInfo(member).fileName();
        if (indexRead)
            return;
        if (name == QLatin1String("Cover.png")) {
            cover = QImage(member);
            return;
        }
        QString error;
        if (name != QLatin1String("pro.lsnc") ||
            !readProjectIndexFile(member, &result.clips, &error))
            return;  // a bad index fails the open below
        indexRead = true;
        QList<AVData> clips;
        for (const QJsonObject &entry : std::as_const(result.clips))
            clips << ProjectData::clipInFolder(entry, workDir);
        {
            QMutexLocker lock(&m_readMutex);
            m_read.clips = std::move(clips);
            m_read.cover = cover;
            m_read.read = true;
        }
        m_readDone.wakeAll();
        // Emitted from the main thread: the editor that takes over an unpack started before it
        // was built connects only then.
        QMetaObject::invokeMethod(
            this,
            [this] {
                QList<AVData> clips;
                QImage cover;
                if (takeProjectRead(&clips, &cover, 0))
                    emit sig_ProjectRead(clips, cover);
            },
            Qt::QueuedConnection);
    };
    result.ok = unpackAndReplace(
        path, workDir,
        [this, &result, &indexRead](const QString &unpacked) {
            QString error;
            if (indexRead ||
                readProjectIndexFile(QDir(unpacked).filePath(QStringLiteral("pro.lsnc")),
                                     &result.clips, &error))
                return true;
            setErrorText(error);
            return false;
        },
        written);
    {
        QMutexLocker lock(&m_readMutex);
        m_read.unpackEnded = true;
    }
    m_readDone.wakeAll();
    return result;
}

void SaveOpenManager::finishOpen(const OpenResult &result, const QString &path,
                                 const QString &workDir)
{
    if (!result.ok) {
        qWarning() << "openProject failed:" << path << errorText();
        emit sig_OpenFailed();
        return;
    }
    ProjectData *project = m_project;
    project->clear();
    project->setFilePath(path);
    project->setProjectDir(workDir);
    QVariantList clips;
    for (const QJsonObject &clip : result.clips)
        clips.append(QVariant(clip));
    project->fromVariant(clips);
    // The editor shows the project first; the recent list (a settings file and a copy of the
    // cover on the disk) follows.
    emit sig_OpenSuccess();
    addRecent(path, workDir);
}

void SaveOpenManager::addRecent(const QString &path, const QString &projectDir)
{
    RecentFile entry(path);
    const QString cover = QDir(projectDir).filePath(QStringLiteral("Cover.png"));
    if (QFileInfo(cover).isFile()) {
        QDir().mkpath(entry.cacheDir);
        // The project's cover may have changed since it was last cached.
        QFile::remove(entry.coverPath());
        QFile::copy(cover, entry.coverPath());
    }
    RecentFiles::instance()->add(entry);
}
