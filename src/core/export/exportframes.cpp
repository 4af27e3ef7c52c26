#include "core/export/exportframes.h"

#include <algorithm>
#include <cstring>

namespace exportframes {

ffmpeg::FramePtr makeWhiteFrame(int width, int height)
{
    ffmpeg::FramePtr frame = ffmpeg::makePicture(AV_PIX_FMT_YUV420P, width, height);
    if (!frame)
        return {};
    // White in limited-range BT.601, as an RGB24 white converts to.
    const int chromaHeight = (height + 1) / 2;
    std::memset(frame->data[0], 235, size_t(frame->linesize[0]) * height);
    std::memset(frame->data[1], 128, size_t(frame->linesize[1]) * chromaHeight);
    std::memset(frame->data[2], 128, size_t(frame->linesize[2]) * chromaHeight);
    return frame;
}

ffmpeg::FramePtr pasteCentred(const AVFrame *background, const AVFrame *picture)
{
    ffmpeg::FramePtr canvas = ffmpeg::makePicture(AVPixelFormat(background->format),
                                                  background->width, background->height);
    if (!canvas || av_frame_copy(canvas.get(), background) < 0)
        return {};

    const int xOffset = (background->width - picture->width) / 2;
    const int yOffset = (background->height - picture->height) / 2;
    const int rows = std::min(picture->height, background->height - yOffset);
    const int columns = std::min(picture->width, background->width - xOffset);
    if (rows <= 0 || columns <= 0 || xOffset < 0 || yOffset < 0)
        return canvas;
    for (int i = 0; i < rows; ++i)
        std::memcpy(canvas->data[0] + size_t(yOffset + i) * canvas->linesize[0] + xOffset,
                    picture->data[0] + size_t(i) * picture->linesize[0], size_t(columns));
    // A chroma sample belongs to the luma sample at even canvas coordinates: the source rows
    // and columns that land there give the chroma copied.
    const int firstColumn = xOffset % 2;  // first source column landing on an even column
    const int chromaColumns = (columns - firstColumn + 1) / 2;
    for (int i = yOffset % 2; i < rows; i += 2) {
        for (int plane = 1; plane <= 2; ++plane) {
            if (chromaColumns <= 0)
                break;
            std::memcpy(canvas->data[plane] + size_t((yOffset + i) / 2) * canvas->linesize[plane] +
                            (xOffset + firstColumn) / 2,
                        picture->data[plane] + size_t(i / 2) * picture->linesize[plane] +
                            firstColumn / 2,
                        size_t(chromaColumns));
        }
    }
    return canvas;
}

ffmpeg::FramePtr rotateClockwise(const AVFrame *picture, int degrees)
{
    const bool quarter = degrees == 90 || degrees == 270;
    ffmpeg::FramePtr turned =
        ffmpeg::makePicture(AV_PIX_FMT_YUV420P, quarter ? picture->height : picture->width,
                            quarter ? picture->width : picture->height);
    if (!turned)
        return {};
    for (int plane = 0; plane < 3; ++plane) {
        // Source plane size; chroma planes are half of it, rounded up.
        const int w = plane == 0 ? picture->width : (picture->width + 1) / 2;
        const int h = plane == 0 ? picture->height : (picture->height + 1) / 2;
        const uint8_t *src = picture->data[plane];
        const int srcStride = picture->linesize[plane];
        uint8_t *dst = turned->data[plane];
        const int dstStride = turned->linesize[plane];
        const int dstWidth = quarter ? h : w;
        const int dstHeight = quarter ? w : h;
        for (int y = 0; y < dstHeight; ++y) {
            uint8_t *row = dst + size_t(y) * dstStride;
            for (int x = 0; x < dstWidth; ++x) {
                int sx, sy;
                switch (degrees) {
                case 90:  sx = y;         sy = h - 1 - x; break;
                case 180: sx = w - 1 - x; sy = h - 1 - y; break;
                case 270: sx = w - 1 - y; sy = x;         break;
                default:  sx = x;         sy = y;         break;
                }
                row[x] = src[size_t(sy) * srcStride + sx];
            }
        }
    }
    av_frame_copy_props(turned.get(), picture);
    return turned;
}

} // namespace exportframes

ffmpeg::FramePtr Yuv420Converter::convert(const AVFrame *frame)
{
    if (frame->format == AV_PIX_FMT_YUV420P)
        return ffmpeg::FramePtr(av_frame_clone(frame));
    m_Context = sws_getCachedContext(m_Context, frame->width, frame->height,
                                     AVPixelFormat(frame->format), frame->width, frame->height,
                                     AV_PIX_FMT_YUV420P, SWS_BICUBIC, nullptr, nullptr, nullptr);
    if (m_Owner.get() != m_Context) {
        m_Owner.release();  // sws_getCachedContext has already freed the old one
        m_Owner.reset(m_Context);
    }
    if (!m_Context)
        return {};
    ffmpeg::FramePtr converted =
        ffmpeg::makePicture(AV_PIX_FMT_YUV420P, frame->width, frame->height);
    if (!converted)
        return {};
    sws_scale(m_Context, frame->data, frame->linesize, 0, frame->height, converted->data,
              converted->linesize);
    av_frame_copy_props(converted.get(), frame);
    return converted;
}
