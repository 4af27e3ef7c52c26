#pragma once
// The time line of one recording: which capture times are kept (from the start to the stop,
// without the paused stretches) and where each kept moment lands in the file.
//
// Capture times are microseconds on one clock shared by the screen and the sound input. The
// file begins with the start, for the sound and the picture alike: the first frame of all is
// shown from there, however late it came. The picture decides how each pause is closed: the
// first frame after a pause follows the last frame before it by one frame spacing, so the
// picture never jumps. The sound uses the same offsets, so both stay in step however long the
// pauses are. Until the picture has decided (no frame yet in a stretch) the sound uses the pause's
// measured length; the difference is below one frame spacing and the sound side corrects it.
//
// Thread use: start/pause/resume/stop on the engine's thread; mapVideo on the video reader;
// mapAudio on the sound encoder; finishVideo/waitForVideoEnd between the two encoder threads.
// Every function may be called from any thread (one mutex inside).
#include <QList>
#include <QMutex>
#include <QWaitCondition>
#include <QtGlobal>

class RecordTimeline
{
public:
    struct Part
    {
        qint64 captureUs = 0;   // where the kept stretch begins, on the capture clock
        qint64 durationUs = 0;  // its length
        qint64 fileUs = 0;      // where it begins in the file
    };

    // nominalFrameUs: frame spacing used for a pause when the last spacing is not known.
    explicit RecordTimeline(qint64 nominalFrameUs = 33333);

    void start(qint64 us);
    void pause(qint64 us);
    void resume(qint64 us);
    void stop(qint64 us);

    // Every pause is closed by `spacingUs` instead of the last spacing seen (for pictures that
    // come only when something changed, up to a second apart).
    void setFixedPauseSpacing(qint64 spacingUs);

    bool isStarted() const;
    // The last kept stretch: where it begins and where it ends (INT64_MAX while it is being
    // recorded). False before the start.
    bool lastStretch(qint64 *beginUs, qint64 *endUs) const;
    // True once the recording was stopped at or before `us`: a reader that sees a packet from
    // that time on has read everything that belongs to the file.
    bool isOverAt(qint64 us) const;

    // File time of a video frame captured at `captureUs`, or -1 when the frame is not kept.
    // Frames must come in capture order.
    qint64 mapVideo(qint64 captureUs);
    // The kept parts of the capture stretch [fromUs, toUs), in order.
    QList<Part> mapAudio(qint64 fromUs, qint64 toUs) const;

    // The picture ends at `fileEndUs` in the file (-1: no picture was written).
    void finishVideo(qint64 fileEndUs);
    // Waits up to `timeoutMs` for finishVideo; the picture's end, or -1.
    qint64 waitForVideoEnd(int timeoutMs) const;

private:
    struct Segment
    {
        qint64 beginUs = 0;
        qint64 endUs = 0;  // INT64_MAX while the stretch is still being recorded
        qint64 fixedOffsetUs = 0;
        bool fixed = false;  // the picture has placed this stretch
    };
    qint64 offsetOf(int index) const;
    int segmentAt(qint64 captureUs) const;

    mutable QMutex m_mutex;
    mutable QWaitCondition m_videoEnded;
    QList<Segment> m_segments;
    bool m_stopped = false;
    qint64 m_stopUs = 0;
    qint64 m_nominalFrameUs;
    qint64 m_fixedPauseSpacingUs = 0;  // 0: the last spacing seen
    qint64 m_lastVideoCaptureUs = -1;
    qint64 m_lastVideoFileUs = -1;
    qint64 m_lastVideoDeltaUs = -1;
    bool m_videoFinished = false;
    qint64 m_videoEndUs = -1;
};
