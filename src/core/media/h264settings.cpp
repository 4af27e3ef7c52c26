#include "core/media/h264settings.h"

#include <QtGlobal>

extern "C" {
#include <libavutil/opt.h>
}

namespace {

// Opens `encoder` of `codec` after `configure` has set it up; the encoder, or an empty handle
// with `error` set.
ffmpeg::CodecContextPtr openConfigured(const AVCodec *codec, const char *what,
                                       const std::function<void(AVCodecContext *)> &configure,
                                       QString *error)
{
    if (!codec) {
        *error = QStringLiteral("no %1 encoder").arg(QLatin1String(what));
        return {};
    }
    ffmpeg::CodecContextPtr encoder = ffmpeg::makeCodecContext(codec);
    if (!encoder) {
        *error = QStringLiteral("cannot allocate the %1 encoder").arg(QLatin1String(what));
        return {};
    }
    configure(encoder.get());
    encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    const int ret = avcodec_open2(encoder.get(), codec, nullptr);
    if (ret < 0) {
        *error = QStringLiteral("%1 encoder: %2").arg(QLatin1String(what), ffmpeg::errorText(ret));
        return {};
    }
    return encoder;
}

}  // namespace

namespace h264 {

QString crfFor(int width, int height)
{
    // Largest area (inclusive) for each factor.
    static const struct
    {
        qint64 area;
        const char *crf;
    } table[] = {{480000, "24"}, {756000, "26"}, {1612800, "27"}};
    const qint64 area = qint64(width) * height;
    for (const auto &row : table)
        if (area <= row.area)
            return QString::fromLatin1(row.crf);
    return QStringLiteral("28");
}

ffmpeg::CodecContextPtr openEncoder(int width, int height, AVRational timeBase, int frameRate,
                                    int threads, QString *error, Content content)
{
    const AVCodec *codec = avcodec_find_encoder_by_name("libx264");
    if (!codec)
        codec = avcodec_find_encoder(AV_CODEC_ID_H264);
    const QByteArray crf = crfFor(width, height).toLatin1();
    return openConfigured(
        codec, "H.264",
        [&](AVCodecContext *encoder) {
            av_opt_set(encoder->priv_data, "crf", crf.constData(), 0);
            av_opt_set(encoder->priv_data, "preset", "veryfast", 0);
            av_opt_set(encoder->priv_data, "tune", "zerolatency", 0);
            av_opt_set(encoder->priv_data, "profile", "main", 0);
            // Pictures that change in places (a stroke, a window, the camera's corner) over
            // a still rest: no search for fades over the whole picture, and the small
            // diamond search for the small motions there are. Over a still slide with the
            // camera this costs a third less processor time than the preset's defaults.
            if (content == Content::ChangesInPlaces)
                av_opt_set(encoder->priv_data, "x264-params", "weightp=0:me=dia:subme=1", 0);
            encoder->width = width;
            encoder->height = height;
            encoder->time_base = timeBase;
            encoder->framerate = AVRational{frameRate, 1};
            encoder->gop_size = 50;
            encoder->max_b_frames = 0;
            encoder->pix_fmt = AV_PIX_FMT_YUV420P;
            encoder->thread_count = threads;
        },
        error);
}

}  // namespace h264

namespace aac {

ffmpeg::CodecContextPtr openEncoder(QString *error)
{
    return openConfigured(
        avcodec_find_encoder(AV_CODEC_ID_AAC), "AAC",
        [](AVCodecContext *encoder) {
            encoder->sample_rate = kSampleRate;
            encoder->bit_rate = 192000;
            encoder->sample_fmt = AV_SAMPLE_FMT_FLTP;
            const AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
            av_channel_layout_uninit(&encoder->ch_layout);
            av_channel_layout_copy(&encoder->ch_layout, &stereo);
            encoder->time_base = kSampleTimebase;
            encoder->thread_count = 2;
        },
        error);
}

}  // namespace aac
