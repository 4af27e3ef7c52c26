// ScreenRecord: the two reader threads. Each reads packets from its input, keeps what the time
// line keeps (nothing before the start, during a pause or after the stop), restamps it and
// hands it to its decoder. The video reader also splits the clip when asked to.
#include "core/record/outfilewriter.h"
#include "core/record/screenrecord.h"

#include "core/project/projectdata.h"
#include "core/record/soundclock.h"
#include "core/record/soundinputwatch.h"

extern "C" {
#include <libavutil/pixdesc.h>
#include <libavutil/time.h>
}

#include <QDebug>
#include <QThread>
#include <QThreadPool>

#include <algorithm>
#include <cstdlib>
#include <limits>

namespace {
constexpr AVRational kMicroseconds{1, 1000000};
}  // namespace

void ScreenRecord::queuePacket(DecoderChannel &channel, AVPacket *packet)
{
    ffmpeg::PacketPtr queued;
    if (packet) {
        queued = ffmpeg::makePacket();
        if (!queued) {
            av_packet_unref(packet);
            return;
        }
        av_packet_move_ref(queued.get(), packet);
    }
    QMutexLocker lock(&channel.mutex);
    // The encoder loop wakes us when it takes a packet; once it has ended (no decoder any
    // more) nothing is queued.
    while (channel.context && channel.queue.size() >= kQueuedPackets)
        channel.changed.wait(&channel.mutex, 50);
    if (!channel.context)
        return;
    channel.queue.push_back(std::move(queued));
    channel.changed.wakeAll();
}

void ScreenRecord::decodeVideoDatasInThread()
{
    m_threadPool->start([this]() { encodeVideoDatasInThread(); });
    ffmpeg::PacketPtr pkt = ffmpeg::makePacket();
    const qint64 frameTicks = av_rescale_q(1, AVRational{1, kFrameRate}, m_videoInputTimebase);
    const AVCodecParameters *parameters = m_pictureSource->parameters();
    const AVPixFmtDescriptor *format = av_pix_fmt_desc_get(AVPixelFormat(parameters->format));
    const int bytesPerPixel = format ? av_get_padded_bits_per_pixel(format) / 8 : 0;
    const int width = parameters->width;
    const int height = parameters->height;
    qint64 lastSlot = -1;
    while (pkt) {
        qint64 captureUs = 0;
        if (m_pictureSource->read(pkt.get(), &captureUs, 100) == PictureSource::Read::Ended)
            break;
        if (m_state.load() == Prepared || pkt->size <= 0) {
            av_packet_unref(pkt.get());
            continue;
        }
        if (m_timeline.isOverAt(captureUs)) {
            av_packet_unref(pkt.get());
            break;
        }
        const qint64 fileUs = m_timeline.mapVideo(captureUs);
        // Each picture takes the nearest place of the file's fixed frame rate; when the grabber
        // catches up after a delay, the pictures that come too close together are left out.
        const qint64 slot =
            fileUs < 0 ? -1 : av_rescale_rnd(fileUs, kFrameRate, 1000000, AV_ROUND_NEAR_INF);
        if (fileUs < 0 || slot <= lastSlot) {
            av_packet_unref(pkt.get());
            continue;
        }
        // A picture further than one place from the one before: the places between repeat
        // the picture before, the screen was not grabbed for them in time. The first picture
        // stands from the start, and the grab's first tick may come up to a place after it.
        const qint64 allowed = lastSlot == 0 ? 2 : 1;
        if (lastSlot >= 0 && slot > lastSlot + allowed)
            m_latePictures += slot - lastSlot - allowed;
        m_pictureSlots = slot + 1;
        lastSlot = slot;
        pkt->pts = pkt->dts = av_rescale_q(slot, AVRational{1, kFrameRate}, m_videoInputTimebase);
        pkt->duration = frameTicks;
        // A new clip asked for starts where the picture changes, at the latest when the split
        // point has seen enough pictures.
        const qint64 pictureUs = av_rescale_q(pkt->pts, m_videoInputTimebase, kMicroseconds);
        const ClipSplitPoint::Picture picture{pkt->data, pkt->size, width, height, bytesPerPixel};
        AVData requested;
        if (takeClipRequest(requested)) {
            if (m_splitPoint.isWatching())
                splitClip(m_splitPoint.finish(), m_watchedClip);
            m_watchedClip = requested;
            m_splitPoint.start(pictureUs, picture);
        } else if (m_splitPoint.add(pictureUs, picture)) {
            splitClip(m_splitPoint.finish(), m_watchedClip);
        }
        queuePacket(m_videoDecoder, pkt.get());
    }
    // Stopped while watching: the new clip still gets its place, before the file is finished.
    if (m_splitPoint.isWatching())
        splitClip(m_splitPoint.finish(), m_watchedClip);
    queuePacket(m_videoDecoder, nullptr);
    qInfo() << "decodeVideoDatasInThread:结束视频录制";
}

bool ScreenRecord::takeClipRequest(AVData &next, qint64 notBeforeUs)
{
    if (!m_newClipRequested.load())
        return false;
    QMutexLocker lock(&m_clipMutex);
    if (notBeforeUs < m_clipRequestUs)
        return false;
    next = m_nextAvData;
    m_newClipRequested = false;
    return true;
}

void ScreenRecord::splitClip(qint64 fileUs, AVData next)
{
    AVData current;
    {
        QMutexLocker lock(&m_clipMutex);
        m_avData.endTime = fileUs / 1000;
        next.beginTime = m_avData.endTime;
        // Until the file is finished the new clip is empty rather than of negative length,
        // so the clips after it keep sound positions.
        next.endTime = next.beginTime;
        current = m_avData;
        m_avData = next;
    }
    runOnMainThread([this, current, next]() {
        const int index = m_project->indexOf(current);
        m_project->replace(current);
        m_project->insert(index >= 0 ? index + 1 : -1, next);
    });
    QMutexLocker lock(&m_writerMutex);
    if (OutFileWriter *writer = currentWriter(VideoStream))
        writer->setClip(next);
}

void ScreenRecord::decodeAudioDatasInThread()
{
    readSoundInThread(m_pAudioInputContext, m_audioStreamIndex, m_audioDecoder, true);
    m_pAudioInputContext.reset();
    m_microphoneWatch.reset();
    qInfo() << "decodeAudioDatasInThread:结束音频录制4444444444";
}

void ScreenRecord::readSoundInThread(ffmpeg::InputFormatContextPtr &ctx, int &streamIndex,
                                     DecoderChannel &channel, bool microphone)
{
    ffmpeg::PacketPtr pkt = ffmpeg::makePacket();
    const AVCodecParameters *parameters = ctx->streams[streamIndex]->codecpar;
    const int sampleRate = parameters->sample_rate;
    const AVCodecID codec = parameters->codec_id;
    const int channels = parameters->ch_layout.nb_channels;
    SoundClock clock(sampleRate);
    bool paused = false;
    const auto over = [this]() {
        return m_destroying.load() || m_state.load() == Stopped ||
               m_timeline.isOverAt(captureClockNow());
    };
    while (pkt) {
        const int ret = av_read_frame(ctx.get(), pkt.get());
        if (ret < 0) {
            qWarning() << "readSoundInThread: av_read_frame" << ffmpeg::errorText(ret);
            ctx.reset();
            if (over())
                break;
            // The sound server went away (it restarts under a running program after an update
            // or a crash, or when a headset changes its profile) or the device did: silence
            // stands for the input until it is back.
            channel.lost = true;
            emit sig_SoundInputLost(microphone);
            QString device;
            while (!over()) {
                device = reopenSoundInput(microphone, ctx, streamIndex);
                const AVCodecParameters *p = ctx ? ctx->streams[streamIndex]->codecpar : nullptr;
                if (p && p->codec_id == codec && p->sample_rate == sampleRate &&
                    p->ch_layout.nb_channels == channels)
                    break;
                ctx.reset();
                for (int waited = 0; waited < kReopenIntervalMs && !over(); waited += 50)
                    QThread::msleep(50);
            }
            if (!ctx)
                break;
            qInfo() << "readSoundInThread: the sound input is back:" << device;
            // The new input's samples start now: its clock starts afresh.
            clock = SoundClock(sampleRate);
            channel.lost = false;
            emit sig_SoundInputBack(microphone, device);
            continue;
        }
        if (pkt->stream_index != streamIndex) {
            av_packet_unref(pkt.get());
            continue;
        }
        // Also while prepared, so that the clock has settled when recording starts.
        const qint64 samples =
            av_get_audio_frame_duration2(ctx->streams[streamIndex]->codecpar, pkt->size);
        const qint64 captureUs = clock.packetArrived(captureClockNow(), samples);
        const int state = m_state.load();
        if (state == Prepared) {
            av_packet_unref(pkt.get());
            continue;
        }
        if (m_timeline.isOverAt(captureUs)) {
            av_packet_unref(pkt.get());
            break;
        }
        const qint64 durationUs = samples * 1000000 / std::max(1, sampleRate);
        if (durationUs > 0 && m_timeline.mapAudio(captureUs, captureUs + durationUs).isEmpty()) {
            paused = paused || state == Paused;
            av_packet_unref(pkt.get());
            continue;
        }
        if (paused) {
            if (microphone)
                qInfo() << "encodeAudioDatasInThread 恢复录制:pause_pts:" << captureUs;
            paused = false;
        }
        pkt->pts = pkt->dts = captureUs;
        queuePacket(channel, pkt.get());
    }
    channel.lost = false;
    if (microphone)
        qInfo() << "decodeAudioDatasInThread:结束音频录制0000000";
    queuePacket(channel, nullptr);
}
