#include "core/export/exportmp4layout.h"

#include "core/media/ffmpeghandles.h"

#include <QFile>

extern "C" {
#include <libavutil/dict.h>
#include <libavutil/mem.h>
}

namespace exportlayout {

QList<Chapter> chaptersFor(const QList<AVData> &clips, qint64 totalMs)
{
    QList<Chapter> chapters;
    QString previous;
    for (int i = 0; i < clips.size(); ++i) {
        const AVData &clip = clips.at(i);
        const QString title = clip.title.trimmed();
        if (!title.isEmpty() && (i == 0 || title != previous) && clip.position < totalMs) {
            if (!chapters.isEmpty())
                chapters.last().endMs = clip.position;
            chapters.append(Chapter{clip.position, totalMs, title});
        }
        previous = title;
    }
    // Two titles starting at the same time (an empty span between them) keep the later one.
    for (int i = chapters.size() - 1; i > 0; --i) {
        if (chapters.at(i - 1).startMs >= chapters.at(i).startMs)
            chapters.removeAt(i - 1);
    }
    return chapters;
}

bool addChapters(AVFormatContext *out, const QList<Chapter> &chapters)
{
    for (const Chapter &chapter : chapters) {
        auto *added = static_cast<AVChapter *>(av_mallocz(sizeof(AVChapter)));
        if (!added)
            return false;
        added->id = int64_t(out->nb_chapters) + 1;
        added->time_base = AVRational{1, 1000};
        added->start = chapter.startMs;
        added->end = chapter.endMs;
        int count = int(out->nb_chapters);
        if (av_dict_set(&added->metadata, "title", chapter.title.toUtf8().constData(), 0) < 0 ||
            av_dynarray_add_nofree(&out->chapters, &count, added) < 0) {
            av_dict_free(&added->metadata);
            av_free(added);
            return false;
        }
        out->nb_chapters = unsigned(count);
    }
    return true;
}

void addFastStartOption(AVDictionary **options)
{
    av_dict_set(options, "movflags", "+faststart", AV_DICT_APPEND);
}

bool indexComesFirst(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const qint64 end = file.size();
    qint64 at = 0;
    while (at + 8 <= end && file.seek(at)) {
        const QByteArray head = file.read(16);
        if (head.size() < 8)
            return false;
        quint64 size = 0;
        for (int i = 0; i < 4; ++i)
            size = size << 8 | quint8(head.at(i));
        if (size == 1 && head.size() == 16) {
            size = 0;
            for (int i = 8; i < 16; ++i)
                size = size << 8 | quint8(head.at(i));
        }
        const QByteArray type = head.mid(4, 4);
        if (type == "moov")
            return true;
        if (type == "mdat" || type == "moof" || size < 8)
            return false;
        at += qint64(size);
    }
    return false;
}

namespace {

bool remux(const QString &source, const QString &target, const QList<Chapter> &chapters,
           QString *reason)
{
    AVFormatContext *rawInput = nullptr;
    int ret = avformat_open_input(&rawInput, source.toUtf8().constData(), nullptr, nullptr);
    ffmpeg::InputFormatContextPtr input(rawInput);
    if (ret < 0 || (ret = avformat_find_stream_info(input.get(), nullptr)) < 0) {
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
        const bool wanted = par->codec_type == AVMEDIA_TYPE_VIDEO ||
            par->codec_type == AVMEDIA_TYPE_AUDIO;
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
    if (!addChapters(out, chapters)) {
        *reason = QStringLiteral("out of memory");
        return false;
    }
    if ((ret = avio_open(&out->pb, target.toUtf8().constData(), AVIO_FLAG_WRITE)) < 0) {
        *reason = QStringLiteral("open %1: %2").arg(target, ffmpeg::errorText(ret));
        return false;
    }
    AVDictionary *options = nullptr;
    addFastStartOption(&options);
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
        ret = av_interleaved_write_frame(out, packet.get());
        if (ret < 0) {
            *reason = QStringLiteral("write: %1").arg(ffmpeg::errorText(ret));
            return false;
        }
    }
    if (ret != AVERROR_EOF) {
        *reason = QStringLiteral("read %1: %2").arg(source, ffmpeg::errorText(ret));
        return false;
    }
    if ((ret = av_write_trailer(out)) < 0 || (ret = avio_closep(&out->pb)) < 0) {
        *reason = QStringLiteral("trailer: %1").arg(ffmpeg::errorText(ret));
        return false;
    }
    return true;
}

} // namespace

bool copyIndexFirst(const QString &source, const QString &target, const QList<Chapter> &chapters,
                    QString *reason)
{
    if (chapters.isEmpty() && indexComesFirst(source)) {
        if (QFile::copy(source, target))
            return true;
        *reason = QStringLiteral("copy %1 to %2 failed").arg(source, target);
        return false;
    }
    return remux(source, target, chapters, reason);
}

} // namespace exportlayout
