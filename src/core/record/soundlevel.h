#pragma once
// How loud the microphone is, and the two rules the recording windows apply to it and to the
// disk while recording: a microphone that stays silent at the start, and a disk that is about
// to fill. Plain values and functions; any thread.
#include <QSize>
#include <QtGlobal>

struct AVFrame;

namespace soundlevel {
// The level given for digital silence or no sound at all.
inline constexpr double kSilentDb = -120.0;
// Peak of the samples of a decoded sound frame, in dB below full scale (0 = full scale);
// kSilentDb for silence or a sample format it does not read.
double peakDbfs(const AVFrame *frame);
// Peak of interleaved 16-bit samples.
double peakDbfs(const qint16 *samples, qint64 count);
}  // namespace soundlevel

// Decides whether the window says that the microphone is silent. Fed every tenth of a second
// or so with the loudest level heard since the last feed while recording (not while paused).
// The warning comes when the first five seconds of unmuted recording brought nothing louder
// than -50 dBFS, and stays until sound arrives; while muted it is not shown.
class SilenceWatch
{
public:
    static constexpr double kThresholdDb = -50.0;
    static constexpr qint64 kWindowMs = 5000;

    // elapsedMs: recording time since the last feed; peakDb: the loudest level in it (or
    // kSilentDb when no sound arrived).
    void feed(qint64 elapsedMs, double peakDb, bool muted);
    bool warning() const { return !m_heard && !m_muted && m_silentMs >= kWindowMs; }

private:
    qint64 m_silentMs = 0;
    bool m_heard = false;
    bool m_muted = false;
};

// Compares the free space of the project folder's file system with what the recording writes
// per second.
class DiskSpaceGuard
{
public:
    enum State { Enough, Low, Full };
    // Below this much recording time left the window warns.
    static constexpr qint64 kLowSeconds = 300;
    // The recording stops this long before the disk would be full...
    static constexpr qint64 kStopSeconds = 15;
    // ...keeping this much for finishing the file.
    static constexpr qint64 kReserveBytes = 8LL * 1024 * 1024;

    static State judge(qint64 freeBytes, qint64 bytesPerSecond);
    // Whole seconds of recording the free space still holds (0 when none).
    static qint64 secondsLeft(qint64 freeBytes, qint64 bytesPerSecond);
    // A generous guess of the bytes a second of recording takes for a picture of that size,
    // used before anything was written.
    static qint64 estimatedRate(const QSize &picture);
};
