#pragma once
// PipeWireSource: the change-driven picture source of screen recording on a Wayland desktop.
// Reads the monitor's stream that the desktop portal handed over (ScreenCastPortal) from the
// PipeWire server with libpipewire-0.3 (shared-memory or memfd buffers; BGRx, BGRA, RGBx or
// RGBA pixels), cuts the recording rectangle out of each picture, scales it to the rectangle's
// size in the X screen's pixels when the stream has other pixels (HiDPI), and delivers it as
// packed BGR0 rows. The compositor sends a picture only when the screen changed, so the source
// is change-driven: the recorder keeps the last picture and gives the encoder its regular
// pictures by PictureCadence's rule. Each picture is stamped with the capture clock when it
// arrived.
//
// Threads as PictureSource says; the stream is served by a thread of its own (pw_thread_loop)
// that converts each picture as it arrives.
#include "core/record/picturesource.h"

#include <QRect>

#include <memory>

class PipeWireSource : public PictureSource
{
public:
    // `remoteFd`: a connection to the PipeWire server (taken over); `node`: the monitor's
    // stream; `monitor`: where that monitor lies on the X screen, in its pixels; `rect`: the
    // rectangle to record, in the same pixels (inside `monitor`).
    PipeWireSource(int remoteFd, quint32 node, const QRect &monitor, const QRect &rect);
    ~PipeWireSource() override;
    PipeWireSource(const PipeWireSource &) = delete;
    PipeWireSource &operator=(const PipeWireSource &) = delete;

    // Where `rect` lies in a picture of `frame` pixels that shows `monitor` whole; empty when
    // it is not inside the monitor.
    static QRect cropInFrame(const QSize &frame, const QRect &monitor, const QRect &rect);

    // Connects to the stream and waits (a few seconds at most) for its first picture.
    bool open(QString *error) override;
    const AVCodecParameters *parameters() const override;
    AVRational timeBase() const override { return AVRational{1, 1000000}; }
    bool isChangeDriven() const override { return true; }
    Read read(AVPacket *packet, qint64 *captureUs, int timeoutMs) override;
    void interrupt() override;

    // Pictures the stream delivered so far; any thread.
    qint64 deliveredCount() const;

    struct Impl;

private:
    std::unique_ptr<Impl> d;
};
