#pragma once
// Pictures of one clip for the timeline: video thumbnails and the sound waveform strip, made
// by the ffmpeg tool as image files next to the clip's media file and served from
// QPixmapCache (the image file name is the cache key). A request never blocks: a miss queues a
// background job and returns false; the job's finish signal tells the owner to ask again.
//
// Threads: construct, request (getImageOnTime, getSpectrum), set the size and destroy on the
// manager's own thread, which must run an event loop and be the GUI thread (QPixmapCache).
// The jobs (at most one thumbnail job and one waveform job per manager) run on one pool
// shared by every manager of the process, two threads wide: a timeline of many blocks makes
// no threads of its own, and the tool runs stay within the cores. onLoadPixmapFinish and
// onLoadSpectrumFinish are emitted from those pool threads, addPixmapToCache on the manager's
// thread while the job waits (HandOver). createCover may be called from any thread. The
// destructor takes back its jobs that have not started and stops and waits for the others.
#include "core/platform/handover.h"
#include "core/project/avdata.h"

#include <QImage>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QPixmap>
#include <QStringList>
#include <QWaitCondition>

#include <atomic>
#include <functional>

class ProjectData;
class QRunnable;
class QThreadPool;

class AvShowManager : public QObject
{
    Q_OBJECT
public:
    struct ImageTask
    {
        QString path;    // the image file to produce
        int second = 0;  // second of the media file it shows
    };

    static constexpr int kCacheLimitKb = 20480;
    static constexpr int kSpectrumMsPerPixel = 200;
    static constexpr int kSpectrumHeight = 50;
    static constexpr int kStripPixelsPerSecond = 24;

    explicit AvShowManager(const AVData &clip, QObject *parent = nullptr);
    ~AvShowManager() override;

    const AVData &avData() const { return m_AvData; }

    // Thumbnail size; a width below 1 leaves the size to the tool. Set before the first
    // request.
    void setImageSize(int width, int height);
    int imageWidth() const { return m_ImageWidth; }

    // The thumbnail `time` seconds into the clip's span. True with `pixmap` filled when it is
    // cached; otherwise the thumbnail is queued and false returned. A clip without a file
    // path gets no job.
    bool getImageOnTime(long time, QPixmap &pixmap);
    // The clip's waveform strip. True with `pixmap` filled when cached; otherwise the waveform
    // job is started (unless it runs or the clip has no file path) and false returned.
    bool getSpectrum(QPixmap &pixmap);

    // The jobs, run on the manager's pool.
    void loadImageInThread();
    void loadSpectrumInThread(QString path);

    bool isImageLoading() const { return m_ImageLoading; }
    // Thumbnails waiting for the job, oldest first (the one being made included).
    QList<ImageTask> pendingImageTasks() const;

    // Writes the project's cover picture (one frame of the first clip) synchronously. False
    // when the project has no clips or no picture could be written.
    static bool createCover(ProjectData *project);

    // File names and tool arguments, as the jobs use them.
    static QString thumbnailPath(const AVData &clip, int second);
    static QString spectrumPath(const AVData &clip);
    // The waveform of the whole media file: the strip name of a clip spanning all of it.
    static QString wholeSpectrumPath(const AVData &clip);
    static QStringList thumbnailArguments(const QString &mediaPath, int second,
                                          const QString &imagePath, int width, int height);
    static QStringList spectrumArguments(const QString &mediaPath, qint64 durationMs,
                                         const QString &imagePath);
    static QStringList coverArguments(const AVData &firstClip, const QString &coverPath);
    // Width of the whole-file waveform image: one pixel per 200 ms, at least one pixel.
    static int spectrumImageWidth(qint64 durationMs);
    // The clip's strip out of the whole-file waveform `image`: near-black background made
    // transparent, the span's columns and the middle band (rows 15 to 25) stretched onto a
    // rounded strip of 24 pixels per second and 50 pixels high.
    static QImage cutSpectrum(const QImage &image, qint64 beginTimeMs, qint64 endTimeMs);

signals:
    void onLoadPixmapFinish();
    void onLoadSpectrumFinish();
    void addPixmapToCache(QString path, QPixmap pixmap);

private slots:
    void slot_insert_pixmap(const QString &path, const QPixmap &pixmap);

private:
    class Job;

    // Emits addPixmapToCache with `image` as a pixmap on the manager's thread, which puts it
    // into the cache, and waits for that (or until the manager is being destroyed). The pool
    // threads never make a QPixmap themselves.
    void handOver(const QString &path, const QImage &image);
    // The whole-file waveform, made at most once at a time per media file in this process.
    QImage loadWholeSpectrum();
    bool stopping() const { return m_Stopping.load(); }
    // Queues `work` on the shared pool as one of this manager's jobs.
    void startJob(std::function<void()> work);

    // The pool every manager's jobs run on.
    static QThreadPool *sharedPool();

    AVData m_AvData;
    int m_ImageWidth = -1;
    int m_ImageHeight = -1;
    std::atomic_bool m_ImageLoading{false};
    std::atomic_bool m_SpectrumLoading{false};
    QList<ImageTask> m_PathStack;
    mutable QMutex m_Mutex;
    // This manager's jobs queued on the shared pool and not yet begun, and those running;
    // guarded by m_Mutex, changes signalled by m_JobsChanged.
    QList<QRunnable *> m_QueuedJobs;
    int m_RunningJobs = 0;
    QWaitCondition m_JobsChanged;
    std::atomic_bool m_Stopping{false};
    HandOver m_HandOver;  // cancelled when the manager is destroyed
};
