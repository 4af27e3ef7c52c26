#pragma once
// What a stretch of sound holds, frequency by frequency (a Goertzel filter per frequency): the
// level of a tone, and the noise floor between tones. Levels in dB relative to a full-scale
// sine.
#include <QList>
#include <QVector>

namespace SoundSpectrum {

// Level of the `hz` component of samples [from, to).
double toneDb(const QVector<float> &samples, int rate, double hz, qint64 from, qint64 to);
// Mean level of the components every 97 Hz from 2 to 9 kHz, leaving out those within 150 Hz
// of any of `tonesHz` (and of their first harmonics).
double noiseFloorDb(const QVector<float> &samples, int rate, qint64 from, qint64 to,
                    const QList<double> &tonesHz = {});

}  // namespace SoundSpectrum
