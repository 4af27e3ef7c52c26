#pragma once
// Changes to a project's clip list: importing an outside video file (converted by the ffmpeg
// tool into the project folder and inserted at a position, splitting the clip there), the
// split itself, and deleting a span of a clip.
//
// Threads: construct, call addVideoFile, splitAvData, removeAvDataRange and destroy on the
// thread the project belongs to (the main thread), which must run an event loop while an import
// is going on. The import runs on the manager's own one-thread pool; sig_ExecProgress and
// sig_ExecMaxProgress are emitted from there, the clip insertion is handed to the manager's
// thread and awaited, and sig_ExecFinished is emitted on the manager's thread.
// transcodingVideoFile and readProgress run on whatever thread calls them.
#include "core/platform/handover.h"
#include "core/project/avdata.h"

#include <QFutureWatcher>
#include <QObject>
#include <QStringList>

#include <atomic>
#include <functional>

class ProjectData;
class QThreadPool;

class AvDatasManager : public QObject
{
    Q_OBJECT
public:
    // Longest a conversion may take.
    static constexpr int kTranscodeWaitMs = 3600000;
    // Parts of a clip shorter than this are not kept by a split or a delete.
    static constexpr qint64 kMinPartMs = 1000;

    // Works on ProjectData::instance().
    explicit AvDatasManager(QObject *parent = nullptr);
    // Works on `project`, which must outlive the manager.
    explicit AvDatasManager(ProjectData *project, QObject *parent = nullptr);
    ~AvDatasManager() override;

    bool isBusy() const;

    // Starts importing the file at `path`, to go in at `offset` ms into `clip` (normally what
    // ProjectData::clipAt gives for the playhead). Returns 0 and does nothing while busy, or
    // when offset >= 0 and `clip` is not in the project; otherwise 1, and sig_ExecFinished
    // follows. A negative offset skips the membership test.
    int addVideoFile(const QString &path, const AVData &clip, qint64 offset);

    // Converts `source` into `target` with the tool, on the calling thread. True only when the
    // tool ended normally with status 0 and `target` is a file; otherwise any partial target is
    // removed.
    bool transcodingVideoFile(const QString &source, const QString &target);

    // The index where a new clip goes for a position `offset` ms into `clip`, splitting `clip`
    // in two when the position is at least 1000 ms from both of its ends.
    int splitAvData(const AVData &clip, qint64 offset);

    // Deletes the span [from, to) (ms into `clip`). Returns 0 without change while busy or for
    // a span of 1000 ms or less in a longer clip; otherwise 1 after sig_ExecFinished(true, ...).
    int removeAvDataRange(const AVData &clip, qint64 from, qint64 to);

    // One chunk of the tool's console output: the length ("Duration:") once, then positions
    // ("time="), emitted as progress signals.
    void readProgress(const QByteArray &chunk);
    qint64 durationSeconds() const { return m_Duration; }

    static QStringList transcodeArguments(const QString &source, const QString &target);
    // Hours*3600 + minutes*60 + seconds of the first "<label>HH:MM:SS.hh" in `text`, else 0.
    static qint64 matchSeconds(const QString &text, const QString &label);
    // The part [from, to) of `clip` (to < 0: to its end) as a new clip with a new uuid.
    static AVData subClip(const AVData &clip, qint64 from, qint64 to);

signals:
    void sig_ExecFinished(bool result, QString showText);
    void sig_ExecProgress(qlonglong progress);
    void sig_ExecMaxProgress(QString showText, qlonglong maxprogress);

private:
    bool importInThread(const QString &path, AVData newClip, const AVData &clip, qint64 offset);
    ProjectData *m_Project = nullptr;
    std::atomic<qint64> m_Duration{0};
    QThreadPool *m_ThreadPool = nullptr;
    QFutureWatcher<bool> *m_Watcher = nullptr;
    std::atomic_bool m_Busy{false};
    std::atomic_bool m_Stopping{false};
    HandOver m_HandOver;  // the clip insertion; cancelled when the manager is destroyed
};
