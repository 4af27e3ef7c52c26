#include "core/record/mp4rewrite.h"
#include "core/platform/filesync.h"

#include "core/media/ffmpeghandles.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace {

bool copyStreams(const QString &from, const QString &to)
{
    int ret = 0;
    ffmpeg::InputFormatContextPtr in = ffmpeg::openInput(from, &ret);
    if (!in || (ret = avformat_find_stream_info(in.get(), nullptr)) < 0) {
        qWarning() << "Mp4Rewrite: cannot read" << from << ffmpeg::errorText(ret);
        return false;
    }
    ffmpeg::OutputFormatContextPtr out = ffmpeg::allocOutput(to, &ret, "mp4");
    if (!out) {
        qWarning() << "Mp4Rewrite: avformat_alloc_output_context2" << ffmpeg::errorText(ret);
        return false;
    }
    std::vector<int> map(in->nb_streams, -1);
    int next = 0;
    for (unsigned i = 0; i < in->nb_streams; ++i) {
        const AVCodecParameters *par = in->streams[i]->codecpar;
        if (par->codec_type != AVMEDIA_TYPE_VIDEO && par->codec_type != AVMEDIA_TYPE_AUDIO)
            continue;
        AVStream *stream = avformat_new_stream(out.get(), nullptr);
        if (!stream || avcodec_parameters_copy(stream->codecpar, par) < 0)
            return false;
        stream->codecpar->codec_tag = 0;
        stream->time_base = in->streams[i]->time_base;
        map[i] = next++;
    }
    if (next == 0)
        return false;
    ret = avio_open(&out->pb, to.toUtf8().constData(), AVIO_FLAG_WRITE);
    if (ret < 0) {
        qWarning() << "Mp4Rewrite: avio_open" << to << ffmpeg::errorText(ret);
        return false;
    }
    ret = avformat_write_header(out.get(), nullptr);
    if (ret < 0) {
        qWarning() << "Mp4Rewrite: avformat_write_header" << ffmpeg::errorText(ret);
        return false;
    }
    ffmpeg::PacketPtr pkt = ffmpeg::makePacket();
    if (!pkt)
        return false;
    while ((ret = av_read_frame(in.get(), pkt.get())) >= 0) {
        const int target = map[unsigned(pkt->stream_index)];
        if (target < 0) {
            av_packet_unref(pkt.get());
            continue;
        }
        av_packet_rescale_ts(pkt.get(), in->streams[pkt->stream_index]->time_base,
                             out->streams[target]->time_base);
        pkt->stream_index = target;
        pkt->pos = -1;
        ret = av_interleaved_write_frame(out.get(), pkt.get());
        if (ret < 0) {
            qWarning() << "Mp4Rewrite: av_interleaved_write_frame" << ffmpeg::errorText(ret);
            return false;
        }
    }
    if (ret != AVERROR_EOF) {
        qWarning() << "Mp4Rewrite: av_read_frame" << ffmpeg::errorText(ret);
        return false;
    }
    ret = av_write_trailer(out.get());
    if (ret < 0) {
        qWarning() << "Mp4Rewrite: av_write_trailer" << ffmpeg::errorText(ret);
        return false;
    }
    avio_flush(out->pb);
    if (out->pb->error < 0) {
        qWarning() << "Mp4Rewrite: write" << ffmpeg::errorText(out->pb->error);
        return false;
    }
    ret = avio_closep(&out->pb);
    if (ret < 0) {
        qWarning() << "Mp4Rewrite: avio_close" << ffmpeg::errorText(ret);
        return false;
    }
    return true;
}

}  // namespace

bool Mp4Rewrite::rewriteAsRegular(const QString &path)
{
    const QFileInfo info(path);
    const QString temporary =
        info.absolutePath() + QStringLiteral("/.%1.rewrite.mp4").arg(info.fileName());
    const bool ok = copyStreams(path, temporary) && syncToDisk(temporary) &&
                    std::rename(QFile::encodeName(temporary).constData(),
                                QFile::encodeName(path).constData()) == 0;
    if (!ok) {
        qWarning() << "Mp4Rewrite: keeping the file as it was" << path;
        QFile::remove(temporary);
    }
    return ok;
}

qint64 Mp4Rewrite::videoDurationMs(const QString &path)
{
    ffmpeg::InputFormatContextPtr in = ffmpeg::openInput(path);
    if (!in || avformat_find_stream_info(in.get(), nullptr) < 0)
        return -1;
    const int index = av_find_best_stream(in.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (index < 0)
        return -1;
    const AVStream *stream = in->streams[index];
    if (stream->duration == AV_NOPTS_VALUE || stream->duration <= 0)
        return -1;
    return qint64(stream->duration * 1000.0 * av_q2d(stream->time_base));
}
