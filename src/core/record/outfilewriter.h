#pragma once
// ScreenRecord::OutFileWriter: one MP4 file being written. Takes the encoders' packets
// (stream 0 picture, stream 1 sound), rescales them to the file's time bases so that each
// stream starts at 0, and writes them as a fragmented MP4 whose fragments last at most half a
// second: everything up to the last fragment survives if the program dies. When both streams
// have ended it closes the file, rewrites it as a regular MP4 when it was written without
// error, and reports the picture's length in the final file for the project's clips.
//
// Not thread-safe: the engine calls it under its writer mutex, from the encoder threads.
#include "core/record/screenrecord.h"

#include <functional>

class ScreenRecord::OutFileWriter
{
public:
    // Called with the finished clip record (duration and endTime set) once the file is
    // final; the engine carries the change into the project on the main thread.
    using ProjectUpdate = std::function<void(const AVData &clip)>;

    OutFileWriter() = default;
    ~OutFileWriter();
    OutFileWriter(const OutFileWriter &) = delete;
    OutFileWriter &operator=(const OutFileWriter &) = delete;

    // 0, or -1 when the file cannot be created; `audioEncoder` may be null (no sound stream).
    int openOutput(AVData &clip, AVCodecContext *videoEncoder, AVCodecContext *audioEncoder);
    // One packet, or null to flush the interleaving queue. 0, or the FFmpeg error of a failed
    // write; after a failure nothing more is written.
    int writePacket(AVPacket *pkt);
    // The stream of `type` has ended; the second end finishes the file.
    void writeFinished(OutStreamType type, const ProjectUpdate &update);

    void setClip(const AVData &clip) { m_avData = clip; }
    bool streamFinished(OutStreamType type) const
    {
        return type == AudioStream ? m_audioFinished : m_videoFinished;
    }
    bool isWriteFinished() const { return m_WriteFinished; }
    int error() const { return m_error; }
    // Length of the picture written so far, in milliseconds.
    qint64 videoDurationMs() const;

    // Longest stretch of a fragment, in microseconds.
    static constexpr int kFragmentUs = 500000;

private:
    AVData m_avData;
    ffmpeg::OutputFormatContextPtr m_outputContext;
    bool m_videoFinished = false;
    bool m_audioFinished = false;
    bool m_WriteFinished = false;
    bool m_hasAudio = true;
    AVRational m_AudioInputTimebase{0, 0};
    AVRational m_VideoInputTimebase{0, 0};
    AVRational m_VideoOutputTimebase{0, 0};
    AVRational m_AudioOutputTimebase{0, 0};
    qint64 m_videoStartPts = -1;
    qint64 m_audioStartPts = -1;
    qint64 m_videoEndPts = 0;  // end of the last picture, in the file's time base
    qint64 m_audioEndPts = 0;
    int m_error = 0;
};
