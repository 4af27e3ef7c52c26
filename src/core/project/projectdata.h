#pragma once
// The one open project: its folder, the packed file it came from, and the clips laid end to
// end on the timeline. Not locked: use it on the main thread only; workers hand their changes
// to the main thread and wait there.
//
// Every change of the clip list emits sig_ClipsChanged and every change of the folder or the
// packed file path sig_FolderChanged, so that the working folder's index can follow the
// project (ProjectFolderKeeper) whoever made the change: an edit, an import or a recording.
#include "core/project/avdata.h"

#include <QList>
#include <QMutex>
#include <QObject>
#include <QVariant>
#include <QWaitCondition>

#include <optional>

struct ClipAtResult
{
    AVData clip;
    qint64 offset = -1;  // milliseconds into the clip's used span; -1 when there is none
};

class ProjectData : public QObject
{
    Q_OBJECT
public:
    // The one open project of the program. Tests and tools may make projects of their own.
    static ProjectData *instance();
    ProjectData();
    ~ProjectData() override;

    QString projectDir() const { return m_projectDir; }
    void setProjectDir(const QString &dir);
    QString filePath() const { return m_filePath; }
    void setFilePath(const QString &path);
    QString indexFilePath() const;
    QString coverPath() const;

    int count() const { return m_avDatas.size(); }
    const AVData &at(int index) const { return m_avDatas.at(index); }
    const QList<AVData> &avDatas() const { return m_avDatas; }
    int indexOf(const AVData &clip) const;

    void insert(int index, const AVData &clip);
    void replace(const AVData &clip);
    void removeAt(int index);
    void remove(const AVData &clip) { removeAt(indexOf(clip)); }
    void removeLast() { removeAt(count() - 1); }
    // Replaces the whole clip list (undo and redo); positions are recomputed.
    void setAvDatas(const QList<AVData> &clips);

    void setDuration(const QString &path, qint64 durationMs);

    // The clip whose used span holds `timeMs` (start inclusive, end exclusive) and the offset
    // into it. Past the end: the last clip at its end. Negative time or no clips: offset -1.
    ClipAtResult clipAt(qint64 timeMs) const;

    // A new clip for a media file about to be written into the project folder; a taken file
    // name gets "_2", "_3"... appended to its stem.
    AVData newClip(const QString &fileName = QString()) const;

    void markSaved();
    // Forgets the saved snapshot: a project brought back after the program ended without
    // saving counts as modified until it is saved.
    void markUnsaved();
    bool isModified() const;

    void clear();
    void reset();

    QVariant toVariant() const;
    void fromVariant(const QVariant &variant);
    // Writes the index under a temporary name in the project folder, puts it on disk and
    // renames it over "pro.lsnc": a kill at any moment leaves either the old or the new index.
    // The list this program wrote last, unchanged since, is not written again. An index
    // naming no clips is not written over one naming none, and where there was none it is
    // left to the system to write: lost in a crash, it leaves the same nothing to offer back.
    // Waits for the writes writeIndexInBackground() started.
    bool writeIndex();
    // The same write on a worker: the main thread does not wait for the disk. Writes run one
    // at a time in the order asked; one asked while another runs replaces any still waiting.
    // A write whose folder has gone is dropped (the folder is not made again). A project
    // without clips is written at once, as writeIndex() writes it, without waiting for the disk.
    void writeIndexInBackground();
    // Returns once the worker has written everything asked of it. Called before a folder the
    // index may be written into is removed or replaced.
    void waitForIndexWrites();
    // The clip an index entry describes, its file in `folder`.
    static AVData clipInFolder(const QJsonObject &entry, const QString &folder);
    // Reads the clips' JSON objects stored under "avDatas" in an index file.
    static QList<QJsonObject> readIndexObjects(const QString &indexFile);

    // The working folder of a new project: "data/temp/" in the data folder (AppPaths).
    static QString defaultProjectDir();

signals:
    void sig_ClipsChanged();
    void sig_FolderChanged();

private:
    void recomputePositions(int from);
    // True when the index at `target` holds the clip list as it is.
    bool indexUpToDate(const QString &target);
    void runIndexWrites();  // on the worker

    struct IndexWrite
    {
        QString target;
        QVariant avDatas;
        quint64 version = 0;
        QString stamp;  // once written
    };
    // Shared with the worker.
    QMutex m_indexWriteMutex;
    QWaitCondition m_indexWritesDone;
    std::optional<IndexWrite> m_waitingWrite;   // asked, not begun
    std::optional<IndexWrite> m_finishedWrite;  // written, not yet taken into m_written*
    bool m_indexWriting = false;                // a worker job runs
    // Main thread: the newest write handed to the worker.
    quint64 m_handedVersion = 0;
    QString m_handedIndex;

    QString m_projectDir;
    QString m_filePath;
    QList<AVData> m_avDatas;
    QList<AVData> m_savedAvDatas;
    // Counts the changes of the clip list; the index last written holds the list of
    // m_writtenVersion, at m_writtenIndex, and the file then had m_writtenStamp.
    quint64 m_clipsVersion = 0;
    quint64 m_writtenVersion = 0;
    QString m_writtenIndex;
    QString m_writtenStamp;
};

// Working folder and cover cache of a packed project file, keyed by the MD5 of its path:
// "data/<md5>/" in the data folder and "cache/<md5>/" in the cache folder (AppPaths).
QString dataDir(const QString &path);
QString cacheDir(const QString &path);
