#include "core/media/pausemedia.h"

#include "core/media/ffmpeghandles.h"

#include <QDebug>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

extern "C" {
#include <libswscale/swscale.h>
}

namespace pauses {

namespace {

constexpr float kNoSoundDb = -120;
// Decoded pictures are compared at this size; a picture differs from the last one kept when
// more than kChangedSamples of its samples differ by more than kSampleStep.
constexpr int kCompareWidth = 64;
constexpr int kCompareHeight = 36;
constexpr int kSampleStep = 24;
constexpr int kChangedSamples = 4;

int64_t msToStream(qint64 ms, AVRational timeBase)
{
    return av_rescale_q(ms, AVRational{1, 1000}, timeBase);
}

int64_t streamStart(const AVStream *stream)
{
    return stream->start_time == AV_NOPTS_VALUE ? 0 : stream->start_time;
}

qint64 streamMs(const AVStream *stream, int64_t ts)
{
    return av_rescale_q(ts - streamStart(stream), stream->time_base, AVRational{1, 1000});
}

// Sum of the squares of sample `i` over all channels of `frame`, and the channel count.
double squaresAt(const AVFrame *frame, int i, int channels)
{
    double sum = 0;
    for (int c = 0; c < channels; ++c) {
        double v = 0;
        switch (frame->format) {
        case AV_SAMPLE_FMT_FLTP:
            v = reinterpret_cast<const float *>(frame->extended_data[c])[i];
            break;
        case AV_SAMPLE_FMT_FLT:
            v = reinterpret_cast<const float *>(frame->extended_data[0])[i * channels + c];
            break;
        case AV_SAMPLE_FMT_S16P:
            v = reinterpret_cast<const int16_t *>(frame->extended_data[c])[i] / 32768.0;
            break;
        case AV_SAMPLE_FMT_S16:
            v = reinterpret_cast<const int16_t *>(frame->extended_data[0])[i * channels + c] /
                32768.0;
            break;
        case AV_SAMPLE_FMT_S32P:
            v = reinterpret_cast<const int32_t *>(frame->extended_data[c])[i] / 2147483648.0;
            break;
        default: break;
        }
        sum += v * v;
    }
    return sum;
}

}  // namespace

QList<float> soundLevels(const QString &path, qint64 fromMs, qint64 toMs,
                         const std::atomic_bool *stop)
{
    const int windows = int((toMs - fromMs + kWindowMs - 1) / kWindowMs);
    QList<float> levels(windows, kNoSoundDb);
    int ret = 0;
    ffmpeg::InputFormatContextPtr format = ffmpeg::openInput(path, &ret);
    if (!format) {
        qWarning() << "pauses: cannot open" << path << ffmpeg::errorText(ret);
        return levels;
    }
    const int index = av_find_best_stream(format.get(), AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (index < 0)
        return levels;
    for (unsigned i = 0; i < format->nb_streams; ++i)
        if (int(i) != index)
            format->streams[i]->discard = AVDISCARD_ALL;
    const AVStream *stream = format->streams[index];
    ffmpeg::CodecContextPtr decoder = ffmpeg::openDecoder(stream, 1, &ret);
    if (!decoder) {
        qWarning() << "pauses: no sound decoder for" << path << ffmpeg::errorText(ret);
        return levels;
    }
    const int rate = decoder->sample_rate > 0 ? decoder->sample_rate : 44100;
    const int channels = std::max(1, decoder->ch_layout.nb_channels);
    const int64_t perWindow = int64_t(rate) * kWindowMs / 1000;
    const int64_t firstSample = av_rescale(fromMs, rate, 1000);
    if (fromMs > 0)
        av_seek_frame(format.get(), index,
                      streamStart(stream) + msToStream(fromMs, stream->time_base),
                      AVSEEK_FLAG_BACKWARD);
    const int64_t endPts = streamStart(stream) + msToStream(toMs, stream->time_base);

    std::vector<double> sums(size_t(windows), 0.0);
    std::vector<int64_t> counts(size_t(windows), 0);
    ffmpeg::PacketPtr packet = ffmpeg::makePacket();
    ffmpeg::FramePtr frame = ffmpeg::makeFrame();
    auto take = [&] {
        while (avcodec_receive_frame(decoder.get(), frame.get()) >= 0) {
            const int64_t pts = frame->best_effort_timestamp;
            if (pts != AV_NOPTS_VALUE) {
                const int64_t at = av_rescale_q(pts - streamStart(stream), stream->time_base,
                                                AVRational{1, rate}) -
                                   firstSample;
                for (int i = 0; i < frame->nb_samples; ++i) {
                    const int64_t n = at + i;
                    if (n < 0)
                        continue;
                    const int64_t w = n / perWindow;
                    if (w >= windows)
                        break;
                    sums[size_t(w)] += squaresAt(frame.get(), i, channels);
                    counts[size_t(w)] += channels;
                }
            }
            av_frame_unref(frame.get());
        }
    };
    bool ended = false;
    while (!ended && !(stop && *stop)) {
        ret = av_read_frame(format.get(), packet.get());
        if (ret < 0)
            break;
        if (packet->stream_index == index) {
            if (packet->pts != AV_NOPTS_VALUE && packet->pts > endPts)
                ended = true;
            else if (avcodec_send_packet(decoder.get(), packet.get()) >= 0)
                take();
        }
        av_packet_unref(packet.get());
    }
    avcodec_send_packet(decoder.get(), nullptr);
    take();
    for (int w = 0; w < windows; ++w)
        if (counts[size_t(w)] > 0)
            levels[w] =
                float(std::max(double(kNoSoundDb),
                               10.0 * std::log10(sums[size_t(w)] / counts[size_t(w)] + 1e-13)));
    return levels;
}

QList<qint64> pictureTimes(const QString &path)
{
    QList<qint64> times;
    ffmpeg::InputFormatContextPtr format = ffmpeg::openInput(path);
    if (!format)
        return times;
    const int index = av_find_best_stream(format.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (index < 0)
        return times;
    AVStream *stream = format->streams[index];
    const int entries = avformat_index_get_entries_count(stream);
    for (int i = 0; i < entries; ++i)
        if (const AVIndexEntry *entry = avformat_index_get_entry(stream, i))
            times.append(streamMs(stream, entry->timestamp));
    if (times.isEmpty()) {
        for (unsigned i = 0; i < format->nb_streams; ++i)
            if (int(i) != index)
                format->streams[i]->discard = AVDISCARD_ALL;
        ffmpeg::PacketPtr packet = ffmpeg::makePacket();
        while (av_read_frame(format.get(), packet.get()) >= 0) {
            if (packet->stream_index == index && packet->pts != AV_NOPTS_VALUE)
                times.append(streamMs(stream, packet->pts));
            av_packet_unref(packet.get());
        }
    }
    std::sort(times.begin(), times.end());
    return times;
}

QList<qint64> decodedChanges(const QString &path, Span span, const std::atomic_bool *stop)
{
    QList<qint64> changes;
    ffmpeg::InputFormatContextPtr format = ffmpeg::openInput(path);
    if (!format)
        return changes;
    const int index = av_find_best_stream(format.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (index < 0)
        return changes;
    for (unsigned i = 0; i < format->nb_streams; ++i)
        if (int(i) != index)
            format->streams[i]->discard = AVDISCARD_ALL;
    AVStream *stream = format->streams[index];
    ffmpeg::CodecContextPtr decoder =
        ffmpeg::openDecoder(stream, 1, nullptr, [](AVCodecContext *c) {
            // Only compared at a small size: the loop filter would not change the outcome.
            c->skip_loop_filter = AVDISCARD_ALL;
        });
    if (!decoder)
        return changes;
    av_seek_frame(format.get(), index,
                  streamStart(stream) + msToStream(span.fromMs, stream->time_base),
                  AVSEEK_FLAG_BACKWARD);
    ffmpeg::SwsContextPtr scaler;
    std::vector<uint8_t> reference, current(size_t(kCompareWidth * kCompareHeight));
    ffmpeg::PacketPtr packet = ffmpeg::makePacket();
    ffmpeg::FramePtr frame = ffmpeg::makeFrame();
    bool ended = false;
    auto take = [&] {
        while (!ended && avcodec_receive_frame(decoder.get(), frame.get()) >= 0) {
            const int64_t pts = frame->best_effort_timestamp;
            const qint64 ms = pts == AV_NOPTS_VALUE ? -1 : streamMs(stream, pts);
            if (ms >= span.toMs)
                ended = true;
            if (ms >= span.fromMs && !ended) {
                scaler.reset(sws_getCachedContext(scaler.release(), frame->width, frame->height,
                                                  AVPixelFormat(frame->format), kCompareWidth,
                                                  kCompareHeight, AV_PIX_FMT_GRAY8,
                                                  SWS_FAST_BILINEAR, nullptr, nullptr, nullptr));
                if (scaler) {
                    uint8_t *planes[4] = {current.data(), nullptr, nullptr, nullptr};
                    int strides[4] = {kCompareWidth, 0, 0, 0};
                    sws_scale(scaler.get(), frame->data, frame->linesize, 0, frame->height, planes,
                              strides);
                    if (reference.empty()) {
                        reference = current;
                    } else {
                        int differing = 0;
                        for (size_t i = 0; i < current.size(); ++i)
                            if (std::abs(int(current[i]) - int(reference[i])) > kSampleStep)
                                ++differing;
                        if (differing > kChangedSamples) {
                            changes.append(ms);
                            reference = current;
                        }
                    }
                }
            }
            av_frame_unref(frame.get());
        }
    };
    while (!ended && !(stop && *stop) && av_read_frame(format.get(), packet.get()) >= 0) {
        if (packet->stream_index == index && avcodec_send_packet(decoder.get(), packet.get()) >= 0)
            take();
        av_packet_unref(packet.get());
    }
    if (!ended) {
        avcodec_send_packet(decoder.get(), nullptr);
        take();
    }
    return changes;
}

}  // namespace pauses
