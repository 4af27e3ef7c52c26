#pragma once
// Saves the open project into a packed project file and opens one into the project, with the
// packing and unpacking on a worker of the global thread pool and the bookkeeping (index,
// file selection, renames, working folders, recent list, cover cache) on the main thread.
//
// One manager serves one save or one open and ends it with exactly one of sig_SaveFinished,
// sig_OpenFailed or sig_OpenSuccess. The progress signals (see lsnpacker.h for how sizes over
// 2 GiB are scaled) come from the worker and reach receivers queued.
//
// Saving writes "<file>_tmp", syncs it to the disk and renames it over the earlier file in one
// step, then syncs the folder: whenever the program is stopped, the file's path holds either
// the whole earlier file or the whole new one. A "<file>_tmp" left by an interrupted save is
// removed when that file is saved next. Saving as a new name also makes a fresh,
// complete copy of the project folder beside the new name's working folder, which replaces
// that folder only when the copy worked; the project moves there only after a good save.
//
// Opening unpacks into a new folder, reads and checks its "pro.lsnc" there, and only then
// replaces the file's working folder and the open project. A failed open changes neither.
// Files written by this program hold the cover and the index before the media, so the
// clips and the cover are known long before a large file is out: sig_ProjectRead hands them
// over (for a view only; nothing in the working folder is there yet) while the unpack goes on.
//
// Threads: construct, call saveProject/openProject and destroy on the main thread;
// copyDirectory may run on any thread.
#include "core/project/projectdata.h"
#include "core/storage/lsnpacker.h"

#include <QFileInfoList>
#include <QFuture>
#include <QImage>
#include <QJsonObject>
#include <QList>
#include <QMutex>
#include <QWaitCondition>

#include <functional>

class AVData;

class SaveOpenManager : public LsnPacker
{
    Q_OBJECT
public:
    // Saves and opens `project` (the program's open project unless told otherwise).
    explicit SaveOpenManager(QObject *parent, ProjectData *project = ProjectData::instance());
    ~SaveOpenManager() override;

    void saveProject(const QString &path, bool saveAs);
    void openProject(const QString &path);

    // Copies the entries of `from` into `to` (created when missing), or into a folder named
    // like `from` inside `to` when intoSubFolder is set. Sub-folders are copied recursively.
    // False when `from` is missing or any entry could not be copied (an existing target file
    // is left as it is and counts as a failure).
    static bool copyDirectory(const QString &from, const QString &to, bool intoSubFolder);

    // The files of the project folder that go into the packed file: "Cover.png", "pro.lsnc"
    // and every file whose name starts with a clip's file name (media, thumbnails, waveforms),
    // in this order: the cover, the index, then the rest.
    static QFileInfoList filesToPack(const QString &projectDir, const QList<AVData> &clips);

    // The temporary name a packed file is written under before it replaces the file, and the
    // backup name earlier versions of the program moved the old file to (removed when seen).
    static QString tempPath(const QString &path) { return QStringLiteral("%1_tmp").arg(path); }
    static QString backupPath(const QString &path) { return QStringLiteral("%1_tmp2").arg(path); }

    // The steps of replacing a packed file, for tests that stop a save between them: the
    // temporary file is written (worker), synced to the disk (worker), renamed over the file
    // (main thread, before the folder is synced).
    enum class SaveStep { Packed, Synced, Replaced };
    // Called at each step; set before the save starts. Empty by default.
    static void setStepHook(std::function<void(SaveStep)> hook);

    // What sig_ProjectRead hands over, taken at once by an editor that lays the project out
    // before its window first shows; the signal is then not emitted. Waits up to `waitMs` for
    // the worker to read the index. False when the index is not out by then or was handed over
    // already. Main thread.
    bool takeProjectRead(QList<AVData> *clips, QImage *cover, int waitMs);

signals:
    void sig_SaveFinished(bool success);
    void sig_OpenFailed();
    void sig_OpenSuccess();
    // During an open, before its outcome: the clips of the file's index (their paths in the
    // working folder the open fills) and its cover (null when the file holds none or the
    // index came first). At most once per open; on the main thread, through the event loop.
    void sig_ProjectRead(const QList<AVData> &clips, const QImage &cover);

private:
    struct SaveResult
    {
        bool ok = false;
        QString stagedCopy;  // a fresh copy of the project folder made for a save-as
    };
    struct OpenResult
    {
        bool ok = false;
        QList<QJsonObject> clips;
    };

    SaveResult saveInThread(const QFileInfoList &files, const QString &tmp, const QString &copyFrom,
                            const QString &copyTo);
    OpenResult openInThread(const QString &path, const QString &workDir);
    void finishSave(const SaveResult &result, const QString &path, bool saveAs,
                    const QString &copyTo);
    void finishOpen(const OpenResult &result, const QString &path, const QString &workDir);
    bool replacePackedFile(const QString &tmp, const QString &path);
    void addRecent(const QString &path, const QString &projectDir);
    void failLater(const QString &reason);

    ProjectData *m_project;
    QFuture<void> m_future;  // the running worker, waited for on destruction

    // The index and cover an open has read (worker), until handed over (main thread).
    struct ProjectRead
    {
        QList<AVData> clips;
        QImage cover;
        bool read = false;
        bool handedOver = false;
        bool unpackEnded = false;  // nothing more will be read
    };
    QMutex m_readMutex;
    QWaitCondition m_readDone;
    ProjectRead m_read;
};
