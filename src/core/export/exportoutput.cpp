// The output side of the export: the file with its H.264 and AAC streams, the two writer
// threads that encode and write, and the finishing of the file on the manager's thread.
#include "core/export/exportaudio.h"
#include "core/export/exportcliplist.h"
#include "core/export/exportloudness.h"
#include "core/export/exportmanager.h"
#include "core/export/exportmp4layout.h"
#include "core/media/h264settings.h"

#include <QDebug>
#include <QFile>
#include <QThread>

#include <cerrno>

namespace {
constexpr AVRational kVideoEncoderTimebase{1, 30};
}

int ExportManager::openOutput(const QString &path)
{
    QString error;
    // x264 picks its own number of threads for the machine (one and a half per core): a fixed
    // larger number only adds switching on a two-core laptop.
    m_VideoEncodeContext = h264::openEncoder(m_OutWidth, m_OutHeight, kVideoEncoderTimebase,
                                             kVideoEncoderTimebase.den, 0, &error);
    if (!m_VideoEncodeContext) {
        qWarning() << "openOutput:" << m_OutWidth << m_OutHeight << error;
        return -1;
    }
    AVCodecContext *video = m_VideoEncodeContext.get();
    m_AudioEncodeContext = aac::openEncoder(&error);
    if (!m_AudioEncodeContext) {
        qWarning() << "openOutput:" << error;
        return -1;
    }

    int ret = 0;
    m_OutFormatContext = ffmpeg::allocOutput(path, &ret);
    if (!m_OutFormatContext) {
        qWarning() << "openOutput: no muxer for" << path << ffmpeg::errorText(ret);
        return -1;
    }
    AVFormatContext *out = m_OutFormatContext.get();
    const AVCodecContext *encoders[2] = {video, m_AudioEncodeContext.get()};
    for (int i = 0; i < 2; ++i)
        if (!ffmpeg::addEncodedStream(out, encoders[i], i + 1))
            return -1;
    // The muxer was chosen by the target's name but writes the partial file, and reads that
    // back to move the index to the front when the file is finished.
    av_freep(&out->url);
    out->url = av_strdup(m_PartialPath.toUtf8().constData());
    if (!out->url || !exportlayout::addChapters(out, m_ClipList.chapters))
        return -1;
    ret = avio_open(&out->pb, m_PartialPath.toUtf8().constData(), AVIO_FLAG_WRITE);
    if (ret < 0) {
        qWarning() << "openOutput: avio_open" << m_PartialPath << ffmpeg::errorText(ret);
        return -1;
    }
    AVDictionary *options = nullptr;
    exportlayout::addFastStartOption(&options);
    ret = avformat_write_header(out, &options);
    av_dict_free(&options);
    if (ret < 0) {
        qWarning() << "openOutput: avformat_write_header" << ffmpeg::errorText(ret);
        return -1;
    }
    m_VideoOutputTimebase = out->streams[0]->time_base;
    m_AudioOutputTimebase = out->streams[1]->time_base;

    m_VideoWriterThread.reset(QThread::create([this] {
        writeVideoDataInThread();
        emit sig_WriteFinished(0);
    }));
    m_AudioWriterThread.reset(QThread::create([this] {
        writeAudioDataInThread();
        emit sig_WriteFinished(1);
    }));
    m_VideoWriterThread->start();
    m_AudioWriterThread->start();
    return 1;
}

QString ExportManager::writeFailure(int ret) const
{
    // A full disk is said as such: the teacher can free room or choose another folder.
    if (ret == AVERROR(ENOSPC))
        return tr("磁盘空间不足：%1").arg(m_TargetPath);
    return tr("无法写入导出文件：%1").arg(m_TargetPath);
}

bool ExportManager::writePacket(AVPacket *packet, const char *what)
{
    int ret;
    {
        QMutexLocker lock(&m_WriteMutex);
        ret = av_interleaved_write_frame(m_OutFormatContext.get(), packet);
    }
    if (ret < 0) {
        qWarning() << what << "av_interleaved_write_frame:" << ffmpeg::errorText(ret);
        fail(writeFailure(ret));
        return false;
    }
    return true;
}

int ExportManager::writeVideoDataInThread()
{
    AVCodecContext *encoder = m_VideoEncodeContext.get();
    ffmpeg::PacketPtr packet = ffmpeg::makePacket();
    bool working = bool(packet);
    if (!working)
        fail(tr("内存不足"));
    int counter = 0;
    for (;;) {
        // Every frame is taken off the queue, also after a failure, so the decode thread
        // never waits on a full queue.
        ffmpeg::FramePtr frame = m_VideoQueue.pop();
        const bool end = !frame;
        if (working && (end || !stopping())) {
            int ret = avcodec_send_frame(encoder, frame.get());
            if (ret < 0) {
                qWarning() << "writeVideoDataInThread: avcodec_send_frame"
                           << ffmpeg::errorText(ret);
                working = false;
            }
            while (working && (ret = avcodec_receive_packet(encoder, packet.get())) >= 0) {
                if (packet->duration <= 0)
                    packet->duration = 1;
                av_packet_rescale_ts(packet.get(), kVideoEncoderTimebase, m_VideoOutputTimebase);
                packet->stream_index = 0;
                m_VideoEndPts = packet->pts + packet->duration;
                if (++counter > 20) {
                    counter = 0;
                    const int seconds = int(packet->pts * av_q2d(m_VideoOutputTimebase));
                    QMetaObject::invokeMethod(
                        this, [this, seconds] { emit sig_ExportProgress(seconds); },
                        Qt::QueuedConnection);
                }
                working = writePacket(packet.get(), "video");
                av_packet_unref(packet.get());
            }
            if (working && ret != AVERROR(EAGAIN) && ret != AVERROR_EOF) {
                qWarning() << "writeVideoDataInThread: avcodec_receive_packet"
                           << ffmpeg::errorText(ret);
                working = false;
            }
            if (!working)
                fail(tr("视频编码失败"));
        }
        if (end)
            break;
    }
    qInfo() << "video写文件完成";
    return 1;
}

int ExportManager::writeAudioDataInThread()
{
    ffmpeg::CodecContextPtr encoder;  // the encoder of the current encoded section
    int64_t sectionStart = 0;
    ffmpeg::PacketPtr packet = ffmpeg::makePacket();
    bool working = bool(packet);
    if (!working)
        fail(tr("内存不足"));

    // Encoder output of a section; the first packet carries the encoder's start-up delay
    // before the section and is left out.
    auto drain = [&] {
        int ret;
        while ((ret = avcodec_receive_packet(encoder.get(), packet.get())) >= 0) {
            if (packet->pts >= sectionStart) {
                ffmpeg::PacketPtr copy = ffmpeg::makePacket();
                if (!copy) {
                    working = false;
                    break;
                }
                av_packet_move_ref(copy.get(), packet.get());
                working = writeAudioPacket(std::move(copy)) && working;
            }
            av_packet_unref(packet.get());
        }
        if (ret != AVERROR(EAGAIN) && ret != AVERROR_EOF) {
            qWarning() << "writeAudioDataInThread:" << ffmpeg::errorText(ret);
            working = false;
        }
    };

    auto encode = [&](const AVFrame *frame) {
        if (!working)
            return;
        if (!encoder) {
            QString error;
            encoder = aac::openEncoder(&error);
            if (!encoder) {
                qWarning() << "writeAudioDataInThread:" << error;
                working = false;
                return;
            }
            sectionStart = frame->pts;
        }
        const int ret = avcodec_send_frame(encoder.get(), frame);
        if (ret < 0) {
            qWarning() << "avcodec_send_frame audio:" << ffmpeg::errorText(ret);
            working = false;
        } else {
            drain();
        }
    };
    auto endSection = [&] {
        if (encoder) {
            avcodec_send_frame(encoder.get(), nullptr);
            drain();
            encoder.reset();
        }
    };
    // Levelled sound runs through one limiter and one encoder from the first clip to the last,
    // so nothing of either starts afresh at a clip's edge.
    std::unique_ptr<SoundLeveller> leveller;
    if (m_Levelling) {
        leveller =
            std::make_unique<SoundLeveller>(m_GainDb, m_AudioEncodeContext->frame_size,
                                            [&](ffmpeg::FramePtr frame) { encode(frame.get()); });
        if (!leveller->isValid()) {
            working = false;
            fail(tr("音频编码失败"));
        }
    }

    for (;;) {
        AudioItem item = m_AudioQueue.pop();
        if (item.kind == AudioItem::End)
            break;
        if (!working || stopping())
            continue;
        switch (item.kind) {
        case AudioItem::Packet: working = writeAudioPacket(std::move(item.packet)); break;
        case AudioItem::Frame:
            if (leveller)
                leveller->add(item.frame.get());
            else
                encode(item.frame.get());
            break;
        case AudioItem::SectionEnd:
            if (!leveller)
                endSection();
            break;
        case AudioItem::End: break;
        }
        if (!working)
            fail(tr("音频编码失败"));
    }
    if (leveller && working && !stopping()) {
        leveller->finish();
        endSection();
        if (!working)
            fail(tr("音频编码失败"));
    }
    // The last packet ends where the export ends, so the sound track is as long as the export.
    if (m_PendingAudio && working && !stopping()) {
        const int64_t end = av_rescale(m_ClipList.totalMs, exportaudio::kSampleRate, 1000);
        if (end > m_PendingAudio->pts && m_PendingAudio->pts + m_PendingAudio->duration > end)
            m_PendingAudio->duration = end - m_PendingAudio->pts;
        writeAudioPacket(ffmpeg::PacketPtr());
    }
    m_PendingAudio.reset();
    qInfo() << "audio写文件完成";
    return 1;
}

bool ExportManager::writeAudioPacket(ffmpeg::PacketPtr packet)
{
    // Sound packets are held back by one, so that the last one can still be shortened.
    if (packet) {
        if (m_LastAudioDts != AV_NOPTS_VALUE && packet->dts <= m_LastAudioDts)
            return true;  // overlaps the sound already written
        m_LastAudioDts = packet->dts;
    }
    ffmpeg::PacketPtr ready = std::move(m_PendingAudio);
    m_PendingAudio = std::move(packet);
    if (!ready)
        return true;
    av_packet_rescale_ts(ready.get(), exportaudio::kSampleTimebase, m_AudioOutputTimebase);
    ready->stream_index = 1;
    m_AudioEndPts = ready->pts + ready->duration;
    return writePacket(ready.get(), "audio");
}

void ExportManager::slot_write_finished(int steamIndex)
{
    if (steamIndex == 0)
        m_VideoWriting = false;
    else
        m_AudioWriting = false;
    if (m_VideoWriting || m_AudioWriting || m_FinishThread)
        return;
    // Finishing rewrites the whole file to put its index first, which takes a while for a
    // long lecture: it runs on a thread of its own and the result comes back to this thread.
    m_FinishThread.reset(QThread::create([this] { finishFile(); }));
    connect(
        m_FinishThread.get(), &QThread::finished, this,
        [this] {
            if (m_Canceled) {
                emit sig_ExportCanceled();
            } else {
                emit sig_ExportFinished(!m_Failed);
            }
        },
        Qt::QueuedConnection);
    m_FinishThread->start();
}

void ExportManager::waitForThreads()
{
    if (m_ExportThread)
        m_ExportThread->wait();
    if (m_VideoWriterThread)
        m_VideoWriterThread->wait();
    if (m_AudioWriterThread)
        m_AudioWriterThread->wait();
    if (m_FinishThread && QThread::currentThread() != m_FinishThread.get())
        m_FinishThread->wait();
}

void ExportManager::finishFile()
{
    waitForThreads();
    m_VideoEncodeContext.reset();
    m_AudioEncodeContext.reset();
    m_BackgroundFrame.reset();
    if (m_OutFormatContext) {
        AVFormatContext *out = m_OutFormatContext.get();
        qInfo() << "视频时长：" << m_VideoEndPts * 1000.0 * av_q2d(m_VideoOutputTimebase);
        qInfo() << "音频时长：" << m_AudioEndPts * 1000.0 * av_q2d(m_AudioOutputTimebase);
        if (!m_Canceled && !m_Failed) {
            const int ret = av_write_trailer(out);
            qInfo() << "av_write_trailer()";
            if (ret < 0) {
                qWarning() << "av_write_trailer:" << ffmpeg::errorText(ret);
                fail(writeFailure(ret));
            }
        }
        const int ret = avio_closep(&out->pb);
        qInfo() << "关闭视频输出io";
        if (ret < 0) {
            qWarning() << "avio_closep:" << ffmpeg::errorText(ret);
            fail(writeFailure(ret));
        }
        m_OutFormatContext.reset();
    }
    m_Finished = true;
    if (m_Canceled || m_Failed) {
        QFile::remove(m_PartialPath);
        return;
    }
    // The finished file replaces the target only now; before, whatever was there stays.
    if (QFile::exists(m_TargetPath) && !QFile::remove(m_TargetPath)) {
        QFile::remove(m_PartialPath);
        fail(tr("无法替换已有的文件：%1").arg(m_TargetPath));
        return;
    }
    if (!QFile::rename(m_PartialPath, m_TargetPath)) {
        QFile::remove(m_PartialPath);
        fail(tr("无法写入导出文件：%1").arg(m_TargetPath));
    }
}
