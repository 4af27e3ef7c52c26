#include "core/record/soundlimiter.h"

#include <algorithm>
#include <cmath>

SoundLimiter::SoundLimiter(int sampleRate, double releaseMs)
    : m_release(1.0 - std::exp(-1000.0 / (std::max(1.0, releaseMs) * std::max(1, sampleRate))))
{
}

void SoundLimiter::mix(float *const *out, const float *const *a, const float *const *b,
                       int channels, int count)
{
    constexpr int kMaxChannels = 8;
    channels = std::clamp(channels, 0, kMaxChannels);
    for (int i = 0; i < count; ++i) {
        float sum[kMaxChannels];
        float peak = 0.f;
        for (int c = 0; c < channels; ++c) {
            sum[c] = (a ? a[c][i] : 0.f) + (b ? b[c][i] : 0.f);
            peak = std::max(peak, std::fabs(sum[c]));
        }
        m_gain += (1.0 - m_gain) * m_release;
        if (peak * m_gain > kCeiling)
            m_gain = kCeiling / peak;
        for (int c = 0; c < channels; ++c)
            out[c][i] = float(sum[c] * m_gain);
    }
}
