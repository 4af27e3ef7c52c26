#include "core/record/outfilewriter.h"

#include "core/record/mp4rewrite.h"

extern "C" {
#include <libavutil/mathematics.h>
#include <libavutil/opt.h>
}

#include <QDebug>

#include <algorithm>

namespace {
QString rational(AVRational r)
{
    return QStringLiteral("%1 %2").arg(r.den).arg(r.num);
}
}  // namespace

ScreenRecord::OutFileWriter::~OutFileWriter() = default;

int ScreenRecord::OutFileWriter::openOutput(AVData &clip, AVCodecContext *videoEncoder,
                                            AVCodecContext *audioEncoder)
{
    m_avData = clip;
    int ret = 0;
    m_outputContext = ffmpeg::allocOutput(m_avData.filePath, &ret, "mp4");
    if (!m_outputContext || !videoEncoder) {
        qWarning() << "avformat_alloc_output_context2 failed:" << ffmpeg::errorText(ret);
        return -1;
    }
    AVFormatContext *ctx = m_outputContext.get();

    if (!ffmpeg::addEncodedStream(ctx, videoEncoder, 1))
        return -1;
    if (audioEncoder) {
        if (!ffmpeg::addEncodedStream(ctx, audioEncoder, 2))
            return -1;
    } else {
        m_audioFinished = true;
        m_hasAudio = false;
    }

    ret = avio_open(&ctx->pb, m_avData.filePath.toUtf8().constData(), AVIO_FLAG_WRITE);
    if (ret < 0) {
        qWarning() << "avio_open failed:" << m_avData.filePath << ffmpeg::errorText(ret);
        return -1;
    }
    // Fragments of at most kFragmentUs, each pushed to the file as soon as it is complete.
    AVDictionary *options = nullptr;
    av_dict_set(&options, "movflags", "+empty_moov+default_base_moof", 0);
    av_dict_set_int(&options, "frag_duration", kFragmentUs, 0);
    ctx->flush_packets = 1;
    // The sound waits at most a quarter second for a picture before it goes into a fragment.
    // A still screen sends a picture a second: a longer wait kept the last second and a half
    // of a crashed recording off the disk. A picture that comes later than its sound keeps its
    // time all the same (see writePacket).
    ctx->max_interleave_delta = 250000;
    ret = avformat_write_header(ctx, &options);
    av_dict_free(&options);
    if (ret < 0) {
        qWarning() << "avformat_write_header failed:" << ffmpeg::errorText(ret);
        return -1;
    }

    m_VideoInputTimebase = videoEncoder->time_base;
    m_VideoOutputTimebase = ctx->streams[0]->time_base;
    if (audioEncoder) {
        m_AudioInputTimebase = audioEncoder->time_base;
        m_AudioOutputTimebase = ctx->streams[1]->time_base;
    }
    qInfo() << "ScreenRecord::OutFileWriter::openOutput:m_VideoInputTimebase:"
            << rational(m_VideoInputTimebase);
    qInfo() << "ScreenRecord::OutFileWriter::openOutput:m_AudioInputTimebase:"
            << rational(m_AudioInputTimebase);
    qInfo() << "ScreenRecord::OutFileWriter::openOutput:m_VideoOutputTimebase:"
            << rational(m_VideoOutputTimebase);
    qInfo() << "ScreenRecord::OutFileWriter::openOutput:m_AudioOutputTimebase:"
            << rational(m_AudioOutputTimebase);
    return 0;
}

int ScreenRecord::OutFileWriter::writePacket(AVPacket *pkt)
{
    if (m_error < 0 || !m_outputContext) {
        if (pkt)
            av_packet_unref(pkt);
        return m_error < 0 ? m_error : AVERROR(EINVAL);
    }
    AVFormatContext *ctx = m_outputContext.get();
    if (pkt) {
        const auto rounding = AVRounding(AV_ROUND_NEAR_INF | AV_ROUND_PASS_MINMAX);
        const bool audio = pkt->stream_index != 0;
        if (audio && !m_hasAudio) {
            av_packet_unref(pkt);
            return 0;
        }
        const AVRational in = audio ? m_AudioInputTimebase : m_VideoInputTimebase;
        const AVRational out = audio ? m_AudioOutputTimebase : m_VideoOutputTimebase;
        pkt->pts = av_rescale_q_rnd(pkt->pts, in, out, rounding);
        pkt->dts = av_rescale_q_rnd(pkt->dts, in, out, rounding);
        pkt->duration = av_rescale_q(pkt->duration, in, out);
        // Each stream starts at 0 (the engine feeds the sound encoder early by its priming, so
        // that the sound still plays in step).
        qint64 &start = audio ? m_audioStartPts : m_videoStartPts;
        if (start == -1)
            start = pkt->pts;
        pkt->pts -= start;
        pkt->dts -= start;
        qint64 &end = audio ? m_audioEndPts : m_videoEndPts;
        end = std::max<qint64>(end, pkt->pts + pkt->duration);
    }
    // The muxer ends a fragment's last picture where the track's next packet begins when that
    // packet already waits in its interleaving queue, and otherwise after the picture's own
    // duration (one frame). A still screen sends a picture a second, so that next picture is
    // often not there yet; the next fragment must then still start at its pictures' own times,
    // not where the one-frame picture ended, or every later picture moves earlier.
    if (pkt)
        av_opt_set(ctx->priv_data, "movflags", "+frag_discont", 0);
    const int ret = av_interleaved_write_frame(ctx, pkt);
    if (ret < 0) {
        m_error = ret;
        qWarning() << "av_interleaved_write_frame failed:" << ffmpeg::errorText(ret);
    }
    return ret;
}

qint64 ScreenRecord::OutFileWriter::videoDurationMs() const
{
    if (m_VideoOutputTimebase.den == 0)
        return 0;
    return static_cast<qint64>(m_videoEndPts * 1000.0 * av_q2d(m_VideoOutputTimebase));
}

void ScreenRecord::OutFileWriter::writeFinished(OutStreamType type, const ProjectUpdate &update)
{
    qInfo() << "ScreenRecord::OutFileWriter::writeFinished:" << type;
    if (m_WriteFinished)
        return;
    if (type == AudioStream) {
        m_audioFinished = true;
        if (!m_videoFinished)
            return;
    } else if (type == VideoStream) {
        m_videoFinished = true;
        if (!m_audioFinished)
            return;
    } else if (!(m_audioFinished && m_videoFinished)) {
        return;
    }
    if (m_outputContext && m_error >= 0)
        writePacket(nullptr);

    bool complete = false;
    if (m_outputContext) {
        if (m_error >= 0) {
            const int ret = av_write_trailer(m_outputContext.get());
            if (ret < 0) {
                m_error = ret;
                qWarning() << "av_write_trailer failed:" << ffmpeg::errorText(ret);
            } else {
                qInfo() << "av_write_trailer()";
            }
        }
        if (m_outputContext->pb) {
            avio_flush(m_outputContext->pb);
            if (m_outputContext->pb->error < 0 && m_error >= 0)
                m_error = m_outputContext->pb->error;
        }
        m_outputContext.reset();
        qInfo() << "关闭视频输出io";
        complete = m_error >= 0;
    }
    // A complete file is rewritten with one index (a stream copy, quick next to the
    // recording); the fragmented file stays when that fails. Its length is then read from the
    // file as it finally is, the written pictures' end being the fallback.
    qint64 duration = videoDurationMs();
    if (complete) {
        Mp4Rewrite::rewriteAsRegular(m_avData.filePath);
        const qint64 measured = Mp4Rewrite::videoDurationMs(m_avData.filePath);
        if (measured > 0)
            duration = measured;
    }
    m_avData.duration = duration;
    m_avData.endTime = duration;
    if (update)
        update(m_avData);
    m_WriteFinished = true;
    qInfo() << "文件时长:" << duration;
}
