#pragma once
// The state of one export clip while it is read (export thread) and its picture decoded (the
// clip's decode thread). Internal to ExportManager.
#include "core/export/blockingqueue.h"
#include "core/export/exportaudio.h"
#include "core/export/exportframes.h"
#include "core/project/avdata.h"

#include <memory>

struct ExportClipInput
{
    enum class Sound { Silence, Copy, Encode };

    AVData clip;
    int index = 0;
    qint64 positionMs = 0;

    ffmpeg::InputFormatContextPtr format;
    int videoStream = -1;
    int audioStream = -1;
    AVRational videoTimebase{0, 1};
    int rotation = 0;  // clockwise degrees players turn the pictures by
    AVRational audioTimebase{0, 1};
    // The used span in each stream's time base: [in, out).
    int64_t videoIn = 0;
    int64_t videoOut = INT64_MAX;
    int64_t audioIn = 0;
    int64_t audioOut = INT64_MAX;

    // The picture side: packets for the decode thread (null ends them), and its decoder.
    BlockingQueue<ffmpeg::PacketPtr> packets{48};
    ffmpeg::CodecContextPtr videoDecoder;
    Yuv420Converter converter;
    int64_t droppedFrames = 0;
    // A file whose pictures come only when the picture changed: the newest decoded picture
    // before the span (shown from the span's start), and the last picture sent, held on
    // every output tick until the next one.
    ffmpeg::FramePtr beforeSpan;
    ffmpeg::FramePtr lastPicture;
    int64_t heldFrames = 0;

    // The sound side. Output samples of the clip: [startSample, endSample).
    Sound sound = Sound::Silence;
    int64_t startSample = 0;
    int64_t endSample = 0;
    std::unique_ptr<ExportAudioSection> section;
    // While copying: a decoder that checks each packet before it is copied.
    ffmpeg::CodecContextPtr soundCheck;
    ffmpeg::FramePtr soundCheckFrame;
};
