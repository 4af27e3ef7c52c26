// ScreenRecord: the picture encoder loop (crop, H.264, and the silent sound track when no
// microphone is open), packet writing, and the end of each stream and of the file.
#include "core/record/outfilewriter.h"
#include "core/record/screenrecord.h"

#include "core/project/projectdata.h"

extern "C" {
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/time.h>
}

#include <QDebug>
#include <QThread>

#include <algorithm>

namespace {
constexpr AVRational kMicroseconds{1, 1000000};
}  // namespace

ScreenRecord::OutFileWriter *ScreenRecord::currentWriter(OutStreamType type) const
{
    // Called under m_writerMutex.
    if (m_writers.empty())
        return nullptr;
    if (type != VideoStream && type != AudioStream)
        return m_writers.front().get();
    if (!m_writers.front()->streamFinished(type))
        return m_writers.front().get();
    return m_writers.size() > 1 ? m_writers[1].get() : nullptr;
}

int ScreenRecord::receiveFrame(DecoderChannel &channel, AVFrame *frame)
{
    // Nothing decoded yet: wait for the reader's next packet, however long it takes.
    for (;;) {
        const int ret = pollFrame(channel, frame, 100);
        if (ret != AVERROR(EAGAIN))
            return ret;
    }
}

void ScreenRecord::onWriteError(int error)
{
    // Called under m_writerMutex. Writing into a file that no longer takes data would lose
    // the lecture silently: end the recording, finish what can be finished, report failure.
    if (m_writeFailed.exchange(true))
        return;
    qWarning() << "ScreenRecord: writing the recording failed:" << ffmpeg::errorText(error);
    m_timeline.stop(captureClockNow());
    m_state = Stopped;
}

void ScreenRecord::encodeAndWrite(AVFrame *frame, OutStreamType type)
{
    OutFileWriter *writer = nullptr;
    {
        QMutexLocker lock(&m_writerMutex);
        writer = currentWriter(type);
    }
    AVCodecContext *encoder =
        type == AudioStream ? pAudioEncodeContext.get() : pVideoEncodeContext.get();
    if (!encoder)
        return;
    avcodec_send_frame(encoder, frame);
    ffmpeg::PacketPtr pkt = ffmpeg::makePacket();
    int ret = pkt ? 0 : AVERROR(ENOMEM);
    const qint64 frameTicks = av_rescale_q(1, AVRational{1, kFrameRate}, encoder->time_base);
    while (pkt && (ret = avcodec_receive_packet(encoder, pkt.get())) == 0) {
        pkt->stream_index = type == VideoStream ? 0 : 1;
        if (type == VideoStream && pkt->duration <= 0)
            pkt->duration = frameTicks;
        if (type == VideoStream && (pkt->flags & AV_PKT_FLAG_KEY))
            m_lastKeyPictureUs = av_rescale_q(pkt->pts, encoder->time_base, kMicroseconds);
        QMutexLocker lock(&m_writerMutex);
        if (writer && !m_writeFailed.load()) {
            const int written = writer->writePacket(pkt.get());
            if (written < 0)
                onWriteError(written);
        }
        av_packet_unref(pkt.get());
    }
    if (ret != AVERROR_EOF)
        return;
    writeFinished(writer, type);
    if (type == AudioStream)
        pAudioEncodeContext.reset();
    else
        pVideoEncodeContext.reset();
    bool last = false;
    {
        QMutexLocker lock(&m_writerMutex);
        last = m_writers.empty();
    }
    // The sound and the picture encoder each finish their stream and may both find the last
    // writer gone: the end is reported once, by whichever gets here first.
    if (!last || m_endReported.exchange(true))
        return;
    if (m_writeFailed.load()) {
        emit sig_Critical(tr("无法录制！"));
    } else {
        qInfo() << "ScreenRecord: pictures late" << m_latePictures.load() << "of"
                << m_pictureSlots.load();
        emit sigRecordFinish();
    }
}

int ScreenRecord::writeFinished(OutFileWriter *writer, OutStreamType type)
{
    QMutexLocker lock(&m_writerMutex);
    if (!writer)
        return 1;
    writer->writeFinished(type, [this](const AVData &clip) {
        runOnMainThread([this, clip]() {
            m_project->setDuration(clip.filePath, clip.duration);
            m_project->replace(clip);
        });
    });
    qInfo() << "ScreenRecord::writeFinished:" << type;
    qInfo() << "outFileWriter->m_WriteFinished:" << (writer->isWriteFinished() ? "true" : "false");
    if (writer->isWriteFinished()) {
        if (writer->error() < 0)
            m_writeFailed = true;
        m_writers.erase(std::remove_if(m_writers.begin(), m_writers.end(),
                                       [writer](const auto &w) { return w.get() == writer; }),
                        m_writers.end());
    }
    return 1;
}

void ScreenRecord::encodeSilenceUntil(qint64 endSamples)
{
    if (!m_silenceFrame || !pAudioEncodeContext)
        return;
    const int frameSize = m_silenceFrame->nb_samples;
    while (m_silenceWrittenSamples + frameSize <= endSamples) {
        m_silenceFrame->pts = m_silenceWrittenSamples;
        encodeAndWrite(m_silenceFrame.get(), AudioStream);
        m_silenceWrittenSamples += frameSize;
    }
}

int ScreenRecord::encodeVideoDatasInThread()
{
    ffmpeg::FramePtr frame = ffmpeg::makeFrame();
    ffmpeg::FramePtr filtered = ffmpeg::makeFrame();
    ffmpeg::FramePtr previous = ffmpeg::makeFrame();  // the last picture encoded
    const AVRational frameRate{1, kFrameRate};
    qint64 lastSlot = -1;
    qint64 lastPtsUs = -1;
    int result = 0;
    // The sound encoder's priming comes first in the file; the silent track is that much
    // shorter, so that both streams end together.
    const qint64 priming = pAudioEncodeContext ? pAudioEncodeContext->initial_padding : 0;
    while (frame && filtered && previous) {
        av_frame_unref(frame.get());
        result = receiveFrame(m_videoDecoder, frame.get());
        if (result == AVERROR_EOF)
            break;
        if (result < 0)
            continue;
        result = av_buffersrc_add_frame_flags(m_bufferSrcContext, frame.get(),
                                              AV_BUFFERSRC_FLAG_KEEP_REF);
        if (result < 0) {
            qWarning() << "Error while feeding the filtergraph:" << ffmpeg::errorText(result);
            continue;
        }
        while (av_buffersink_get_frame(m_bufferSinkContext, filtered.get()) >= 0) {
            filtered->pts = frame->pts;
            filtered->pkt_dts = frame->pkt_dts;
            filtered->pkt_duration = frame->pkt_duration;
            filtered->pict_type = AV_PICTURE_TYPE_NONE;
            // A place of the frame rate the grabber missed repeats the picture before it (a
            // stretch of up to half a second; longer ones are left as they are).
            const qint64 slot = av_rescale_q(filtered->pts, m_videoInputTimebase, frameRate);
            // A change-driven source leaves places out on purpose: its picture is held.
            if (!m_changeDriven && lastSlot >= 0 && slot - lastSlot > 1 &&
                slot - lastSlot <= kFrameRate / 2) {
                for (qint64 missed = lastSlot + 1; missed < slot; ++missed) {
                    previous->pts = av_rescale_q(missed, frameRate, m_videoInputTimebase);
                    previous->pict_type = AV_PICTURE_TYPE_NONE;
                    encodeAndWrite(previous.get(), VideoStream);
                }
            }
            // Pictures of a change-driven source may stand a second apart: the encoder's own
            // key picture every 50 would then come once a minute on a still screen, and a seek
            // or a cut would decode that far. Such a file gets one at least every
            // kKeyPictureDistanceUs, as a recording of moving pictures has.
            const qint64 ptsUs = av_rescale_q(filtered->pts, m_videoInputTimebase, kMicroseconds);
            if (m_changeDriven &&
                (m_lastKeyPictureUs < 0 || ptsUs - m_lastKeyPictureUs >= kKeyPictureDistanceUs))
                filtered->pict_type = AV_PICTURE_TYPE_I;
            // A busy machine (tests): the picture reaches the file that much later.
            if (const int delay = encodeDelayForTesting().load())
                QThread::msleep(ulong(delay));
            encodeAndWrite(filtered.get(), VideoStream);
            lastSlot = slot;
            lastPtsUs = av_rescale_q(filtered->pts, m_videoInputTimebase, kMicroseconds);
            // Without microphone the silent track follows the picture.
            encodeSilenceUntil(av_rescale_q(slot, frameRate, {1, kSampleRate}) - priming);
            av_frame_unref(previous.get());
            av_frame_move_ref(previous.get(), filtered.get());
        }
    }
    // The picture ends one frame after its last frame; the sound is brought to the same end.
    qint64 videoEndUs = lastSlot >= 0 ? av_rescale_q(lastSlot + 1, frameRate, kMicroseconds) : -1;
    if (m_changeDriven && lastPtsUs >= 0)
        videoEndUs = lastPtsUs + av_rescale_q(1, frameRate, kMicroseconds);
    m_timeline.finishVideo(videoEndUs);
    encodeAndWrite(nullptr, VideoStream);
    if (m_silenceFrame) {
        const qint64 endSamples =
            videoEndUs >= 0 ? av_rescale_q(videoEndUs, kMicroseconds, {1, kSampleRate}) - priming
                            : 0;
        encodeSilenceUntil(endSamples);
        const qint64 rest = endSamples - m_silenceWrittenSamples;
        ffmpeg::FramePtr tail = ffmpeg::makeFrame();
        if (rest > 0 && tail && av_frame_ref(tail.get(), m_silenceFrame.get()) == 0) {
            tail->nb_samples = int(rest);
            tail->pts = m_silenceWrittenSamples;
            encodeAndWrite(tail.get(), AudioStream);
            m_silenceWrittenSamples += rest;
        }
        encodeAndWrite(nullptr, AudioStream);
    }
    m_bufferSrcContext = nullptr;
    m_bufferSinkContext = nullptr;
    m_filterGraph.reset();
    m_silenceFrame.reset();
    {
        QMutexLocker lock(&m_videoDecoder.mutex);
        m_videoDecoder.context.reset();
        m_videoDecoder.queue.clear();
        m_videoDecoder.changed.wakeAll();
    }
    qInfo() << "encodeVideoDatasInThread:结束视频编码7777777777";
    return 0;
}
