#include "support/mediareadback.h"

#include "core/media/ffmpeghandles.h"

#include <QProcess>

#include <cmath>

extern "C" {
#include <libavutil/channel_layout.h>
}

namespace MediaReadback {

namespace {

struct Decoder
{
    ffmpeg::InputFormatContextPtr format;
    ffmpeg::CodecContextPtr codec;
    int stream = -1;
};

Decoder openDecoder(const QString &path, AVMediaType type)
{
    Decoder d;
    d.format = ffmpeg::openMedia(path);
    if (!d.format)
        return {};
    d.stream = av_find_best_stream(d.format.get(), type, -1, -1, nullptr, 0);
    if (d.stream < 0)
        return {};
    d.codec = ffmpeg::openDecoder(d.format->streams[d.stream]);
    return d;
}

}  // namespace

bool decodeStream(const QString &path, int type,
                  const std::function<void(const AVFrame *, double)> &visit)
{
    Decoder d = openDecoder(path, AVMediaType(type));
    ffmpeg::PacketPtr packet = ffmpeg::makePacket();
    ffmpeg::FramePtr frame = ffmpeg::makeFrame();
    if (!d.codec || !packet || !frame)
        return false;
    const AVRational tb = d.format->streams[d.stream]->time_base;
    auto receive = [&] {
        while (avcodec_receive_frame(d.codec.get(), frame.get()) >= 0) {
            const int64_t ts = frame->best_effort_timestamp;
            visit(frame.get(), ts == AV_NOPTS_VALUE ? 0.0 : ts * av_q2d(tb));
            av_frame_unref(frame.get());
        }
    };
    while (av_read_frame(d.format.get(), packet.get()) >= 0) {
        if (packet->stream_index == d.stream) {
            avcodec_send_packet(d.codec.get(), packet.get());
            receive();
        }
        av_packet_unref(packet.get());
    }
    avcodec_send_packet(d.codec.get(), nullptr);
    receive();
    return true;
}

StreamsInfo streams(const QString &path)
{
    StreamsInfo info;
    ffmpeg::InputFormatContextPtr format = ffmpeg::openMedia(path);
    if (!format)
        return info;
    info.opened = true;
    info.durationSeconds = format->duration / double(AV_TIME_BASE);
    const int v = av_find_best_stream(format.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (v >= 0) {
        const AVCodecParameters *par = format->streams[v]->codecpar;
        info.videoCodec = QString::fromUtf8(avcodec_get_name(par->codec_id));
        info.width = par->width;
        info.height = par->height;
    }
    const int a = av_find_best_stream(format.get(), AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (a >= 0) {
        const AVCodecParameters *par = format->streams[a]->codecpar;
        info.audioCodec = QString::fromUtf8(avcodec_get_name(par->codec_id));
        info.sampleRate = par->sample_rate;
        info.channels = par->ch_layout.nb_channels;
    }
    return info;
}

PacketTimes videoPacketTimes(const QString &path)
{
    PacketTimes times;
    ffmpeg::InputFormatContextPtr format = ffmpeg::openMedia(path);
    if (!format)
        return times;
    const int v = av_find_best_stream(format.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (v < 0)
        return times;
    const double tb = av_q2d(format->streams[v]->time_base);
    ffmpeg::PacketPtr packet = ffmpeg::makePacket();
    while (av_read_frame(format.get(), packet.get()) >= 0) {
        if (packet->stream_index == v) {
            times.pts.append(packet->pts == AV_NOPTS_VALUE ? -1e9 : packet->pts * tb);
            times.dts.append(packet->dts == AV_NOPTS_VALUE ? -1e9 : packet->dts * tb);
            times.key.append(packet->flags & AV_PKT_FLAG_KEY);
        }
        av_packet_unref(packet.get());
    }
    return times;
}

QList<double> loudOnsets(const QString &path, double level, double quietSeconds)
{
    QList<double> onsets;
    bool loud = false;
    double quietSince = -1;
    decodeStream(path, AVMEDIA_TYPE_AUDIO, [&](const AVFrame *frame, double t) {
        if (frame->format != AV_SAMPLE_FMT_FLTP)
            return;
        const float *s = reinterpret_cast<const float *>(frame->extended_data[0]);
        for (int i = 0; i < frame->nb_samples; ++i) {
            const double ts = t + double(i) / frame->sample_rate;
            if (std::fabs(s[i]) > level) {
                if (!loud && (quietSince < 0 || ts - quietSince > quietSeconds))
                    onsets << ts;
                loud = true;
            } else if (loud) {
                loud = false;
                quietSince = ts;
            }
        }
    });
    return onsets;
}

bool forEachPicture(const QString &path, const std::function<void(double, const QImage &)> &visit)
{
    ffmpeg::SwsContextPtr sws;
    SwsContext *cached = nullptr;
    return decodeStream(path, AVMEDIA_TYPE_VIDEO, [&](const AVFrame *frame, double seconds) {
        cached = sws_getCachedContext(cached, frame->width, frame->height,
                                      AVPixelFormat(frame->format), frame->width, frame->height,
                                      AV_PIX_FMT_BGRA, SWS_POINT, nullptr, nullptr, nullptr);
        if (sws.get() != cached) {
            sws.release();
            sws.reset(cached);
        }
        QImage image(frame->width, frame->height, QImage::Format_RGB32);
        uint8_t *dst[4] = {image.bits(), nullptr, nullptr, nullptr};
        int dstStride[4] = {int(image.bytesPerLine()), 0, 0, 0};
        sws_scale(cached, frame->data, frame->linesize, 0, frame->height, dst, dstStride);
        visit(seconds, image);
    });
}

Sound sound(const QString &path)
{
    Sound result;
    bool first = true;
    decodeStream(path, AVMEDIA_TYPE_AUDIO, [&](const AVFrame *frame, double seconds) {
        if (first) {
            result.startSeconds = seconds;
            result.sampleRate = frame->sample_rate;
            first = false;
        }
        result.frameRates.append(frame->sample_rate);
        result.frameChannels.append(frame->ch_layout.nb_channels);
        const int channels = frame->ch_layout.nb_channels;
        for (int i = 0; i < frame->nb_samples; ++i) {
            float sum = 0;
            for (int c = 0; c < channels; ++c) {
                if (frame->format == AV_SAMPLE_FMT_FLTP)
                    sum += reinterpret_cast<const float *>(frame->extended_data[c])[i];
                else if (frame->format == AV_SAMPLE_FMT_S16P)
                    sum += reinterpret_cast<const int16_t *>(frame->extended_data[c])[i] / 32768.f;
                else if (frame->format == AV_SAMPLE_FMT_S16)
                    sum += reinterpret_cast<const int16_t *>(frame->data[0])[i * channels + c] /
                           32768.f;
                else if (frame->format == AV_SAMPLE_FMT_FLT)
                    sum += reinterpret_cast<const float *>(frame->data[0])[i * channels + c];
            }
            result.samples.append(sum / channels);
        }
    });
    return result;
}

QString decodeErrors(const QString &path)
{
    QProcess p;
    // Each picture keeps its own time: a file whose pictures come only when the picture
    // changed is not judged by the tool's guess of a frame rate.
    p.start("ffmpeg", {"-nostdin", "-v", "error", "-i", path, "-fps_mode", "passthrough",
                       "-enc_time_base", "-1", "-f", "null", "-"});
    if (!p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished();
        return QStringLiteral("ffmpeg did not finish");
    }
    return QString::fromUtf8(p.readAllStandardError()) +
           (p.exitCode() != 0 ? QStringLiteral("exit code %1").arg(p.exitCode()) : QString());
}

}  // namespace MediaReadback
