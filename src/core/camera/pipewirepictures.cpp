#include "core/camera/pipewirepictures.h"

extern "C" {
#include <libavutil/imgutils.h>
#include <libavutil/pixdesc.h>
}

namespace {
// The raw formats offered, the camera's own first: what cameras send (packed and planar YUV),
// then what virtual cameras and screen-like sources send (RGB), each as FFmpeg reads it.
struct RawFormat
{
    spa_video_format spa;
    AVPixelFormat av;
};
constexpr RawFormat kRawFormats[] = {
    {SPA_VIDEO_FORMAT_YUY2, AV_PIX_FMT_YUYV422}, {SPA_VIDEO_FORMAT_UYVY, AV_PIX_FMT_UYVY422},
    {SPA_VIDEO_FORMAT_YVYU, AV_PIX_FMT_YVYU422}, {SPA_VIDEO_FORMAT_NV12, AV_PIX_FMT_NV12},
    {SPA_VIDEO_FORMAT_NV21, AV_PIX_FMT_NV21},    {SPA_VIDEO_FORMAT_I420, AV_PIX_FMT_YUV420P},
    {SPA_VIDEO_FORMAT_RGBx, AV_PIX_FMT_RGB0},    {SPA_VIDEO_FORMAT_BGRx, AV_PIX_FMT_BGR0},
    {SPA_VIDEO_FORMAT_xRGB, AV_PIX_FMT_0RGB},    {SPA_VIDEO_FORMAT_xBGR, AV_PIX_FMT_0BGR},
    {SPA_VIDEO_FORMAT_RGBA, AV_PIX_FMT_RGBA},    {SPA_VIDEO_FORMAT_BGRA, AV_PIX_FMT_BGRA},
    {SPA_VIDEO_FORMAT_ARGB, AV_PIX_FMT_ARGB},    {SPA_VIDEO_FORMAT_ABGR, AV_PIX_FMT_ABGR},
    {SPA_VIDEO_FORMAT_RGB, AV_PIX_FMT_RGB24},    {SPA_VIDEO_FORMAT_BGR, AV_PIX_FMT_BGR24},
    {SPA_VIDEO_FORMAT_GRAY8, AV_PIX_FMT_GRAY8},
};
}  // namespace

AVPixelFormat PipeWirePictures::pixelFormatOf(uint32_t format)
{
    for (const RawFormat &f : kRawFormats) {
        if (f.spa == format)
            return f.av;
    }
    return AV_PIX_FMT_NONE;
}

const spa_pod *PipeWirePictures::formatParam(spa_pod_builder *b, bool mjpeg,
                                             const spa_rectangle *fixedSize)
{
    spa_pod_frame object{};
    spa_pod_builder_push_object(b, &object, SPA_TYPE_OBJECT_Format, SPA_PARAM_EnumFormat);
    spa_pod_builder_add(b, SPA_FORMAT_mediaType, SPA_POD_Id(SPA_MEDIA_TYPE_video),
                        SPA_FORMAT_mediaSubtype,
                        SPA_POD_Id(mjpeg ? SPA_MEDIA_SUBTYPE_mjpg : SPA_MEDIA_SUBTYPE_raw), 0);
    if (!mjpeg) {
        spa_pod_builder_prop(b, SPA_FORMAT_VIDEO_format, 0);
        spa_pod_frame choice{};
        spa_pod_builder_push_choice(b, &choice, SPA_CHOICE_Enum, 0);
        spa_pod_builder_id(b, kRawFormats[0].spa);  // the default
        for (const RawFormat &f : kRawFormats)
            spa_pod_builder_id(b, f.spa);
        spa_pod_builder_pop(b, &choice);
    }
    const spa_rectangle defaultSize{1280, 720};
    const spa_rectangle minSize{1, 1};
    const spa_rectangle maxSize{8192, 8192};
    const spa_fraction rate{30, 1};
    const spa_fraction leastRate{fixedSize ? 25u : 0u, 1};
    const spa_fraction mostRate{1000, 1};
    if (fixedSize)
        spa_pod_builder_add(b, SPA_FORMAT_VIDEO_size, SPA_POD_Rectangle(fixedSize), 0);
    else
        spa_pod_builder_add(b, SPA_FORMAT_VIDEO_size,
                            SPA_POD_CHOICE_RANGE_Rectangle(&defaultSize, &minSize, &maxSize), 0);
    spa_pod_builder_add(b, SPA_FORMAT_VIDEO_framerate,
                        SPA_POD_CHOICE_RANGE_Fraction(&rate, &leastRate, &mostRate), 0);
    return static_cast<const spa_pod *>(spa_pod_builder_pop(b, &object));
}

ffmpeg::FramePtr PipeWirePictures::copyRaw(const spa_buffer *buffer, AVPixelFormat format,
                                           int width, int height)
{
    const AVPixFmtDescriptor *desc = av_pix_fmt_desc_get(format);
    const int planes = av_pix_fmt_count_planes(format);
    int natural[4] = {};
    if (!desc || planes < 1 || av_image_fill_linesizes(natural, format, width) < 0 ||
        buffer->n_datas < 1)
        return {};
    const auto planeHeight = [&](int plane) {
        return plane == 1 || plane == 2 ? AV_CEIL_RSHIFT(height, int(desc->log2_chroma_h)) : height;
    };
    const uint8_t *source[4] = {};
    int sourceStride[4] = {};
    const bool blockPerPlane = planes > 1 && buffer->n_datas >= uint32_t(planes);
    for (int plane = 0; plane < (blockPerPlane ? planes : 1); ++plane) {
        const spa_data &block = buffer->datas[plane];
        if (!block.data || !block.chunk || block.maxsize == 0 ||
            (block.chunk->flags & SPA_CHUNK_FLAG_CORRUPTED))
            return {};
        const int stride = block.chunk->stride > 0 ? block.chunk->stride : natural[plane];
        if (stride < natural[plane])
            return {};
        const qint64 offset = block.chunk->offset % block.maxsize;
        qint64 needed = 0;
        const uint8_t *base = static_cast<const uint8_t *>(block.data) + offset;
        if (blockPerPlane) {
            source[plane] = base;
            sourceStride[plane] = stride;
            needed = qint64(stride) * (planeHeight(plane) - 1) + natural[plane];
        } else {
            for (int p = 0; p < planes; ++p) {
                sourceStride[p] = int(qint64(natural[p]) * stride / natural[0]);
                source[p] = base + needed;
                needed += qint64(sourceStride[p]) * planeHeight(p);
            }
            needed -= sourceStride[planes - 1] - natural[planes - 1];
        }
        if (needed > qint64(block.chunk->size) || offset + needed > qint64(block.maxsize))
            return {};
    }
    ffmpeg::FramePtr picture = ffmpeg::makePicture(format, width, height);
    if (!picture)
        return {};
    av_image_copy(picture->data, picture->linesize, source, sourceStride, format, width, height);
    return picture;
}
