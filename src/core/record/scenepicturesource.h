#pragma once
// ScenePictureSource: a change-driven picture source for scenes the program draws itself (the
// whiteboard). The owner draws each changed picture into a canvas taken from the source and
// hands it in with the time it was drawn; the recorder's reader takes the newest one. A picture
// handed in while an earlier one still waits replaces it (it shows more). The reader gets it in
// YUV 4:2:0, of which only the rows that differ from the picture before are converted
// (YuvPicture), so a small change costs little.
//
// An owner that keeps its picture itself and knows which rows it changed (the whiteboard) hands
// in only those rows instead (pushRows): they are converted at once and nothing is copied or
// compared. One source takes its pictures one way or the other, not both.
//
// Threads: newCanvas(), push() and pushRows() on the owner's thread (normally the main thread);
// read() on the recorder's video reader; interrupt() from any thread.
#include "core/media/ffmpeghandles.h"
#include "core/record/picturesource.h"
#include "core/record/yuvpicture.h"

#include <QImage>
#include <QMutex>
#include <QWaitCondition>

class ScenePictureSource : public PictureSource
{
public:
    // Canvases of `size` (even width and height), 32-bit pixels in QImage::Format_RGB32 (BGR0
    // in memory).
    explicit ScenePictureSource(const QSize &size);
    ~ScenePictureSource() override;
    ScenePictureSource(const ScenePictureSource &) = delete;
    ScenePictureSource &operator=(const ScenePictureSource &) = delete;

    // A picture to draw into: `image` paints into `packet`'s memory. Null image when out of
    // memory.
    struct Canvas
    {
        ffmpeg::PacketPtr packet;
        QImage image;
    };
    Canvas newCanvas();
    // Hands in a drawn picture, taken at `captureUs` (captureClockUs).
    void push(Canvas canvas, qint64 captureUs);
    // Hands in the owner's picture (RGB32, of the source's size), of which only rows [top,
    // bottom) changed since the one handed in before (all of it the first time), taken at
    // `captureUs`. False when out of memory.
    bool pushRows(const QImage &picture, int top, int bottom, qint64 captureUs);
    // How many pictures were handed in.
    qint64 pushedCount() const;

    bool open(QString *error) override;
    const AVCodecParameters *parameters() const override { return m_parameters; }
    AVRational timeBase() const override { return AVRational{1, 1000000}; }
    bool isChangeDriven() const override { return true; }
    static constexpr int kEncoderThreads = 1;
    int encoderThreads() const override { return kEncoderThreads; }
    Read read(AVPacket *packet, qint64 *captureUs, int timeoutMs) override;
    void interrupt() override;

private:
    QSize m_size;
    AVCodecParameters *m_parameters = nullptr;  // owned
    AVBufferPool *m_pool = nullptr;             // owned; buffers may outlive the source
    // The reader's (push) or the owner's (pushRows): the last picture converted, and what it
    // is in YUV.
    ffmpeg::PacketPtr m_converted;
    YuvPicture m_picture;
    bool m_rowsPushed = false;  // the first pushRows converts the whole picture
    mutable QMutex m_mutex;
    QWaitCondition m_arrived;
    ffmpeg::PacketPtr m_waiting;  // the newest picture not read yet
    bool m_waitingIsYuv = false;  // converted already (pushRows)
    qint64 m_waitingUs = 0;
    qint64 m_pushed = 0;
    bool m_interrupted = false;
};
