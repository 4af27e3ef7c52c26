#include "core/record/mp4rewrite.h"
#include "core/platform/filesync.h"

#include "core/media/ffmpeghandles.h"
#include "core/media/mp4copy.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>

bool Mp4Rewrite::rewriteAsRegular(const QString &path)
{
    const QFileInfo info(path);
    const QString temporary =
        info.absolutePath() + QStringLiteral("/.%1.rewrite.mp4").arg(info.fileName());
    QString reason;
    const bool ok =
        mp4copy::copyStreams(path, temporary, &reason, {}, true) && replaceDurably(temporary, path);
    if (!ok) {
        qWarning() << "Mp4Rewrite: keeping the file as it was" << path << reason;
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
