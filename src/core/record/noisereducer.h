#pragma once
// Takes steady room noise (a fan, the hum of a classroom) out of the microphone's sound with
// FFmpeg's FFT denoiser ("afftdn"). The denoiser needs to know how loud the noise is; that
// floor is measured from the quietest stretches of the last few seconds (the pauses between
// words), and the denoiser follows it slowly, so that speech is not pumped. The reduction is
// fixed (kReductionDb).
//
// Samples go in and come out in the same positions: the denoiser's own delay is measured once
// when it is built and taken off, so the cleaned sound stays in step with the picture.
// Planar float samples (the file's format). Used by the sound encoder thread only.
#include "core/media/ffmpeghandles.h"

#include <deque>
#include <vector>

class NoiseReducer
{
public:
    static constexpr double kReductionDb = 20.0;

    NoiseReducer(int sampleRate, int channels);
    bool isValid() const { return m_g.graph && m_fifo && m_frame; }

    // Cleans every sample of `in` (which is emptied) into fifo().
    bool process(AVAudioFifo *in);
    // The end of the sound: what the denoiser still holds comes out.
    bool finish();
    AVAudioFifo *fifo() const { return m_fifo.get(); }

    // Samples the denoiser holds back (taken off its output).
    int delaySamples() const { return m_delay; }
    // The noise floor the denoiser works with now, dBFS.
    double noiseFloorDb() const { return m_floorDb; }

private:
    struct Graph
    {
        ffmpeg::FilterGraphPtr graph;
        AVFilterContext *source = nullptr;
        AVFilterContext *sink = nullptr;
        qint64 pts = 0;  // of the next samples fed
    };
    bool build(Graph &g) const;
    // Feeds `count` samples of `planes` (null: the end) and collects the output.
    bool push(Graph &g, const float *const *planes, int count, std::vector<float> *firstPlane);
    bool collect(Graph &g, std::vector<float> *firstPlane);
    int measureDelay();
    void watchLevel(const float *const *planes, int count);

    int m_rate;
    int m_channels;
    Graph m_g;
    ffmpeg::AudioFifoPtr m_fifo;
    ffmpeg::FramePtr m_frame;
    int m_delay = 0;
    qint64 m_toSkip = 0;  // output samples still to drop (the delay)
    qint64 m_fed = 0;     // samples fed so far
    // Level watch: the mean square of the current window, and the level of recent windows.
    double m_windowSum = 0;
    int m_windowCount = 0;
    std::deque<double> m_windows;
    double m_floorDb;
    qint64 m_lastFloorChange = 0;
};
