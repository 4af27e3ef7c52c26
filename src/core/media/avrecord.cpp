#include "core/media/avrecord.h"

#include "core/media/ffmpeghandles.h"

extern "C" {
#include <libavutil/display.h>
}

#include <QDebug>

#include <cmath>

namespace {

int normalisedQuarterTurns(double degrees)
{
    long turns = std::lround(degrees / 90.0) % 4;
    if (turns < 0)
        turns += 4;
    return static_cast<int>(turns) * 90;
}

}  // namespace

int AVRecord::streamRotation(const AVStream *stream)
{
    if (!stream)
        return 0;
    if (const AVDictionaryEntry *tag = av_dict_get(stream->metadata, "rotate", nullptr, 0)) {
        bool ok = false;
        const long long value = QString::fromUtf8(tag->value).trimmed().toLongLong(&ok);
        if (ok)
            return normalisedQuarterTurns(static_cast<double>(value % 360));
    }
    size_t size = 0;
    const uint8_t *matrix = av_stream_get_side_data(stream, AV_PKT_DATA_DISPLAYMATRIX, &size);
    if (matrix && size >= 9 * sizeof(int32_t)) {
        // av_display_rotation_get gives the counter-clockwise angle.
        const double ccw = av_display_rotation_get(reinterpret_cast<const int32_t *>(matrix));
        if (!std::isnan(ccw))
            return normalisedQuarterTurns(-ccw);
    }
    return 0;
}

bool AVRecord::updateMediaInfo(AVData &clip)
{
    avformat_network_init();

    int ret = 0;
    ffmpeg::InputFormatContextPtr input = ffmpeg::openInput(clip.filePath, &ret);
    if (!input) {
        qWarning() << " avformat_open_input failed" << ret << ffmpeg::errorText(ret)
                   << clip.filePath;
        return false;
    }

    const qint64 durationMs = input->duration == AV_NOPTS_VALUE ? 0 : input->duration / 1000;
    clip.duration = durationMs;
    clip.endTime = durationMs;
    qInfo() << "avformat_open_input success:" << durationMs;

    ret = avformat_find_stream_info(input.get(), nullptr);
    if (ret < 0) {
        qWarning() << "Cannot find stream information" << ffmpeg::errorText(ret);
        return false;
    }

    // Once the streams are analysed the container may know its length after all.
    if (durationMs <= 0 && input->duration != AV_NOPTS_VALUE && input->duration > 0) {
        clip.duration = input->duration / 1000;
        clip.endTime = clip.duration;
    }

    bool hasPicture = false;
    for (unsigned i = 0; i < input->nb_streams; ++i) {
        const AVStream *stream = input->streams[i];
        if (stream->codecpar->codec_type != AVMEDIA_TYPE_VIDEO)
            continue;
        // Cover art attached to a sound file is not a picture track.
        if (stream->disposition & AV_DISPOSITION_ATTACHED_PIC)
            continue;
        const int rotation = streamRotation(stream);
        if (rotation == 90 || rotation == 270) {
            clip.videoWidth = stream->codecpar->height;
            clip.videoHeight = stream->codecpar->width;
        } else {
            clip.videoWidth = stream->codecpar->width;
            clip.videoHeight = stream->codecpar->height;
        }
        qInfo() << "size:" << clip.videoWidth << "x" << clip.videoHeight;
        hasPicture = true;
    }
    // Sizes left over from an earlier probe must not make a sound-only file count as video.
    return hasPicture && clip.videoWidth > 0 && clip.videoHeight > 0;
}
