// The export driver: the clip list, the byte copy of a whole single clip, the output, the
// clips in turn, cancel and failure.
#include "core/export/exportmanager.h"

#include "core/export/exportaudio.h"
#include "core/export/exportframes.h"
#include "core/export/exportloudness.h"
#include "core/export/exportmp4layout.h"
#include "core/media/avrecord.h"
#include "core/project/projectdata.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QThread>

#include <algorithm>

ExportManager::ExportManager(QObject *parent, ProjectData *project)
    : QObject(parent), m_Project(project)
{
    connect(this, &ExportManager::sig_WriteFinished, this, &ExportManager::slot_write_finished,
            Qt::QueuedConnection);
}

ExportManager::~ExportManager()
{
    // Destroyed while exporting: stop, let every thread end, and leave no partial file.
    m_Canceled = true;
    waitForThreads();
    if (m_Started && !m_Finished)
        finishFile();
}

QString ExportManager::partialPath(const QString &path)
{
    return path + QStringLiteral(".part");
}

void ExportManager::exportToFile(const QString &path)
{
    exportClipsToFile(m_Project->avDatas(), path);
}

void ExportManager::exportClipsToFile(const QList<AVData> &clips, const QString &path)
{
    if (m_Started) {
        qWarning() << "exportToFile: this manager has already exported";
        return;
    }
    m_Started = true;
    m_Timeline = clips;
    m_TargetPath = path;
    m_PartialPath = partialPath(path);
    m_ExportThread.reset(QThread::create([this, path] { exportToFileInThread(path); }));
    m_ExportThread->start();
}

void ExportManager::cancelExport()
{
    m_Canceled = true;
}

QString ExportManager::errorText() const
{
    QMutexLocker lock(&m_ErrorMutex);
    return m_ErrorText;
}

void ExportManager::fail(const QString &message)
{
    {
        QMutexLocker lock(&m_ErrorMutex);
        if (m_ErrorText.isEmpty())
            m_ErrorText = message;
    }
    if (!m_Failed.exchange(true))
        qWarning() << "export failed:" << message;
}

bool ExportManager::clampSpans()
{
    for (AVData &clip : m_Timeline) {
        if (m_Canceled)
            return false;
        if (clip.endTime <= clip.beginTime)
            continue;  // an empty span is left out of the export anyway
        AVData probe = clip;
        probe.duration = -1;
        AVRecord::updateMediaInfo(probe);
        if (probe.duration < 0) {
            fail(tr("无法读取片段“%1”的文件").arg(exportClipName(clip)));
            return false;
        }
        // A size the project does not know is taken from the file, turned as players show it.
        if (clip.videoWidth <= 0 || clip.videoHeight <= 0) {
            clip.videoWidth = probe.videoWidth;
            clip.videoHeight = probe.videoHeight;
        }
        if (clip.videoWidth <= 0 || clip.videoHeight <= 0) {
            fail(tr("片段“%1”的文件没有画面").arg(exportClipName(clip)));
            return false;
        }
        if (!clampSpanToMedia(clip, probe.duration)) {
            fail(tr("片段“%1”所用的时段不在它的文件之内（文件长 %2 秒）")
                     .arg(exportClipName(clip))
                     .arg(probe.duration / 1000.0, 0, 'f', 1));
            return false;
        }
    }
    return true;
}

void ExportManager::exportToFileInThread(QString path)
{
    // The clips' times come from the project file: each span is kept inside its media before
    // any time is computed from it.
    const bool spansOk = clampSpans();
    // Results that come before the writers exist are delivered on the manager's thread too.
    auto finishEarly = [this] {
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_Finished = true;
                if (m_Canceled)
                    emit sig_ExportCanceled();
                else
                    emit sig_ExportFinished(!m_Failed);
            },
            Qt::QueuedConnection);
    };
    if (!spansOk) {
        finishEarly();
        return;
    }
    m_ClipList = buildExportClipList(m_Timeline);
    m_ClipCount = m_ClipList.clips.size();
    if (m_ClipCount == 0) {
        fail(tr("项目中没有可导出的内容"));
        finishEarly();
        return;
    }
    if (m_LoudnessTarget && !measureLoudness()) {
        finishEarly();
        return;
    }
    if (!m_Levelling && m_ClipList.isWholeSingleFile() &&
        isAlreadyExportFormat(m_ClipList.clips.first().filePath)) {
        if (!m_Canceled)
            copyWholeFile(m_ClipList.clips.first().filePath, path);
        finishEarly();
        return;
    }
    if (m_Canceled) {
        finishEarly();
        return;
    }

    // H.264 in 4:2:0 needs even sizes: an odd one gets a white line.
    m_OutWidth = (m_ClipList.outputSize.width() + 1) & ~1;
    m_OutHeight = (m_ClipList.outputSize.height() + 1) & ~1;
    if (openOutput(path) < 0) {
        fail(tr("无法创建导出文件：%1").arg(path));
        m_VideoEncodeContext.reset();
        m_AudioEncodeContext.reset();
        m_OutFormatContext.reset();
        QFile::remove(m_PartialPath);
        finishEarly();
        return;
    }
    if (m_ClipList.needsBackground() || m_OutWidth != m_ClipList.outputSize.width() ||
        m_OutHeight != m_ClipList.outputSize.height())
        m_BackgroundFrame = exportframes::makeWhiteFrame(m_OutWidth, m_OutHeight);

    const int maxProgress = int(m_ClipList.totalMs / 1000);
    QMetaObject::invokeMethod(
        this, [this, maxProgress] { emit sig_ExportMaxProgress(maxProgress); },
        Qt::QueuedConnection);

    for (int i = 0; i < m_ClipCount && !stopping(); ++i) {
        const AVData &clip = m_ClipList.clips.at(i);
        if (openInput(clip, i, clip.position) < 0)
            break;
    }
    finishInput();
}

std::optional<double> ExportManager::appliedGainDb() const
{
    if (!m_Levelling)
        return std::nullopt;
    return m_GainDb;
}

bool ExportManager::measureLoudness()
{
    // Only the sound is read and decoded here, so this pass costs a small part of the export.
    loudness::Measurement measured;
    if (!loudness::measureClips(m_ClipList.clips, m_Canceled, &measured))
        return false;
    m_GainDb = loudness::gainDb(measured, *m_LoudnessTarget);
    m_Levelling = loudness::needsLevelling(measured, *m_LoudnessTarget);
    qInfo() << "export loudness:" << measured.integratedLufs << "LUFS, true peak"
            << measured.truePeakDb << "dBTP; target" << *m_LoudnessTarget
            << (m_Levelling ? QStringLiteral("gain %1 dB").arg(m_GainDb, 0, 'f', 1)
                            : QStringLiteral("left as it is"));
    return true;
}

void ExportManager::finishInput()
{
    // No more input: the encoders are drained and the writers end.
    m_InputFinished = true;
    m_VideoQueue.push(ffmpeg::FramePtr());
    m_AudioQueue.push(AudioItem());
}

bool ExportManager::isAlreadyExportFormat(const QString &file) const
{
    // What the export writes: an MP4 file of one H.264 picture track in 8-bit YUV 4:2:0 and
    // one AAC-LC track at 44100 Hz stereo, nothing else.
    ffmpeg::InputFormatContextPtr input = ffmpeg::openMedia(file);
    if (!input)
        return false;
    static const QSet<QByteArray> mp4Brands{"isom", "iso2", "iso4", "iso5", "iso6",
                                            "mp41", "mp42", "avc1", "M4V "};
    const AVDictionaryEntry *brand = av_dict_get(input->metadata, "major_brand", nullptr, 0);
    if (qstrcmp(input->iformat->name, "mov,mp4,m4a,3gp,3g2,mj2") != 0 || !brand ||
        !mp4Brands.contains(QByteArray(brand->value)))
        return false;
    int pictures = 0, sounds = 0;
    for (unsigned i = 0; i < input->nb_streams; ++i) {
        const AVCodecParameters *par = input->streams[i]->codecpar;
        if (par->codec_type == AVMEDIA_TYPE_VIDEO && par->codec_id == AV_CODEC_ID_H264 &&
            (par->format == AV_PIX_FMT_YUV420P || par->format == AV_PIX_FMT_YUVJ420P))
            ++pictures;
        else if (par->codec_type == AVMEDIA_TYPE_AUDIO && exportaudio::isCopyableAac(par))
            ++sounds;
        else
            return false;
    }
    if (pictures != 1 || sounds != 1)
        return false;
    // And its sound decodes cleanly throughout; damaged sound is encoded again.
    const int audio = av_find_best_stream(input.get(), AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    ffmpeg::CodecContextPtr check = ffmpeg::openDecoder(input->streams[audio], 1);
    ffmpeg::FramePtr scratch = ffmpeg::makeFrame();
    ffmpeg::PacketPtr packet = ffmpeg::makePacket();
    if (!check || !scratch || !packet)
        return false;
    // And its pictures come at a steady rate: a file with pictures only where the picture
    // changed (a whiteboard recording) is written again with every picture held.
    const int video = av_find_best_stream(input.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    const AVRational videoTimebase = input->streams[video]->time_base;
    int64_t lastDts = AV_NOPTS_VALUE;
    int64_t shortestUs = INT64_MAX, longestUs = 0;
    bool clean = true;
    while (clean && !m_Canceled && av_read_frame(input.get(), packet.get()) >= 0) {
        if (packet->stream_index == audio) {
            clean = exportaudio::packetDecodes(check.get(), scratch.get(), packet.get());
        } else if (packet->stream_index == video && packet->dts != AV_NOPTS_VALUE) {
            if (lastDts != AV_NOPTS_VALUE) {
                const int64_t stepUs =
                    av_rescale_q(packet->dts - lastDts, videoTimebase, AV_TIME_BASE_Q);
                shortestUs = std::min(shortestUs, stepUs);
                longestUs = std::max(longestUs, stepUs);
            }
            lastDts = packet->dts;
        }
        av_packet_unref(packet.get());
    }
    const bool steady = shortestUs == INT64_MAX || longestUs - shortestUs <= 2000;
    return clean && steady && !m_Canceled;
}

bool ExportManager::copyWholeFile(const QString &source, const QString &path)
{
    // Copied beside the target first, so a failed copy leaves what was there before.
    QFile::remove(m_PartialPath);
    QString reason;
    if (!exportlayout::copyIndexFirst(source, m_PartialPath, m_ClipList.chapters, &reason)) {
        qWarning() << "copyWholeFile:" << reason;
        QFile::remove(m_PartialPath);
        fail(tr("无法复制片段“%1”的文件").arg(exportClipName(m_ClipList.clips.first())));
        return false;
    }
    if ((QFile::exists(path) && !QFile::remove(path)) || !QFile::rename(m_PartialPath, path)) {
        QFile::remove(m_PartialPath);
        fail(tr("无法写入导出文件：%1").arg(path));
        return false;
    }
    return true;
}
