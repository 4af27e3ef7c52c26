#include "core/media/avshowmanager.h"

#include "core/media/ffmpegtool.h"
#include "core/project/projectdata.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QImageReader>
#include <QPainter>
#include <QPainterPath>
#include <QPixmapCache>
#include <QSet>
#include <QThread>
#include <QThreadPool>
#include <QWaitCondition>

namespace {

constexpr int kThumbnailWaitMs = 10000;
constexpr int kCoverWaitMs = 30000;
const char *const kSpectrumColour = "#01536b";

// Whole-file waveforms being made right now, so that the managers of many clips of one
// recording wait for one tool run instead of starting one each.
struct SpectrumRegistry
{
    QMutex mutex;
    QWaitCondition changed;
    QSet<QString> making;
};

SpectrumRegistry &spectrumRegistry()
{
    // Never destroyed: a pool thread may still wait on it while the process ends.
    static auto *registry = new SpectrumRegistry;
    return *registry;
}

QImage readImage(const QString &path)
{
    if (!QFileInfo(path).isFile())
        return QImage();
    QImageReader reader(path);
    return reader.read();
}

}  // namespace

QThreadPool *AvShowManager::sharedPool()
{
    // Never destroyed: every manager has taken back or waited for its jobs before it goes, and
    // an idle thread of the pool costs nothing at the end of the process.
    static QThreadPool *pool = [] {
        auto *p = new QThreadPool;
        p->setMaxThreadCount(2);
        return p;
    }();
    return pool;
}

// One job of a manager on the shared pool. It takes itself off the manager's queued list as
// it begins; a job the destructor took back from the pool never begins.
class AvShowManager::Job : public QRunnable
{
public:
    Job(AvShowManager *owner, std::function<void()> work) : m_owner(owner), m_work(std::move(work))
    {
    }

    void run() override
    {
        {
            QMutexLocker lock(&m_owner->m_Mutex);
            m_owner->m_QueuedJobs.removeOne(this);
            if (m_owner->stopping()) {
                m_owner->m_JobsChanged.wakeAll();
                return;
            }
            ++m_owner->m_RunningJobs;
        }
        m_work();
        QMutexLocker lock(&m_owner->m_Mutex);
        --m_owner->m_RunningJobs;
        m_owner->m_JobsChanged.wakeAll();
    }

private:
    AvShowManager *m_owner;
    std::function<void()> m_work;
};

void AvShowManager::startJob(std::function<void()> work)
{
    auto *job = new Job(this, std::move(work));
    QMutexLocker lock(&m_Mutex);
    m_QueuedJobs.append(job);
    sharedPool()->start(job);
}

AvShowManager::AvShowManager(const AVData &clip, QObject *parent) : QObject(parent), m_AvData(clip)
{
    QPixmapCache::setCacheLimit(kCacheLimitKb);
    // Emitted on the manager's own thread by handOver, whose wait (unlike that of a blocking
    // queued connection) ends when the manager is destroyed.
    connect(this, &AvShowManager::addPixmapToCache, this, &AvShowManager::slot_insert_pixmap,
            Qt::DirectConnection);
}

AvShowManager::~AvShowManager()
{
    m_Stopping = true;
    m_HandOver.cancel();
    {
        QMutexLocker lock(&spectrumRegistry().mutex);
        spectrumRegistry().changed.wakeAll();
    }
    FfmpegTool::wakeWaiters();
    QMutexLocker lock(&m_Mutex);
    const QList<QRunnable *> queued = m_QueuedJobs;
    for (QRunnable *job : queued) {
        if (sharedPool()->tryTake(job)) {
            m_QueuedJobs.removeOne(job);
            delete job;
        }
    }
    // What is left has begun (or is just beginning): it sees the stop and ends soon.
    while (!m_QueuedJobs.isEmpty() || m_RunningJobs > 0)
        m_JobsChanged.wait(&m_Mutex);
}

void AvShowManager::setImageSize(int width, int height)
{
    m_ImageWidth = width;
    m_ImageHeight = height;
}

QList<AvShowManager::ImageTask> AvShowManager::pendingImageTasks() const
{
    QMutexLocker lock(&m_Mutex);
    return m_PathStack;
}

QString AvShowManager::thumbnailPath(const AVData &clip, int second)
{
    return QStringLiteral("%1_%2.jpg").arg(clip.filePath).arg(second);
}

QString AvShowManager::spectrumPath(const AVData &clip)
{
    return QStringLiteral("%1_%2_%3_Spectrum.jpg")
        .arg(clip.filePath)
        .arg(clip.beginTime)
        .arg(clip.endTime);
}

QString AvShowManager::wholeSpectrumPath(const AVData &clip)
{
    return QStringLiteral("%1_%2_%3_Spectrum.jpg").arg(clip.filePath).arg(0).arg(clip.duration);
}

int AvShowManager::spectrumImageWidth(qint64 durationMs)
{
    // A file shorter than one pixel's worth still gets one column: the tool refuses width 0.
    return int(qMax<qint64>(1, durationMs / kSpectrumMsPerPixel));
}

QStringList AvShowManager::thumbnailArguments(const QString &mediaPath, int second,
                                              const QString &imagePath, int width, int height)
{
    QStringList args;
    if (second >= 1)
        args << "-ss" << QString::number(second);
    args << "-i" << mediaPath << "-y"
         << "-f"
         << "image2";
    if (width >= 1 && height >= 1)
        args << "-s" << QStringLiteral("%1x%2").arg(width).arg(height);
    // One picture: without this the image muxer fails on the second frame.
    args << "-frames:v"
         << "1" << imagePath;
    return args;
}

QStringList AvShowManager::spectrumArguments(const QString &mediaPath, qint64 durationMs,
                                             const QString &imagePath)
{
    return {"-i",
            mediaPath,
            "-y",
            "-filter_complex",
            QStringLiteral("showwavespic=s=%1x%2:colors=%3")
                .arg(spectrumImageWidth(durationMs))
                .arg(kSpectrumHeight)
                .arg(kSpectrumColour),
            imagePath};
}

QStringList AvShowManager::coverArguments(const AVData &firstClip, const QString &coverPath)
{
    return {"-i",
            firstClip.filePath,
            "-y",
            "-f",
            "image2",
            "-ss",
            QString::number(firstClip.beginTime / 1000),
            "-frames:v",
            "1",
            coverPath};
}

bool AvShowManager::getImageOnTime(long time, QPixmap &pixmap)
{
    // A clip shown before its file is there (an open's first view) has no pictures yet.
    if (m_AvData.filePath.isEmpty())
        return false;
    const int second = int(m_AvData.beginTime / 1000 + time);
    const QString path = thumbnailPath(m_AvData, second);
    if (QPixmapCache::find(path, &pixmap))
        return true;
    {
        QMutexLocker lock(&m_Mutex);
        bool queued = false;
        for (const ImageTask &task : std::as_const(m_PathStack))
            if (task.path == path && task.second == second)
                queued = true;
        if (!queued) {
            m_PathStack.append(ImageTask{path, second});
            qDebug() << "m_PathStack.push:" << path;
        }
    }
    if (!m_ImageLoading.exchange(true))
        startJob([this] { loadImageInThread(); });
    return false;
}

bool AvShowManager::getSpectrum(QPixmap &pixmap)
{
    const QString path = spectrumPath(m_AvData);
    if (QPixmapCache::find(path, &pixmap))
        return true;
    // Nothing to draw for a clip of unknown length, without a span or without its file yet.
    if (m_AvData.duration <= 0 || m_AvData.endTime <= m_AvData.beginTime ||
        m_AvData.filePath.isEmpty())
        return false;
    if (!m_SpectrumLoading.exchange(true))
        startJob([this, path] { loadSpectrumInThread(path); });
    return false;
}

void AvShowManager::slot_insert_pixmap(const QString &path, const QPixmap &pixmap)
{
    QPixmapCache::insert(path, pixmap);
}

void AvShowManager::handOver(const QString &path, const QImage &image)
{
    m_HandOver.run(this, [&] { emit addPixmapToCache(path, QPixmap::fromImage(image)); });
}

void AvShowManager::loadImageInThread()
{
    qDebug() << "loadImageInThread id:" << QThread::currentThreadId();
    bool more = true;
    while (more) {
        bool loadedAny = false;
        while (!stopping()) {
            ImageTask task;
            {
                QMutexLocker lock(&m_Mutex);
                if (m_PathStack.isEmpty())
                    break;
                task = m_PathStack.first();
            }
            // Pictures are read as QImage here: a QPixmap belongs to the GUI thread.
            QImage image = readImage(task.path);
            // No tool run for a media file that is not there (a clip of a removed file).
            if (image.isNull() && QFileInfo::exists(m_AvData.filePath)) {
                const QStringList args = thumbnailArguments(m_AvData.filePath, task.second,
                                                            task.path, m_ImageWidth, m_ImageHeight);
                qDebug() << "执行cmd命令：" << args;
                FfmpegTool::run(args, kThumbnailWaitMs, {}, &m_Stopping);
                image = readImage(task.path);
            }
            if (!image.isNull() && !stopping()) {
                handOver(task.path, image);
                loadedAny = true;
            }
            QMutexLocker lock(&m_Mutex);
            if (!m_PathStack.isEmpty())
                m_PathStack.removeFirst();
        }
        // Decide under the lock whether to end, so that a request made meanwhile either sees
        // this job still serving the list or starts a new one.
        {
            QMutexLocker lock(&m_Mutex);
            more = !m_PathStack.isEmpty() && !stopping();
            if (!more)
                m_ImageLoading = false;
        }
        if (loadedAny)
            emit onLoadPixmapFinish();
    }
}

QImage AvShowManager::loadWholeSpectrum()
{
    const QString wholePath = wholeSpectrumPath(m_AvData);
    SpectrumRegistry &registry = spectrumRegistry();
    QMutexLocker lock(&registry.mutex);
    while (registry.making.contains(wholePath) && !stopping())
        registry.changed.wait(&registry.mutex);
    if (stopping())
        return QImage();
    QImage image = readImage(wholePath);
    if (!image.isNull() || !QFileInfo::exists(m_AvData.filePath))
        return image;
    registry.making.insert(wholePath);
    lock.unlock();

    const QStringList args = spectrumArguments(m_AvData.filePath, m_AvData.duration, wholePath);
    qDebug() << "执行cmd命令：" << args;
    const FfmpegTool::Result result = FfmpegTool::run(
        args, kThumbnailWaitMs,
        [](const QByteArray &chunk) { qDebug() << "cmd输出：" << QString::fromLocal8Bit(chunk); },
        &m_Stopping);
    if (result.succeeded())
        image = readImage(wholePath);
    else
        QFile::remove(wholePath);  // a killed run may leave half a picture

    lock.relock();
    registry.making.remove(wholePath);
    registry.changed.wakeAll();
    return image;
}

void AvShowManager::loadSpectrumInThread(QString path)
{
    QImage image = readImage(path);
    if (image.isNull()) {
        image = loadWholeSpectrum();
        // Keep the strip's own file so later runs find it under its usual name.
        if (!image.isNull() && path != wholeSpectrumPath(m_AvData)) {
            QFile::remove(path);
            QFile::copy(wholeSpectrumPath(m_AvData), path);
        }
    }
    if (!image.isNull() && !stopping()) {
        const QImage strip = cutSpectrum(image, m_AvData.beginTime, m_AvData.endTime);
        if (!strip.isNull()) {
            handOver(path, strip);
            m_SpectrumLoading = false;
            emit onLoadSpectrumFinish();
            return;
        }
    }
    m_SpectrumLoading = false;
}

QImage AvShowManager::cutSpectrum(const QImage &image, qint64 beginTimeMs, qint64 endTimeMs)
{
    if (image.isNull())
        return image;
    const qint64 spanMs = endTimeMs - beginTimeMs;
    const int width = int(spanMs * kStripPixelsPerSecond / 1000);
    if (width < 1)
        return QImage();

    QImage source = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < source.height(); ++y) {
        QRgb *line = reinterpret_cast<QRgb *>(source.scanLine(y));
        for (int x = 0; x < source.width(); ++x)
            if (qRed(line[x]) < 20 && qGreen(line[x]) < 20 && qBlue(line[x]) < 20)
                line[x] = qRgba(0, 0, 0, 0);
    }

    // The span's columns, at least one and inside the picture (a file a little shorter than
    // its clip record, or a span under 200 ms, must still draw something).
    int sourceX = int(beginTimeMs / kSpectrumMsPerPixel);
    int sourceWidth = int(spanMs / kSpectrumMsPerPixel);
    sourceX = qBound(0, sourceX, source.width() - 1);
    sourceWidth = qBound(1, sourceWidth, source.width() - sourceX);

    QImage strip(width, kSpectrumHeight, QImage::Format_ARGB32_Premultiplied);
    strip.fill(Qt::transparent);
    QPainter painter(&strip);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    QPainterPath rounded;
    rounded.addRoundedRect(QRectF(0, 0, width, kSpectrumHeight), 6, 6, Qt::AbsoluteSize);
    painter.setClipPath(rounded);
    painter.drawImage(QRectF(0, 0, width, kSpectrumHeight), source,
                      QRectF(sourceX, 15, sourceWidth, 10));
    painter.end();
    return strip;
}

bool AvShowManager::createCover(ProjectData *project)
{
    if (!project || project->count() == 0)
        return false;
    const AVData first = project->at(0);
    const QString coverPath = project->coverPath();
    const QStringList args = coverArguments(first, coverPath);
    qDebug() << "执行cmd命令：" << args;
    const FfmpegTool::Result result = FfmpegTool::run(args, kCoverWaitMs);
    if (!result.succeeded() || readImage(coverPath).isNull()) {
        qWarning() << "createCover failed:" << result.exitCode << result.errorString;
        return false;
    }
    return true;
}
