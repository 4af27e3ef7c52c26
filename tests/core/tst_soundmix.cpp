// The sound pieces of the recorder that need no sound server: which microphone a recording
// takes for the teacher's choice, the limiter that adds the computer's sound to the
// microphone's, and the noise reduction (steady noise drops, a tone stays, and every sample
// keeps its place, so the sound stays in step with the picture). The same pieces are heard in
// real recordings in tst_soundcapture.
#include "core/record/noisereducer.h"
#include "core/record/soundlimiter.h"
#include "core/record/soundsettings.h"
#include "support/datatable.h"
#include "support/soundspectrum.h"

extern "C" {
#include <libavutil/audio_fifo.h>
}

#include <QtTest>

#include <cmath>
#include <random>

namespace {
constexpr int kRate = 44100;

QList<TDeviceInfo> devicesNamed(const QStringList &names)
{
    QList<TDeviceInfo> devices;
    for (const QString &name : names)
        devices << TDeviceInfo(name);
    return devices;
}

// Sends `left` (and the same on the right) through a NoiseReducer in pieces of 441 samples,
// as the recorder does with the microphone; returns the left channel of the result.
QVector<float> reduce(const QVector<float> &left, int *delay)
{
    NoiseReducer reducer(kRate, 2);
    if (!reducer.isValid())
        return {};
    *delay = reducer.delaySamples();
    ffmpeg::AudioFifoPtr in = ffmpeg::makeAudioFifo(AV_SAMPLE_FMT_FLTP, 2, 4096);
    for (qsizetype at = 0; at < left.size(); at += 441) {
        const int n = int(std::min<qsizetype>(441, left.size() - at));
        float *planes[2] = {const_cast<float *>(left.constData()) + at,
                            const_cast<float *>(left.constData()) + at};
        av_audio_fifo_write(in.get(), reinterpret_cast<void **>(planes), n);
        if (!reducer.process(in.get()))
            return {};
    }
    if (!reducer.finish())
        return {};
    const int n = av_audio_fifo_size(reducer.fifo());
    QVector<float> outLeft(n), outRight(n);
    float *planes[2] = {outLeft.data(), outRight.data()};
    av_audio_fifo_read(reducer.fifo(), reinterpret_cast<void **>(planes), n);
    return outLeft;
}

// First sample at or after `from` louder than `threshold`, or -1.
qsizetype firstLoud(const QVector<float> &s, qsizetype from, float threshold)
{
    for (qsizetype i = from; i < s.size(); ++i)
        if (std::fabs(s[i]) > threshold)
            return i;
    return -1;
}
}  // namespace

class TestSoundMix : public QObject
{
    Q_OBJECT
private slots:
    void microphoneChoice_data()
    {
        DataTable::columns<QStringList, QString, QStringList, QString, bool>(
            "devices", "wanted", "microphones", "recorded", "fellBack");
        const QStringList two{"usb_headset", "builtin_mic"};
        QTest::newRow("nothing chosen: the default") << two << "" << two << "usb_headset" << false;
        QTest::newRow("the chosen one is there")
            << two << "builtin_mic" << two << "builtin_mic" << false;
        QTest::newRow("the chosen one is gone")
            << two << "old_headset" << two << "usb_headset" << true;
        QTest::newRow("a monitor is no microphone")
            << QStringList{"speakers.monitor", "builtin_mic"} << "speakers.monitor"
            << QStringList{"builtin_mic"} << "builtin_mic" << true;
        QTest::newRow("a monitor that is the system default is passed over")
            << QStringList{"speakers.monitor", "builtin_mic"} << "" << QStringList{"builtin_mic"}
            << "builtin_mic" << false;
        QTest::newRow("no microphone left")
            << QStringList{} << "old_headset" << QStringList{} << "" << true;
    }
    void microphoneChoice()
    {
        const auto [devices, wanted, microphones, recorded, fellBack] =
            DataTable::fetch<QStringList, QString, QStringList, QString, bool>(
                "devices", "wanted", "microphones", "recorded", "fellBack");
        QStringList listed;
        for (const TDeviceInfo &d : microphonesOf(devicesNamed(devices)))
            listed << d.devName;
        QCOMPARE(listed, microphones);
        const MicrophoneChoice choice = chooseMicrophone(devicesNamed(devices), wanted);
        QCOMPARE(choice.device, recorded);
        QCOMPARE(choice.fellBack, fellBack);
    }

    // Two tones added: a sum that fits is left as it is (to float rounding); one that would go
    // beyond full scale is held under it.
    void limiterKeepsTheSumInside_data()
    {
        DataTable::columns<float, float, bool>("microphone", "computer", "fits");
        QTest::newRow("both quiet") << 0.3f << 0.4f << true;
        QTest::newRow("both loud") << 0.8f << 0.9f << false;
        QTest::newRow("the computer alone at full scale") << 0.0f << 1.0f << false;
        QTest::newRow("loud microphone, quiet computer") << 0.9f << 0.3f << false;
    }
    void limiterKeepsTheSumInside()
    {
        const auto [microphone, computer, fits] =
            DataTable::fetch<float, float, bool>("microphone", "computer", "fits");
        SoundLimiter limiter(kRate);
        constexpr int kPiece = 512;
        float a[2][kPiece], b[2][kPiece], out[2][kPiece];
        float *pa[2] = {a[0], a[1]}, *pb[2] = {b[0], b[1]}, *po[2] = {out[0], out[1]};
        double peak = 0, largestChange = 0;
        for (int start = 0; start < kRate; start += kPiece) {
            for (int i = 0; i < kPiece; ++i) {
                const double t = double(start + i) / kRate;
                a[0][i] = a[1][i] = float(microphone * std::sin(2 * M_PI * 440 * t));
                b[0][i] = b[1][i] = float(computer * std::sin(2 * M_PI * 660 * t + 0.3));
            }
            limiter.mix(po, pa, pb, 2, kPiece);
            for (int c = 0; c < 2; ++c) {
                for (int i = 0; i < kPiece; ++i) {
                    peak = std::max(peak, double(std::fabs(out[c][i])));
                    largestChange =
                        std::max(largestChange, double(std::fabs(out[c][i] - a[c][i] - b[c][i])));
                }
            }
        }
        QVERIFY2(peak <= SoundLimiter::kCeiling + 1e-6, qPrintable(QString::number(peak)));
        if (fits)
            QVERIFY2(largestChange < 1e-6, qPrintable(QString::number(largestChange)));
        else
            QVERIFY2(largestChange > 0.01 && peak > 0.9, qPrintable(QString::number(peak)));
    }

    // A tone in steady noise, as a microphone in a room with a fan hears it: the noise drops
    // by at least 10 dB, the tone by less than 1 dB, and a burst stays where it was.
    void noiseReductionKeepsTheToneAndItsPlace_data()
    {
        DataTable::columns<double>("noiseAmplitude");
        QTest::newRow("loud fan") << 0.03;
        QTest::newRow("quiet hum") << 0.004;
    }
    void noiseReductionKeepsTheToneAndItsPlace()
    {
        const auto [noiseAmplitude] = DataTable::fetch<double>("noiseAmplitude");
        const qsizetype burstAt = 5 * kRate;
        QVector<float> input(8 * kRate);
        std::mt19937 random(7);
        std::uniform_real_distribution<double> noise(-noiseAmplitude, noiseAmplitude);
        for (qsizetype i = 0; i < input.size(); ++i) {
            const double t = double(i) / kRate;
            double v = 0.25 * std::sin(2 * M_PI * 1000 * t) + noise(random);
            if (i >= burstAt && i < burstAt + kRate / 20)
                v += 0.5 * std::sin(2 * M_PI * 2500 * t);
            input[i] = float(v);
        }
        int delay = -1;
        const QVector<float> output = reduce(input, &delay);
        QVERIFY(output.size() >= input.size());
        QVERIFY(delay >= 0);

        const qsizetype from = 2 * kRate, to = 4 * kRate;
        const double floorBefore = SoundSpectrum::noiseFloorDb(input, kRate, from, to, {1000});
        const double floorAfter = SoundSpectrum::noiseFloorDb(output, kRate, from, to, {1000});
        const double toneBefore = SoundSpectrum::toneDb(input, kRate, 1000, from, to);
        const double toneAfter = SoundSpectrum::toneDb(output, kRate, 1000, from, to);
        QVERIFY2(floorBefore - floorAfter >= 10,
                 qPrintable(QString("floor %1 -> %2 dB").arg(floorBefore).arg(floorAfter)));
        QVERIFY2(std::fabs(toneBefore - toneAfter) < 1,
                 qPrintable(QString("tone %1 -> %2 dB").arg(toneBefore).arg(toneAfter)));
        const qsizetype burstIn = firstLoud(input, burstAt - kRate / 10, 0.6f);
        const qsizetype burstOut = firstLoud(output, burstAt - kRate / 10, 0.6f);
        QVERIFY2(burstIn >= 0 && burstOut >= 0 && std::llabs(burstOut - burstIn) <= kRate / 500,
                 qPrintable(QString("burst at %1, came out at %2").arg(burstIn).arg(burstOut)));
    }
};

QTEST_GUILESS_MAIN(TestSoundMix)
#include "tst_soundmix.moc"
