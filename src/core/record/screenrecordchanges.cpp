// ScreenRecord: the reader of a change-driven picture source (the whiteboard, a Wayland
// desktop's screen cast). It keeps the
// newest picture the source delivered and sends it to the encoder by PictureCadence's rule:
// when the picture changed (at most 30 a second), again at least once a second while nothing
// changes, and once at the end of every stretch (pause, stop); each picture stamped with the
// time it appeared. A new clip asked for begins with the first picture drawn after the request.
// A source that gives up while recording leaves its last picture to the end (with a warning).
#include "core/record/picturecadence.h"
#include "core/record/screenrecord.h"

#include <QDebug>
#include <QThread>
#include <QThreadPool>

#include <algorithm>
#include <limits>

namespace {
constexpr AVRational kMicroseconds{1, 1000000};
// Longest wait for the source, so that a pause or the stop is seen soon.
constexpr qint64 kLongestWaitUs = 20000;
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
    bool sourceEnded = false;  // the source delivers no more pictures

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
        AVData requested;
        if (takeClipRequest(requested, newest ? latestUs : previousUs))
            splitClip(fileUs, requested);
        m_pictureSlots += 1;
        queuePacket(m_videoDecoder, pkt.get());
    };

    while (incoming && latest && previous) {
        const int state = m_state.load();
        qint64 beginUs = 0;
        qint64 endUs = 0;
        const bool started = m_timeline.lastStretch(&beginUs, &endUs);
        if (started && beginUs != stretchBeginUs) {
            // Recording starts or goes on: the picture as it is now comes first.
            stretchBeginUs = beginUs;
            stretchEnded = false;
            cadence.changed(beginUs);
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
        else
            read = m_pictureSource->read(incoming.get(), &drawnUs, int((waitUs + 999) / 1000));
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
    queuePacket(m_videoDecoder, nullptr);
    qInfo() << "readChangedPicturesInThread: pictures" << m_pictureSlots.load();
}
