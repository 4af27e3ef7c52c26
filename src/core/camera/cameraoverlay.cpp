#include "core/camera/cameraoverlay.h"

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

namespace {
bool isPackedRgb32(AVPixelFormat format)
{
    return format == AV_PIX_FMT_BGR0 || format == AV_PIX_FMT_BGRA || format == AV_PIX_FMT_RGB0 ||
           format == AV_PIX_FMT_RGBA;
}

// How far (pixels) the point (x, y) lies inside the shape's edge; negative outside.
double insideBy(CameraShape shape, double x, double y, double width, double height)
{
    if (shape == CameraShape::Circle) {
        const double r = std::min(width, height) / 2.0;
        return r - std::hypot(x - width / 2.0, y - height / 2.0);
    }
    const double radius = std::min(width, height) * 0.12;
    // Distance to the rectangle shrunk by the radius, then the radius taken off.
    const double dx = std::max(std::abs(x - width / 2.0) - (width / 2.0 - radius), 0.0);
    const double dy = std::max(std::abs(y - height / 2.0) - (height / 2.0 - radius), 0.0);
    const double outside = std::hypot(dx, dy);
    const double inner = std::min(width / 2.0 - std::abs(x - width / 2.0),
                                  height / 2.0 - std::abs(y - height / 2.0));
    return outside > 0 ? radius - outside : std::min(inner, radius);
}

inline uint8_t mix(uint8_t under, uint8_t over, uint8_t alpha)
{
    return uint8_t((under * (255 - alpha) + over * alpha + 127) / 255);
}

// Lays `width` x `height` bytes of `over` (one byte a pixel, or four for packed RGB: the first
// three mixed) onto `under` by `mask`.
void mixPlane(uint8_t *under, int underStride, const uint8_t *over, int overStride,
              const uint8_t *mask, int width, int height, int bytes, bool mirror)
{
    for (int row = 0; row < height; ++row) {
        uint8_t *u = under + qsizetype(row) * underStride;
        const uint8_t *o = over + qsizetype(row) * overStride;
        const uint8_t *m = mask + qsizetype(row) * width;
        for (int x = 0; x < width; ++x) {
            const uint8_t alpha = m[x];
            if (alpha == 0)
                continue;
            const uint8_t *from = o + qsizetype(mirror ? width - 1 - x : x) * bytes;
            uint8_t *to = u + qsizetype(x) * bytes;
            for (int c = 0; c < std::min(bytes, 3); ++c)
                to[c] = alpha == 255 ? from[c] : mix(to[c], from[c], alpha);
        }
    }
}
}  // namespace

CameraOverlay::~CameraOverlay()
{
    sws_freeContext(m_sws);
}

bool CameraOverlay::canLayOn(AVPixelFormat format)
{
    return format == AV_PIX_FMT_YUV420P || isPackedRgb32(format);
}

std::vector<uint8_t> CameraOverlay::mask(CameraShape shape, const QSize &size)
{
    std::vector<uint8_t> alpha(size_t(std::max(0, size.width() * size.height())));
    // The edge fades over this many pixels, centred on the shape's outline.
    constexpr double kSoftPixels = 1.5;
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            const double inside = insideBy(shape, x + 0.5, y + 0.5, size.width(), size.height());
            const double a = std::clamp(inside / kSoftPixels + 0.5, 0.0, 1.0);
            alpha[size_t(y) * size.width() + x] = uint8_t(std::lround(a * 255));
        }
    }
    return alpha;
}

bool CameraOverlay::scale(const AVFrame *camera, qint64 number, bool mirror, const QSize &size,
                          AVPixelFormat format)
{
    if (number == m_scaledNumber && size == m_scaledSize && format == m_scaledFormat &&
        mirror == m_scaledMirror)
        return true;
    m_scaledNumber = -1;
    // The camera's picture cut to the rectangle's shape around its centre.
    AVFrame *cut = av_frame_clone(camera);
    if (!cut)
        return false;
    const double want = double(size.width()) / size.height();
    const double have = double(camera->width) / std::max(1, camera->height);
    if (have > want) {
        const int keep = int(std::lround(camera->height * want));
        cut->crop_left = size_t((camera->width - keep) / 2);
        cut->crop_right = size_t(camera->width - keep) - cut->crop_left;
    } else if (have < want) {
        const int keep = int(std::lround(camera->width / want));
        cut->crop_top = size_t((camera->height - keep) / 2);
        cut->crop_bottom = size_t(camera->height - keep) - cut->crop_top;
    }
    if (av_frame_apply_cropping(cut, AV_FRAME_CROP_UNALIGNED) < 0 || cut->width <= 0 ||
        cut->height <= 0) {
        av_frame_free(&cut);
        return false;
    }
    const int bytes = av_image_get_buffer_size(format, size.width(), size.height(), 1);
    m_sws = sws_getCachedContext(m_sws, cut->width, cut->height, AVPixelFormat(cut->format),
                                 size.width(), size.height(), format, SWS_BILINEAR, nullptr,
                                 nullptr, nullptr);
    if (!m_sws || bytes <= 0) {
        av_frame_free(&cut);
        return false;
    }
    // A camera's MJPEG pictures use the full range of values, the recorded pictures the
    // limited one.
    int *inv = nullptr, *table = nullptr, srcRange = 0, dstRange = 0, brightness = 0, contrast = 0,
        saturation = 0;
    if (sws_getColorspaceDetails(m_sws, &inv, &srcRange, &table, &dstRange, &brightness, &contrast,
                                 &saturation) >= 0) {
        srcRange = srcRange || cut->color_range == AVCOL_RANGE_JPEG;
        dstRange = isPackedRgb32(format) ? 1 : 0;
        sws_setColorspaceDetails(m_sws, inv, srcRange, table, dstRange, brightness, contrast,
                                 saturation);
    }
    m_scaled.resize(size_t(bytes));
    av_image_fill_arrays(m_scaledPlanes, m_scaledStrides, m_scaled.data(), format, size.width(),
                         size.height(), 1);
    sws_scale(m_sws, cut->data, cut->linesize, 0, cut->height, m_scaledPlanes, m_scaledStrides);
    av_frame_free(&cut);
    m_scaledNumber = number;
    m_scaledSize = size;
    m_scaledFormat = format;
    m_scaledMirror = mirror;
    return true;
}

QImage CameraOverlay::image(const AVFrame *camera, qint64 number, const QSize &size)
{
    if (!camera || size.isEmpty() || !scale(camera, number, false, size, AV_PIX_FMT_BGRA))
        return QImage();
    QImage picture(size, QImage::Format_RGB32);
    if (picture.isNull())
        return QImage();
    for (int y = 0; y < size.height(); ++y) {
        auto *row = reinterpret_cast<uint32_t *>(picture.scanLine(y));
        std::memcpy(row, m_scaledPlanes[0] + qsizetype(y) * m_scaledStrides[0],
                    size_t(size.width()) * 4);
        for (int x = 0; x < size.width(); ++x)
            row[x] |= 0xff000000u;
    }
    return picture;
}

bool CameraOverlay::lay(const AVFrame *camera, qint64 number, bool mirror, CameraShape shape,
                        const QRect &rect, AVPixelFormat format, const QSize &pictureSize,
                        uint8_t *const planes[4], const int strides[4])
{
    const bool yuv = format == AV_PIX_FMT_YUV420P;
    if (!camera || !canLayOn(format) || rect.isEmpty() ||
        !QRect(QPoint(0, 0), pictureSize).contains(rect) ||
        (yuv && (rect.x() % 2 || rect.y() % 2 || rect.width() % 2 || rect.height() % 2)))
        return false;
    if (!scale(camera, number, mirror, rect.size(), format))
        return false;
    if (m_maskSize != rect.size() || m_maskShape != shape || m_mask.empty()) {
        m_mask = mask(shape, rect.size());
        m_maskShape = shape;
        m_maskSize = rect.size();
        const int hw = rect.width() / 2, hh = rect.height() / 2;
        m_halfMask.assign(size_t(hw * hh), 0);
        for (int y = 0; y < hh; ++y) {
            for (int x = 0; x < hw; ++x) {
                const uint8_t *m = m_mask.data() + size_t(2 * y) * rect.width() + 2 * x;
                m_halfMask[size_t(y) * hw + x] =
                    uint8_t((m[0] + m[1] + m[rect.width()] + m[rect.width() + 1] + 2) / 4);
            }
        }
    }
    if (!yuv) {
        mixPlane(planes[0] + qsizetype(rect.y()) * strides[0] + qsizetype(rect.x()) * 4, strides[0],
                 m_scaledPlanes[0], m_scaledStrides[0], m_mask.data(), rect.width(), rect.height(),
                 4, m_scaledMirror);
        return true;
    }
    mixPlane(planes[0] + qsizetype(rect.y()) * strides[0] + rect.x(), strides[0], m_scaledPlanes[0],
             m_scaledStrides[0], m_mask.data(), rect.width(), rect.height(), 1, m_scaledMirror);
    for (int plane = 1; plane <= 2; ++plane)
        mixPlane(planes[plane] + qsizetype(rect.y() / 2) * strides[plane] + rect.x() / 2,
                 strides[plane], m_scaledPlanes[plane], m_scaledStrides[plane], m_halfMask.data(),
                 rect.width() / 2, rect.height() / 2, 1, m_scaledMirror);
    return true;
}
