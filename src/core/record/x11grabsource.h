#pragma once
// X11GrabSource: the continuous picture source of screen recording. Grabs a rectangle of the
// X screen ($DISPLAY) with FFmpeg's "x11grab" input at ScreenRecord's frame rate, with the
// pointer drawn in, and delivers every grabbed picture (packed BGR0 rows).
// Threads as PictureSource says.
#include "core/media/ffmpeghandles.h"
#include "core/record/picturesource.h"

#include <QRect>

#include <atomic>
#include <limits>

class X11GrabSource : public PictureSource
{
public:
    // `rect` in the X server's pixels; `frameRate` pictures a second.
    X11GrabSource(const QRect &rect, int frameRate);

    bool open(QString *error) override;
    const AVCodecParameters *parameters() const override;
    AVRational timeBase() const override;
    bool isChangeDriven() const override { return false; }
    Read read(AVPacket *packet, qint64 *captureUs, int timeoutMs) override;
    void interrupt() override { m_interrupted = true; }

private:
    QRect m_rect;
    int m_frameRate;
    ffmpeg::InputFormatContextPtr m_input;
    int m_stream = -1;
    std::atomic<bool> m_interrupted{false};
    static constexpr qint64 kUnknownShift = std::numeric_limits<qint64>::min();
    qint64 m_clockShiftUs = kUnknownShift;
};
