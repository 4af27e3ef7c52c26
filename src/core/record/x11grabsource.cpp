#include "core/record/x11grabsource.h"

extern "C" {
#include <libavdevice/avdevice.h>
#include <libavutil/time.h>
}

#include <QDebug>

#include <cstdlib>

qint64 PictureSource::captureClockUs()
{
    return av_gettime();
}

X11GrabSource::X11GrabSource(const QRect &rect, int frameRate)
    : m_rect(rect), m_frameRate(frameRate)
{
}

bool X11GrabSource::open(QString *error)
{
    const QString display = QString::fromLocal8Bit(qgetenv("DISPLAY"));
    if (display.isEmpty() || m_rect.width() <= 0 || m_rect.height() <= 0) {
        *error = QStringLiteral("no display or no rectangle to record: %1 %2x%3")
                     .arg(display)
                     .arg(m_rect.width())
                     .arg(m_rect.height());
        return false;
    }
    avdevice_register_all();
    const AVInputFormat *format = av_find_input_format("x11grab");
    ffmpeg::Dictionary options;
    const QByteArray size =
        QStringLiteral("%1x%2").arg(m_rect.width()).arg(m_rect.height()).toLatin1();
    if (!format || !options.set("framerate", m_frameRate) || !options.set("draw_mouse", 1) ||
        !options.set("grab_x", m_rect.x()) || !options.set("grab_y", m_rect.y()) ||
        !options.set("video_size", size.constData())) {
        *error = QStringLiteral("x11grab is not available");
        return false;
    }
    int ret = 0;
    m_input = ffmpeg::openMedia(display, &ret, format, options.ref());
    if (!m_input) {
        *error = QStringLiteral("avformat_open_input failed: %1").arg(ffmpeg::errorText(ret));
        return false;
    }
    qInfo() << "avformat_open_input success";
    m_stream = av_find_best_stream(m_input.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (m_stream < 0) {
        *error = QStringLiteral("av_find_best_stream failed: %1").arg(ffmpeg::errorText(m_stream));
        m_input.reset();
        return false;
    }
    return true;
}

const AVCodecParameters *X11GrabSource::parameters() const
{
    return m_input ? m_input->streams[m_stream]->codecpar : nullptr;
}

AVRational X11GrabSource::timeBase() const
{
    return m_input ? m_input->streams[m_stream]->time_base : AVRational{1, 1000000};
}

PictureSource::Read X11GrabSource::read(AVPacket *packet, qint64 *captureUs, int)
{
    while (m_input && !m_interrupted.load()) {
        const int ret = av_read_frame(m_input.get(), packet);
        if (ret < 0) {
            qWarning() << "X11GrabSource: av_read_frame" << ffmpeg::errorText(ret);
            break;
        }
        if (packet->stream_index != m_stream) {
            av_packet_unref(packet);
            continue;
        }
        const qint64 us = av_rescale_q(packet->pts, timeBase(), AV_TIME_BASE_Q);
        if (m_clockShiftUs == kUnknownShift) {
            // The grabber stamps with the wall clock; were it on another clock, its first
            // picture is taken as just grabbed.
            const qint64 now = captureClockUs();
            m_clockShiftUs = std::llabs(us - now) < 10LL * 1000000 ? 0 : now - us;
        }
        *captureUs = us + m_clockShiftUs;
        return Read::Picture;
    }
    m_input.reset();
    return Read::Ended;
}
