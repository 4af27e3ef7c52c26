#pragma once
// The encoder settings the recorder and the export share: x264 for pictures, AAC for sound.
// Plain functions; any thread.
#include "core/media/ffmpeghandles.h"

#include <QString>

namespace h264 {

// The x264 constant rate factor for a picture of `width` × `height`: larger pictures take a
// higher factor (fewer bits per pixel).
QString crfFor(int width, int height);

// Opens an H.264 encoder (libx264 when there is one) for `width` × `height` YUV 4:2:0 pictures
// at `frameRate`, times in `timeBase`: crfFor's factor, preset veryfast, tune zerolatency, main
// profile, a key picture every 50, no B pictures, global header (for MP4), `threads` threads
// (0: x264's choice). Empty handle and `error` set when it cannot be opened. `content`
// ChangesInPlaces (the pictures of a change-driven recording) searches less.
enum class Content { Moving, ChangesInPlaces };
ffmpeg::CodecContextPtr openEncoder(int width, int height, AVRational timeBase, int frameRate,
                                    int threads, QString *error, Content content = Content::Moving);

}  // namespace h264

namespace aac {

constexpr int kSampleRate = 44100;
constexpr AVRational kSampleTimebase{1, kSampleRate};

// Opens an AAC encoder: 44100 Hz, 192 kbit/s, float planar stereo, time base 1/44100 (one
// tick per sample), global header (for MP4). Empty handle and `error` set when it cannot be
// opened.
ffmpeg::CodecContextPtr openEncoder(QString *error);

}  // namespace aac
