#pragma once
// CameraOverlay: lays the camera's picture onto a recorded picture. The camera's picture is cut
// to the camera's rectangle's shape around its centre, scaled to the rectangle, mirrored when
// asked, and laid on inside its shape (a circle or a rounded rectangle) with a soft edge of about
// a pixel and a half, so that the edge is not jagged. The recorded picture is YUV 4:2:0 (the
// pictures the program draws itself and reads by their changes) or packed 32-bit RGB (a grabbed
// screen). The scaled camera picture and the shape's mask are kept while they stay the same, so
// a picture laid on many recorded pictures is scaled once.
//
// One thread at a time.
#include "core/camera/camerasettings.h"

#include <QByteArray>
#include <QImage>
#include <QRect>
#include <QSize>

extern "C" {
#include <libavutil/pixfmt.h>
}

#include <cstdint>
#include <vector>

struct AVFrame;
struct SwsContext;

class CameraOverlay
{
public:
    CameraOverlay() = default;
    ~CameraOverlay();
    CameraOverlay(const CameraOverlay &) = delete;
    CameraOverlay &operator=(const CameraOverlay &) = delete;

    // The formats recorded pictures may have.
    static bool canLayOn(AVPixelFormat format);
    // How much of each pixel of a `size` picture of `shape` is the camera's: 255 inside, 0
    // outside, between the two along the edge. Rows of size.width() bytes.
    static std::vector<uint8_t> mask(CameraShape shape, const QSize &size);

    // Lays `camera` (picture number `number`: the same number is not scaled again) at `rect`
    // onto the picture of `pictureSize` in `format` whose planes are `planes` with `strides`.
    // False when it cannot (an unknown format, a rectangle outside the picture, out of memory):
    // the picture is then as it was.
    bool lay(const AVFrame *camera, qint64 number, bool mirror, CameraShape shape,
             const QRect &rect, AVPixelFormat format, const QSize &pictureSize,
             uint8_t *const planes[4], const int strides[4]);

    // `camera` (picture `number`) cut to `size`'s shape around its centre and scaled to it, as
    // a QImage::Format_RGB32 picture; null when it cannot be converted.
    QImage image(const AVFrame *camera, qint64 number, const QSize &size);

private:
    bool scale(const AVFrame *camera, qint64 number, bool mirror, const QSize &size,
               AVPixelFormat format);

    SwsContext *m_sws = nullptr;
    // The camera's picture as laid on last: number, size, format and mirror, and its planes.
    qint64 m_scaledNumber = -1;
    QSize m_scaledSize;
    AVPixelFormat m_scaledFormat = AV_PIX_FMT_NONE;
    bool m_scaledMirror = false;
    std::vector<uint8_t> m_scaled;
    uint8_t *m_scaledPlanes[4] = {};
    int m_scaledStrides[4] = {};
    // The mask of m_maskShape at m_maskSize, and (YUV) at half size for the chroma planes.
    CameraShape m_maskShape = CameraShape::Circle;
    QSize m_maskSize;
    std::vector<uint8_t> m_mask;
    std::vector<uint8_t> m_halfMask;
};
