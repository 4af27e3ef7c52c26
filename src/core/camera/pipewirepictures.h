#pragma once
// PipeWirePictures: the pictures of a camera's PipeWire stream as FFmpeg knows them: the
// formats a camera feed asks for (MJPEG, and the raw formats FFmpeg converts) and the copy of a
// raw picture out of PipeWire's buffer into a picture of its own.
//
// Threads: any.
#include "core/media/ffmpeghandles.h"

#include <spa/buffer/buffer.h>
#include <spa/param/video/format-utils.h>
#include <spa/pod/builder.h>

namespace PipeWirePictures {

// FFmpeg's pixel format of a raw format the feed asks for; AV_PIX_FMT_NONE for the others.
AVPixelFormat pixelFormatOf(uint32_t format);

// One EnumFormat into `b`: MJPEG or the raw formats, of `fixedSize` (at 25 pictures a second
// at least) or, when it is null, of any size (1280x720 preferred); 30 pictures a second
// preferred.
const spa_pod *formatParam(spa_pod_builder *b, bool mjpeg, const spa_rectangle *fixedSize);

// Copies a raw picture out of `buffer`: one data block per plane, or all planes one after the
// other in the first block (rows of the chunk's stride in the first plane, in proportion in
// the others). Empty when the buffer is too small for the picture or marked corrupted.
ffmpeg::FramePtr copyRaw(const spa_buffer *buffer, AVPixelFormat format, int width, int height);

}  // namespace PipeWirePictures
