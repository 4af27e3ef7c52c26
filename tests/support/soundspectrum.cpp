#include "support/soundspectrum.h"

#include <algorithm>
#include <cmath>

namespace {
double power(const QVector<float> &samples, int rate, double hz, qint64 from, qint64 to)
{
    from = std::clamp<qint64>(from, 0, samples.size());
    to = std::clamp<qint64>(to, from, samples.size());
    const qint64 n = to - from;
    if (n <= 0)
        return 0;
    // A Hann window keeps a strong tone from leaking into the neighbouring frequencies.
    const double k = 2 * std::cos(2 * M_PI * hz / rate);
    double s1 = 0, s2 = 0;
    for (qint64 i = 0; i < n; ++i) {
        const double w = 0.5 - 0.5 * std::cos(2 * M_PI * double(i) / double(n - 1));
        const double s0 = samples[from + i] * w + k * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    const double p = s1 * s1 + s2 * s2 - k * s1 * s2;
    // A full-scale sine gives (n/4)^2 with the window.
    return p / (double(n) * n / 16.0);
}

double toDb(double p)
{
    return 10 * std::log10(std::max(p, 1e-20));
}
}  // namespace

double SoundSpectrum::toneDb(const QVector<float> &samples, int rate, double hz, qint64 from,
                             qint64 to)
{
    return toDb(power(samples, rate, hz, from, to));
}

double SoundSpectrum::noiseFloorDb(const QVector<float> &samples, int rate, qint64 from, qint64 to,
                                   const QList<double> &tonesHz)
{
    double sum = 0;
    int count = 0;
    for (double hz = 2000; hz <= 9000; hz += 97) {
        const bool nearTone = std::any_of(tonesHz.begin(), tonesHz.end(), [hz](double t) {
            return std::fabs(hz - t) < 150 || std::fabs(hz - 2 * t) < 150 ||
                   std::fabs(hz - 3 * t) < 150;
        });
        if (nearTone)
            continue;
        sum += power(samples, rate, hz, from, to);
        ++count;
    }
    return toDb(count > 0 ? sum / count : 0);
}
