#include "core/media/mp4copy.h"

#include "core/media/ffmpeghandles.h"

#include <QList>

#include <algorithm>

extern "C" {
#include <libavutil/dict.h>
}

namespace mp4copy {

bool copyStreams(const QString &source, const QString &target, QString *reason,
                 const Prepare &prepare, bool holdLastPicture)
{
    int ret = 0;
    ffmpeg::InputFormatContextPtr input = ffmpeg::openMedia(source, &ret);
    if (!input) {
        *reason = QStringLiteral("open %1: %2").arg(source, ffmpeg::errorText(ret));
        return false;
    }
    ffmpeg::OutputFormatContextPtr output = ffmpeg::allocOutput(target, &ret, "mp4");
    if (!output) {
        *reason = QStringLiteral("muxer: %1").arg(ffmpeg::errorText(ret));
        return false;
    }
    AVFormatContext *out = output.get();
    // Input stream index -> output stream index, -1 for streams an MP4 file does not carry.
    QList<int> streamMap;
    for (unsigned i = 0; i < input->nb_streams; ++i) {
        const AVCodecParameters *par = input->streams[i]->codecpar;
        const bool wanted =
            par->codec_type == AVMEDIA_TYPE_VIDEO || par->codec_type == AVMEDIA_TYPE_AUDIO;
        if (!wanted ||
            avformat_query_codec(out->oformat, par->codec_id, FF_COMPLIANCE_NORMAL) != 1) {
            streamMap.append(-1);
            continue;
        }
        AVStream *stream = avformat_new_stream(out, nullptr);
        if (!stream || avcodec_parameters_copy(stream->codecpar, par) < 0) {
            *reason = QStringLiteral("out of memory");
            return false;
        }
        stream->codecpar->codec_tag = 0;
        stream->time_base = input->streams[i]->time_base;
        av_dict_copy(&stream->metadata, input->streams[i]->metadata, 0);
        streamMap.append(stream->index);
    }
    if (out->nb_streams == 0) {
        *reason = QStringLiteral("no stream to copy");
        return false;
    }
    AVDictionary *options = nullptr;
    if (prepare && !prepare(out, &options)) {
        av_dict_free(&options);
        *reason = QStringLiteral("out of memory");
        return false;
    }
    if ((ret = avio_open(&out->pb, target.toUtf8().constData(), AVIO_FLAG_WRITE)) < 0) {
        av_dict_free(&options);
        *reason = QStringLiteral("open %1: %2").arg(target, ffmpeg::errorText(ret));
        return false;
    }
    ret = avformat_write_header(out, &options);
    av_dict_free(&options);
    if (ret < 0) {
        *reason = QStringLiteral("header: %1").arg(ffmpeg::errorText(ret));
        return false;
    }
    ffmpeg::PacketPtr packet = ffmpeg::makePacket();
    if (!packet) {
        *reason = QStringLiteral("out of memory");
        return false;
    }
    const auto write = [&](AVPacket *p) {
        const int written = av_interleaved_write_frame(out, p);
        if (written < 0)
            *reason = QStringLiteral("write: %1").arg(ffmpeg::errorText(written));
        return written >= 0;
    };
    // The last picture of the first picture stream, written once the sound's end is known.
    const int heldStream =
        holdLastPicture ? streamMap.value(av_find_best_stream(input.get(), AVMEDIA_TYPE_VIDEO, -1,
                                                              -1, nullptr, 0))
                        : -1;
    ffmpeg::PacketPtr held = heldStream >= 0 ? ffmpeg::makePacket() : nullptr;
    bool holding = false;
    int64_t soundEndUs = AV_NOPTS_VALUE;
    constexpr AVRational kMicroseconds{1, 1000000};
    while ((ret = av_read_frame(input.get(), packet.get())) >= 0) {
        const int to = streamMap.value(packet->stream_index, -1);
        if (to < 0) {
            av_packet_unref(packet.get());
            continue;
        }
        av_packet_rescale_ts(packet.get(), input->streams[packet->stream_index]->time_base,
                             out->streams[to]->time_base);
        packet->stream_index = to;
        packet->pos = -1;
        const AVStream *stream = out->streams[to];
        if (stream->codecpar->codec_type == AVMEDIA_TYPE_AUDIO && packet->pts != AV_NOPTS_VALUE)
            soundEndUs = std::max(soundEndUs, av_rescale_q(packet->pts + packet->duration,
                                                           stream->time_base, kMicroseconds));
        if (held && to == heldStream) {
            if (holding && !write(held.get()))
                return false;
            av_packet_move_ref(held.get(), packet.get());
            holding = true;
            continue;
        }
        if (!write(packet.get()))
            return false;
    }
    if (ret != AVERROR_EOF) {
        *reason = QStringLiteral("read %1: %2").arg(source, ffmpeg::errorText(ret));
        return false;
    }
    if (holding) {
        const AVRational base = out->streams[heldStream]->time_base;
        // An encoder's priming and last frame of sound may run some milliseconds past the
        // picture; only a sound that goes on for longer holds the picture.
        constexpr int64_t kPastPictureUs = 100000;
        if (soundEndUs != AV_NOPTS_VALUE && held->pts != AV_NOPTS_VALUE) {
            const int64_t soundEnd = av_rescale_q(soundEndUs, kMicroseconds, base);
            const int64_t pictureEndUs =
                av_rescale_q(held->pts + held->duration, base, kMicroseconds);
            if (soundEndUs - pictureEndUs > kPastPictureUs)
                held->duration = soundEnd - held->pts;
        }
        if (!write(held.get()))
            return false;
    }
    if ((ret = av_write_trailer(out)) < 0) {
        *reason = QStringLiteral("trailer: %1").arg(ffmpeg::errorText(ret));
        return false;
    }
    // A full disk shows on the flush; closing alone would not say so.
    avio_flush(out->pb);
    if ((ret = out->pb->error) < 0 || (ret = avio_closep(&out->pb)) < 0) {
        *reason = QStringLiteral("write %1: %2").arg(target, ffmpeg::errorText(ret));
        return false;
    }
    return true;
}

}  // namespace mp4copy
