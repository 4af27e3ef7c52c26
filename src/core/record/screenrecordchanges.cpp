// ScreenRecord: the reader of a change-driven picture source (the whiteboard, the X screen read
// by its changes, a Wayland desktop's screen cast). It keeps the newest picture the source
// delivered and sends it to the encoder by PictureCadence's rule: when the picture changed (at most
// 30 a second), again at least once a second while nothing changes, and once at the end of every
// stretch (pause, stop); each picture stamped with the time it appeared. A new clip asked for
// begins where the picture changes within kClipWaitUs of the request (ClipSplitPoint, as for the
// continuous grab: a slide show paints the new slide a moment after it asks, a board its new page
// at once), else where it was asked for. A source that gives up while recording leaves its last
// picture to the end (with a warning).
#include "core/record/picturecadence.h"
#include "core/record/screenrecord.h"

extern "C" {
#include <libavutil/pixdesc.h>
}

#include <QDebug>
#include <QThread>
#include <QThreadPool>

#include <algorithm>
#include <limits>

namespace {
constexpr AVRational kMicroseconds{1, 1000000};
// Longest wait for the source, so that a pause or the stop is seen soon.
constexpr qint64 kLongestWaitUs = 20000;
// How long a new clip waits for the picture that begins it (the continuous grab watches as long).
constexpr qint64 kClipWaitUs = 500000;

// What ClipSplitPoint compares of a picture: its first plane.
ClipSplitPoint::Picture splitPicture(const AVPacket *packet, const AVCodecParameters *parameters)
{
    const AVPixFmtDescriptor *format = av_pix_fmt_desc_get(AVPixelFormat(parameters->format));
    if (!format || !packet->data)
        return {};
    const bool planar = format->flags & AV_PIX_FMT_FLAG_PLANAR;
    const int bytesPerPixel = planar ? 1 : av_get_padded_bits_per_pixel(format) / 8;
    const qsizetype size =
        planar ? qsizetype(parameters->width) * parameters->height : qsizetype(packet->size);
    if (size > packet->size)
        return {};
    return {packet->data, size, parameters->width, parameters->height, bytesPerPixel};
}
}  // namespace

void ScreenRecord::readChangedPicturesInThread()
{
    m_threadPool->start([this]() { encodeVideoDatasInThread(); });
    const qint64 frameTicks = av_rescale_q(1, AVRational{1, kFrameRate}, m_videoInputTimebase);
    ffmpeg::PacketPtr incoming = ffmpeg::makePacket();
    // The newest picture and the one before it, with when each was drawn (-1: none yet). A
    // picture is sent only at or after the time it was drawn: the end of a stretch may be seen
    // after a picture drawn past it has come.
    ffmpeg::PacketPtr latest = ffmpeg::makePacket();
    ffmpeg::PacketPtr previous = ffmpeg::makePacket();
    qint64 latestUs = -1;
    qint64 previousUs = -1;
    bool haveLatest = false;
    PictureCadence cadence;
    qint64 stretchBeginUs = -1;  // the kept stretch the cadence follows
    bool stretchEnded = true;
    qint64 lastFileUs = -1;   // of the newest picture sent
    qint64 watchUntilUs = 0;  // while m_splitPoint watches
    const AVCodecParameters *parameters = m_pictureSource->parameters();
    bool sourceEnded = false;  // the source delivers no more pictures

    // While the reader is held up (the encoder cannot keep up, the source is slow to read)
    // changes of the picture go unseen: every place of the frame rate past the first that it
    // is held up for counts as a late picture, as the continuous grab counts the places it
    // missed.
    const qint64 frameUs = 1000000 / kFrameRate;
    const auto noteHeldUp = [&](qint64 heldUs) {
        if (heldUs > frameUs && !stretchEnded)
            m_latePictures += heldUs / frameUs - 1;
    };

    const auto send = [&](qint64 stampUs) {
        const bool newest = latestUs <= stampUs;
        if (!newest && (previousUs < 0 || previousUs > stampUs))
            return;
        const qint64 fileUs = m_timeline.mapVideo(stampUs);
        if (fileUs < 0)
            return;
        ffmpeg::PacketPtr pkt = ffmpeg::makePacket();
        if (!pkt || av_packet_ref(pkt.get(), newest ? latest.get() : previous.get()) < 0)
            return;
        pkt->pts = pkt->dts = av_rescale_q(fileUs, kMicroseconds, m_videoInputTimebase);
        pkt->duration = frameTicks;
        if (m_splitPoint.isWatching() &&
            m_splitPoint.add(fileUs, splitPicture(pkt.get(), parameters)))
            splitClip(m_splitPoint.finish(), m_watchedClip);
        lastFileUs = fileUs;
        m_pictureSlots += 1;
        const qint64 queuedUs = captureClockNow();
        queuePacket(m_videoDecoder, pkt.get());
        noteHeldUp(captureClockNow() - queuedUs);
    };

    while (incoming && latest && previous) {
        const int state = m_state.load();
        qint64 beginUs = 0;
        qint64 endUs = 0;
        const bool started = m_timeline.lastStretch(&beginUs, &endUs);
        if (started && beginUs != stretchBeginUs) {
            // Recording starts or goes on: the picture as it is now comes first. A change
            // shown just before may still be on its way from the source (the screen's
            // compositor paints it a moment later): a picture it delivers within one spacing
            // stands for the start, as the next grab of a continuous source would.
            const qint64 settleUs = beginUs + PictureCadence::kMinSpacingUs;
            if (captureClockNow() >= settleUs || state == Stopped ||
                endUs != std::numeric_limits<qint64>::max()) {
                if (haveLatest && latestUs > beginUs && latestUs <= settleUs)
                    latestUs = beginUs;
                stretchBeginUs = beginUs;
                stretchEnded = false;
                cadence.changed(beginUs);
            }
        }
        if (started && !stretchEnded && endUs != std::numeric_limits<qint64>::max()) {
            // Paused or stopped: what was due before the end, then the picture at the end.
            if (haveLatest) {
                const qint64 due = cadence.take(endUs - 1);
                if (due >= 0)
                    send(due);
                const qint64 last = cadence.end(endUs);
                if (last >= 0)
                    send(last);
            }
            stretchEnded = true;
        }
        if (state == Stopped && (!started || stretchEnded))
            break;
        if (started && m_newClipRequested.load()) {
            // A new clip: compared with the picture shown when it was asked for.
            qint64 requestUs = 0;
            {
                QMutexLocker lock(&m_clipMutex);
                requestUs = m_clipRequestUs;
            }
            AVData requested;
            if (takeClipRequest(requested)) {
                if (m_splitPoint.isWatching())
                    splitClip(m_splitPoint.finish(), m_watchedClip);
                m_watchedClip = requested;
                const bool before =
                    latestUs <= requestUs || previousUs < 0 || previousUs > requestUs;
                const qint64 fileUs = m_timeline.mapVideo(requestUs);
                m_splitPoint.start(
                    fileUs >= 0 ? fileUs : std::max<qint64>(lastFileUs, 0),
                    splitPicture(before ? latest.get() : previous.get(), parameters));
                watchUntilUs = requestUs + kClipWaitUs;
            }
        }
        if (m_splitPoint.isWatching() && captureClockNow() >= watchUntilUs)
            splitClip(m_splitPoint.finish(), m_watchedClip);
        qint64 waitUs = kLongestWaitUs;
        if (!stretchEnded && haveLatest) {
            const qint64 now = captureClockNow();
            const qint64 due = cadence.take(now);
            if (due >= 0) {
                send(due);
                continue;
            }
            waitUs = std::clamp<qint64>(cadence.dueUs() - now, 0, kLongestWaitUs);
        }
        qint64 drawnUs = 0;
        PictureSource::Read read = PictureSource::Read::Unchanged;
        if (sourceEnded)
            QThread::usleep(quint64(std::max<qint64>(waitUs, 1000)));
        else {
            const qint64 askedUs = captureClockNow();
            const int waitMs = int((waitUs + 999) / 1000);
            read = m_pictureSource->read(incoming.get(), &drawnUs, waitMs);
            noteHeldUp(captureClockNow() - askedUs - qint64(waitMs) * 1000);
        }
        if (read == PictureSource::Read::Ended) {
            if (m_destroying.load())
                break;
            // The source gave up while recording (the desktop stopped sharing the screen): the
            // file keeps the last picture until the stop, and the teacher is told.
            qWarning() << "readChangedPicturesInThread: the picture source ended";
            sourceEnded = true;
            emit sig_Warning(tr("桌面停止了屏幕共享：从这里起录像只保留最后的画面。\n"
                                "请停止录制，然后重新开始。"));
            continue;
        }
        if (read == PictureSource::Read::Picture) {
            av_packet_unref(previous.get());
            av_packet_move_ref(previous.get(), latest.get());
            previousUs = latestUs;
            av_packet_move_ref(latest.get(), incoming.get());
            haveLatest = true;
            latestUs = drawnUs;
            if (!stretchEnded)
                cadence.changed(drawnUs);
        }
    }
    // Stopped while watching: the new clip still gets its place, before the file is finished.
    if (m_splitPoint.isWatching())
        splitClip(m_splitPoint.finish(), m_watchedClip);
    queuePacket(m_videoDecoder, nullptr);
    qInfo() << "readChangedPicturesInThread: pictures" << m_pictureSlots.load();
}
