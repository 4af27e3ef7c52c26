#pragma once
// Pictures of the export: the white canvas of the output size and the centred paste of a
// smaller picture onto it, and the conversion of decoded pictures to 8-bit YUV 4:2:0.
// Plain functions and a converter owned by one decode thread.
#include "core/media/ffmpeghandles.h"

namespace exportframes {

// A white YUV 4:2:0 picture of `width` × `height`; empty when out of memory.
ffmpeg::FramePtr makeWhiteFrame(int width, int height);

// A new picture: a copy of `background` with `picture` pasted in its centre (offsets
// (background - picture) / 2, integer division). Both YUV 4:2:0; `picture` no larger than
// `background`. Empty when out of memory.
ffmpeg::FramePtr pasteCentred(const AVFrame *background, const AVFrame *picture);

// A new YUV 4:2:0 picture: `picture` turned clockwise by `degrees` (0, 90, 180 or 270), as
// players show a file whose stream says it is turned. Empty when out of memory.
ffmpeg::FramePtr rotateClockwise(const AVFrame *picture, int degrees);

} // namespace exportframes

// Converts decoded pictures of any format to YUV 4:2:0 of the same size.
class Yuv420Converter
{
public:
    // `frame` itself (a new reference) when it already is YUV 4:2:0, else a converted copy.
    // Empty on failure.
    ffmpeg::FramePtr convert(const AVFrame *frame);

private:
    SwsContext *m_Context = nullptr;  // owned through m_Owner
    ffmpeg::SwsContextPtr m_Owner;
};
