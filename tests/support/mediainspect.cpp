#include "support/mediainspect.h"

#include "core/media/ffmpeghandles.h"
#include "support/mediareadback.h"

extern "C" {
#include <libavutil/imgutils.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

namespace MediaInspect {
namespace {

double seconds(int64_t ts, AVRational tb)
{
    return ts == AV_NOPTS_VALUE ? 0.0 : ts * av_q2d(tb);
}

// Decodes every frame of the best stream of `type`, handing each to `onFrame` with its time.
bool decodeAll(const QString &path, AVMediaType type,
               const std::function<void(const AVFrame *, double)> &onFrame)
{
    return MediaReadback::decodeStream(path, type, onFrame);
}

} // namespace

Info probe(const QString &path)
{
    Info info;
    int err = 0;
    ffmpeg::InputFormatContextPtr input = ffmpeg::openMedia(path, &err);
    if (!input)
        return info;
    info.opened = true;
    info.durationSec = input->duration > 0 ? input->duration / double(AV_TIME_BASE) : 0;
    int videoIndex = av_find_best_stream(input.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    int audioIndex = av_find_best_stream(input.get(), AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    for (auto [index, s] : {std::pair{videoIndex, &info.video}, {audioIndex, &info.audio}}) {
        if (index < 0)
            continue;
        const AVCodecParameters *par = input->streams[index]->codecpar;
        s->present = true;
        s->codec = QString::fromUtf8(avcodec_get_name(par->codec_id));
        s->width = par->width;
        s->height = par->height;
        s->sampleRate = par->sample_rate;
        s->channels = par->ch_layout.nb_channels;
        s->startSec = 1e9;
    }
    ffmpeg::PacketPtr packet = ffmpeg::makePacket();
    while (av_read_frame(input.get(), packet.get()) >= 0) {
        Stream *s = packet->stream_index == videoIndex   ? &info.video
                    : packet->stream_index == audioIndex ? &info.audio
                                                         : nullptr;
        if (s) {
            const AVRational tb = input->streams[packet->stream_index]->time_base;
            s->startSec = std::min(s->startSec, seconds(packet->pts, tb));
            s->endSec = std::max(s->endSec, seconds(packet->pts + packet->duration, tb));
            ++s->packets;
        }
        av_packet_unref(packet.get());
    }
    for (Stream *s : {&info.video, &info.audio})
        if (s->packets == 0)
            s->startSec = 0;
    return info;
}

QList<Picture> pictures(const QString &path)
{
    QList<Picture> list;
    ffmpeg::SwsContextPtr scaler;
    std::vector<uint8_t> rgb;
    decodeAll(path, AVMEDIA_TYPE_VIDEO, [&](const AVFrame *frame, double sec) {
        const int w = 48, h = 48;
        if (!scaler)
            scaler.reset(sws_getContext(frame->width, frame->height, AVPixelFormat(frame->format),
                                        w, h, AV_PIX_FMT_RGB24, SWS_BILINEAR, nullptr, nullptr,
                                        nullptr));
        rgb.resize(size_t(w * h * 3));
        uint8_t *dst[4] = {rgb.data(), nullptr, nullptr, nullptr};
        int lines[4] = {w * 3, 0, 0, 0};
        sws_scale(scaler.get(), frame->data, frame->linesize, 0, frame->height, dst, lines);
        double r = 0, g = 0, b = 0;
        int n = 0;
        for (int y = h / 3; y < 2 * h / 3; ++y)
            for (int x = w / 3; x < 2 * w / 3; ++x, ++n) {
                const uint8_t *p = &rgb[size_t((y * w + x) * 3)];
                r += p[0];
                g += p[1];
                b += p[2];
            }
        list.append(Picture{sec, QColor(int(r / n), int(g / n), int(b / n))});
    });
    return list;
}

QList<Loudness> loudness(const QString &path, double windowSec)
{
    QList<Loudness> list;
    double sum = 0;
    qint64 count = 0;
    qint64 windowSamples = 0;
    double windowStart = -1;
    decodeAll(path, AVMEDIA_TYPE_AUDIO, [&](const AVFrame *frame, double sec) {
        if (frame->format != AV_SAMPLE_FMT_FLTP)
            return;  // the recorder writes AAC, decoded as planar float
        windowSamples = std::max<qint64>(1, qint64(windowSec * frame->sample_rate));
        for (int i = 0; i < frame->nb_samples; ++i) {
            if (windowStart < 0)
                windowStart = sec + double(i) / frame->sample_rate;
            for (int c = 0; c < frame->ch_layout.nb_channels; ++c) {
                const float v = reinterpret_cast<const float *>(frame->extended_data[c])[i];
                sum += double(v) * v;
            }
            if (++count == windowSamples) {
                list.append(Loudness{windowStart,
                                     std::sqrt(sum / (count * frame->ch_layout.nb_channels))});
                sum = 0;
                count = 0;
                windowStart = -1;
            }
        }
    });
    return list;
}

double peak(const QString &path)
{
    double best = -1;
    decodeAll(path, AVMEDIA_TYPE_AUDIO, [&](const AVFrame *frame, double) {
        if (frame->format != AV_SAMPLE_FMT_FLTP)
            return;
        best = std::max(best, 0.0);
        for (int c = 0; c < frame->ch_layout.nb_channels; ++c)
            for (int i = 0; i < frame->nb_samples; ++i)
                best = std::max(
                    best, double(std::fabs(reinterpret_cast<const float *>(frame->extended_data[c])[i])));
    });
    return best;
}

}  // namespace MediaInspect
