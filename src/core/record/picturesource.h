#pragma once
// PictureSource: where the recorder's pictures come from. A source delivers raw pictures, one
// per packet (an FFmpeg "rawvideo" packet of the format in parameters()), each with the time it
// was taken on the recorder's capture clock (captureClockUs), and says when nothing changed.
// Everything after it (conversion, encoder, the crash-safe file, pauses, mute, the microphone,
// health and recovery) is the recorder's and the same for every source.
//
// Two kinds of sources:
// - continuous sources (the X11 screen grab) deliver a picture at every tick of the frame rate,
//   changed or not; the recorder places each on the file's 1/30 s grid;
// - change-driven sources (the whiteboard's own scene) deliver a picture only when something
//   changed and otherwise time out with Unchanged; the recorder sends pictures to the encoder
//   by PictureCadence's rule and stamps each with the time it appeared.
//
// Threads: open() and parameters() on the thread that prepares the recording; read() on the
// recorder's video reader only; interrupt() from any thread.
#include <QSize>
#include <QString>

extern "C" {
#include <libavcodec/avcodec.h>
}

class PictureSource
{
public:
    enum class Read {
        Picture,    // `packet` holds a picture taken at `captureUs`
        Unchanged,  // nothing new within the time asked for
        Ended,      // no more pictures: the source failed or was interrupted
    };

    virtual ~PictureSource() = default;

    // Opens the source; false with a reason (for the log) when it cannot deliver pictures.
    virtual bool open(QString *error) = 0;
    // What a picture is: codec "rawvideo", its pixel format, width and height. Valid after open.
    virtual const AVCodecParameters *parameters() const = 0;
    // The time base of the packets' own timestamps (the decoder's packet time base).
    virtual AVRational timeBase() const = 0;
    // True when pictures come only when something changed (see above).
    virtual bool isChangeDriven() const = 0;
    // How many threads the encoder takes for this source's pictures. A grabbed screen may move
    // everywhere at once and needs them all; pictures drawn by the program change a little at
    // a time and are encoded faster by one thread than by many that must each be woken.
    virtual int encoderThreads() const { return 12; }
    // Waits up to `timeoutMs` for the next picture (a continuous source may wait for its next
    // tick instead). On Picture, `packet` holds it and `captureUs` tells when it was taken.
    virtual Read read(AVPacket *packet, qint64 *captureUs, int timeoutMs) = 0;
    // Makes a waiting or later read() return Ended soon.
    virtual void interrupt() = 0;

    QSize size() const
    {
        const AVCodecParameters *p = parameters();
        return p ? QSize(p->width, p->height) : QSize();
    }

    // The recorder's capture clock, in microseconds: the wall clock FFmpeg's capture inputs
    // stamp their packets with (av_gettime). Any thread.
    static qint64 captureClockUs();
};
