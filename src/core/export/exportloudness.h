#pragma once
// The level of the exported voice ("统一音量"): the export measures the loudness of the sound
// it is about to write (EBU R128 integrated loudness and true peak, as FFmpeg's ebur128 filter
// measures them) and, unless it already is at the level, brings it there with one fixed gain
// for the whole export and a look-ahead limiter that keeps the peaks under the ceiling. A fixed
// gain keeps the voice's own rise and fall; the limiter only touches the loudest moments.
//
// The sound both classes take and give is the export's: 44100 Hz, stereo, float planar.
// Each object belongs to the one thread that feeds it; the free functions run on any thread.
#include "core/media/ffmpeghandles.h"

#include <QList>
#include <QString>

#include <atomic>
#include <functional>

struct AVData;

namespace loudness {

// Spoken content on the platforms teachers publish to.
inline constexpr double kTargetLufs = -16.0;
inline constexpr double kTruePeakDb = -1.5;
// The levels a teacher may ask for (the command line's --loudness).
inline constexpr double kLowestLufs = -40.0;
inline constexpr double kHighestLufs = -5.0;
// Sound this close to the level, with its peaks under the ceiling, is left as it is.
inline constexpr double kToleranceLu = 0.5;
// What ebur128 says for sound without anything loud enough to count (all below its gate).
inline constexpr double kSilentLufs = -70.0;

struct Measurement
{
    double integratedLufs = kSilentLufs;
    double truePeakDb = -120.0;  // the highest of the channels
    bool hasSound() const { return integratedLufs > kSilentLufs + 0.05; }
};

// Whether the sound must be levelled to be at `targetLufs`: it is not within kToleranceLu of
// it, or its peaks go over kTruePeakDb. Sound with nothing to hear is left as it is.
bool needsLevelling(const Measurement &measured, double targetLufs);
// The fixed gain that brings `measured` to `targetLufs`, in dB.
double gainDb(const Measurement &measured, double targetLufs);

// Measures the sound of `clips` (the export clip list: spans laid end to end) as the export
// would encode it, reading and decoding their sound only. Clips without sound count as
// silence; sound that does not decode is left out (the export makes it silence too).
// False when `stop` was set.
bool measureClips(const QList<AVData> &clips, const std::atomic<bool> &stop, Measurement *measured);

}  // namespace loudness

class LoudnessMeter
{
public:
    LoudnessMeter();
    ~LoudnessMeter();
    // False when the meter could not be built (then add() does nothing).
    bool isValid() const { return bool(m_graph); }
    // The next piece of sound, right after the previous one.
    void add(const AVFrame *frame);
    // The loudness of all the sound added; the meter is spent afterwards.
    loudness::Measurement finish();

private:
    void collect();

    ffmpeg::FilterGraphPtr m_graph;
    AVFilterContext *m_source = nullptr;
    AVFilterContext *m_sink = nullptr;
    ffmpeg::FramePtr m_out;
    int64_t m_nextPts = 0;
    loudness::Measurement m_measured;
};

class SoundLeveller
{
public:
    using Sink = std::function<void(ffmpeg::FramePtr)>;

    // The sound is raised or lowered by `gainDb` and limited to the true-peak ceiling; it
    // comes out as exactly as many samples as went in, in step with them (the limiter's look-
    // ahead is taken back), in frames of `frameSize` (the last may be shorter) with pts in
    // samples counted from the first frame's pts.
    SoundLeveller(double gainDb, int frameSize, Sink sink);
    ~SoundLeveller();
    bool isValid() const { return bool(m_graph); }
    // The next piece of sound.
    void add(const AVFrame *frame);
    // Gives out what the limiter still holds.
    void finish();

private:
    void collect();

    ffmpeg::FilterGraphPtr m_graph;
    AVFilterContext *m_source = nullptr;
    AVFilterContext *m_sink = nullptr;
    Sink m_deliver;
    int m_frameSize;
    int64_t m_inPts = AV_NOPTS_VALUE;  // pts of the next sample going in
    int64_t m_outPts = AV_NOPTS_VALUE;
    int64_t m_inSamples = 0;
    int64_t m_outSamples = 0;
    bool m_finished = false;
};
