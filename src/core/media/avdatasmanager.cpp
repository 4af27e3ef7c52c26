#include "core/media/avdatasmanager.h"

#include "core/media/avrecord.h"
#include "core/media/ffmpegtool.h"
#include "core/project/projectdata.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QThreadPool>
#include <QUuid>
#include <QtConcurrent/QtConcurrentRun>

AvDatasManager::AvDatasManager(QObject *parent) : AvDatasManager(ProjectData::instance(), parent)
{
}

AvDatasManager::AvDatasManager(ProjectData *project, QObject *parent)
    : QObject(parent), m_Project(project), m_ThreadPool(new QThreadPool(this)),
      m_Watcher(new QFutureWatcher<bool>(this))
{
    m_ThreadPool->setMaxThreadCount(1);
    connect(m_Watcher, &QFutureWatcher<bool>::finished, this, [this] {
        const bool result = m_Watcher->future().result();
        m_Busy = false;
        emit sig_ExecFinished(result, result ? tr("操作成功") : tr("操作失败"));
    });
}

AvDatasManager::~AvDatasManager()
{
    // Ends a running import: the tool is killed, a pending hand-over gives up.
    m_Stopping = true;
    m_HandOver.cancel();
    FfmpegTool::wakeWaiters();
    m_ThreadPool->waitForDone();
}

bool AvDatasManager::isBusy() const
{
    // Cleared just before sig_ExecFinished; the pool thread may still be winding down then.
    return m_Busy;
}

QStringList AvDatasManager::transcodeArguments(const QString &source, const QString &target)
{
    // The bit rate is given once: a second "15000000" would be taken for an output file and
    // fail every conversion. The sound is always AAC 44100 Hz stereo, so that the export can
    // copy the sound packets of all clips into one stream.
    return {"-i",        source,    "-y",          "-max_muxing_queue_size",
            "2048",      "-vcodec", "h264",        "-pix_fmt",
            "yuv420p",   "-b",      "15000000",    "-preset:v",
            "ultrafast", "-tune:v", "zerolatency", "-bf",
            "0",         "-g",      "50",          "-ar",
            "44100",     "-ac",     "2",           "-acodec",
            "aac",       target};
}

qint64 AvDatasManager::matchSeconds(const QString &text, const QString &label)
{
    const QRegularExpression pattern(QRegularExpression::escape(label) +
                                     QStringLiteral("(\\d{2}):(\\d{2}):(\\d{2}).(\\d{2})"));
    const QRegularExpressionMatch m = pattern.match(text);
    if (!m.hasMatch())
        return 0;
    return m.captured(1).toLongLong() * 3600 + m.captured(2).toLongLong() * 60 +
           m.captured(3).toLongLong();
}

void AvDatasManager::readProgress(const QByteArray &chunk)
{
    const int zero = chunk.indexOf('\0');
    const QString text = QString::fromLatin1(zero < 0 ? chunk : chunk.left(zero));
    qDebug() << "cmd输出：" << text;
    if (m_Duration == 0) {
        m_Duration = matchSeconds(text, QStringLiteral("Duration: "));
        if (m_Duration >= 1) {
            emit sig_ExecProgress(0);
            emit sig_ExecMaxProgress(tr("正在插入..."), m_Duration);
        }
    }
    if (m_Duration > 0) {
        const qint64 position = matchSeconds(text, QStringLiteral("time="));
        if (position > 0)
            emit sig_ExecProgress(position);
    }
}

bool AvDatasManager::transcodingVideoFile(const QString &source, const QString &target)
{
    m_Duration = 0;
    const QStringList args = transcodeArguments(source, target);
    qDebug() << "执行cmd命令：" << args;
    QDir().mkpath(QFileInfo(target).absolutePath());
    // The pipe cuts the output anywhere, also inside "Duration: ...": hand over whole lines
    // (ended by '\n', or '\r' for the tool's progress line) and keep the rest for later.
    QByteArray pending;
    const FfmpegTool::Result result = FfmpegTool::run(
        args, kTranscodeWaitMs,
        [this, &pending](const QByteArray &chunk) {
            pending += chunk;
            const int end = qMax(pending.lastIndexOf('\n'), pending.lastIndexOf('\r'));
            if (end < 0)
                return;
            readProgress(pending.left(end + 1));
            pending.remove(0, end + 1);
        },
        &m_Stopping);
    if (!pending.isEmpty())
        readProgress(pending);
    if (result.succeeded() && QFileInfo(target).isFile())
        return true;
    qWarning() << "transcodingVideoFile failed:" << source << result.exitCode << result.errorString;
    // A killed or failed run may have left the beginning of a file.
    if (QFileInfo::exists(target))
        QFile::remove(target);
    return false;
}

AVData AvDatasManager::subClip(const AVData &clip, qint64 from, qint64 to)
{
    AVData part;
    part.copyValuesFrom(clip);
    if (to < 0)
        to = clip.endTime - clip.beginTime;
    part.beginTime = clip.beginTime + from;
    part.endTime = clip.beginTime + to;
    return part;
}

int AvDatasManager::splitAvData(const AVData &clip, qint64 offset)
{
    ProjectData *project = m_Project;
    const qint64 length = clip.endTime - clip.beginTime;
    const int index = project->indexOf(clip);
    if (offset < kMinPartMs)
        return index;
    if (offset < length - (kMinPartMs - 1)) {
        const AVData first = subClip(clip, 0, offset);
        const AVData second = subClip(clip, offset, -1);
        project->removeAt(index);
        project->insert(index, first);
        project->insert(index + 1, second);
        return index + 1;
    }
    // Near the end, and also at or past it (the playhead at the end of the timeline): after
    // the clip. A clip that is not in the project gives -1, which appends.
    return index < 0 ? index : index + 1;
}

int AvDatasManager::removeAvDataRange(const AVData &clip, qint64 from, qint64 to)
{
    if (isBusy())
        return 0;
    const qint64 length = clip.endTime - clip.beginTime;
    if (to - from <= kMinPartMs && length > kMinPartMs)
        return 0;
    ProjectData *project = m_Project;
    if (from <= kMinPartMs && to >= length - kMinPartMs) {
        project->remove(clip);
        emit sig_ExecFinished(true, tr("操作成功"));
        return 1;
    }
    int index = project->indexOf(clip);
    project->removeAt(index);
    if (index < 0)
        index = project->count();
    if (from >= kMinPartMs) {
        project->insert(index, subClip(clip, 0, from));
        ++index;
    }
    if (to < length - (kMinPartMs - 1))
        project->insert(index, subClip(clip, to, -1));
    emit sig_ExecFinished(true, tr("操作成功"));
    return 1;
}

int AvDatasManager::addVideoFile(const QString &path, const AVData &clip, qint64 offset)
{
    if (isBusy())
        return 0;
    ProjectData *project = m_Project;
    if (offset >= 0 && project->indexOf(clip) == -1)
        return 0;
    const QString baseName = QFileInfo(path).completeBaseName();
    AVData newClip = project->newClip(QStringLiteral("%1.mp4").arg(baseName));
    newClip.title = baseName;
    m_Busy = true;
    m_Watcher->setFuture(QtConcurrent::run(m_ThreadPool, [this, path, newClip, clip, offset] {
        return importInThread(path, newClip, clip, offset);
    }));
    return 1;
}

bool AvDatasManager::importInThread(const QString &path, AVData newClip, const AVData &clip,
                                    qint64 offset)
{
    if (!transcodingVideoFile(path, newClip.filePath))
        return false;
    if (!AVRecord::updateMediaInfo(newClip) || newClip.duration <= 0 || newClip.videoWidth <= 0) {
        // Sound only, or nothing a clip can show: the file must not stay in the project folder
        // as an orphan.
        qWarning() << "imported file has no picture or no length:" << newClip.filePath;
        QFile::remove(newClip.filePath);
        return false;
    }
    const bool inserted = m_HandOver.run(this, [this, &newClip, &clip, offset] {
        const int index = splitAvData(clip, offset);
        m_Project->insert(index, newClip);
    });
    if (!inserted)
        QFile::remove(newClip.filePath);
    return inserted;
}
