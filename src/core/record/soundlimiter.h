#pragma once
// Adds the computer's sound to the microphone's, each at its own level, and keeps the sum
// inside full scale: where the sum would go beyond the ceiling the gain drops at once, just
// enough, and comes back to 1 smoothly (a peak limiter without look-ahead, one gain for all
// channels so the stereo picture stays). Sound that fits is passed unchanged.
// Used by the sound encoder thread only.
class SoundLimiter
{
public:
    static constexpr float kCeiling = 0.98f;

    explicit SoundLimiter(int sampleRate, double releaseMs = 250.0);

    // out[c][i] = limited(a[c][i] + b[c][i]) for `channels` planes of `count` samples; a null
    // `a` or `b` counts as silence. `out` may be `a` or `b`.
    void mix(float *const *out, const float *const *a, const float *const *b, int channels,
             int count);
    double gain() const { return m_gain; }

private:
    double m_gain = 1.0;
    double m_release;  // share of the way back to 1 per sample
};
