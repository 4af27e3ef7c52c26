#include "support/testtone.h"

#include <QElapsedTimer>

#include <cstdlib>

namespace {
// Listens to the test microphone until a sample is louder than `threshold` (of 32768).
bool microphoneHears(const QString &source, int threshold, int timeoutMs)
{
    QProcess listener;
    listener.start("parec", {"-d", source, "--raw", "--format=s16le", "--channels=1",
                             "--rate=44100", "--latency-msec=20"});
    if (!listener.waitForStarted(5000))
        return false;
    QElapsedTimer clock;
    clock.start();
    bool heard = false;
    QByteArray pending;
    while (!heard && clock.elapsed() < timeoutMs && listener.state() == QProcess::Running) {
        listener.waitForReadyRead(50);
        pending += listener.readAllStandardOutput();
        const int whole = int(pending.size()) / 2 * 2;
        const auto *samples = reinterpret_cast<const qint16 *>(pending.constData());
        for (int i = 0; i < whole / 2 && !heard; ++i)
            heard = std::abs(int(samples[i])) > threshold;
        pending.remove(0, whole);
    }
    listener.kill();
    listener.waitForFinished();
    return heard;
}
}  // namespace

TestTone::TestTone(int frequencyHz) : TestTone(frequencyHz, "lumora_sink", "lumora_mic") {}

TestTone::TestTone(int frequencyHz, const QString &sink, const QString &heardOn,
                   double noiseAmplitude)
{
    QString source = QStringLiteral("sine=frequency=%1:sample_rate=44100").arg(frequencyHz);
    if (noiseAmplitude > 0)
        source = QStringLiteral("%1[tone];anoisesrc=color=white:amplitude=%2:sample_rate=44100"
                                "[noise];[tone][noise]amix=inputs=2:normalize=0[out0]")
                     .arg(source)
                     .arg(noiseAmplitude);
    // A short playback buffer (50 ms), so that the tone starts soon after the player.
    m_player.start("ffmpeg",
                   {"-nostdin", "-v", "error", "-re", "-f", "lavfi", "-i", source, "-t", "120",
                    "-f", "pulse", "-buffer_duration", "50", "-device", sink, "lumora test tone"});
    if (!m_player.waitForStarted(10000))
        return;
    // The sine's amplitude is 1/8 of full scale (4096).
    m_heard = microphoneHears(heardOn, 2000, 10000);
}

TestTone::~TestTone()
{
    m_player.kill();
    m_player.waitForFinished();
}
