#pragma once
// A continuous sound stream played into a PulseAudio sink from a thread of its own: silence
// with a 10 ms, 1 kHz beep at every `everySamples`-th sample (44.1 kHz, mono), beep k at sample
// k * everySamples. After every write the server's latency tells, on the monotonic clock
// (BenchTools::monotonicUs), when sample 0 is heard ("origin"); beepHeardUs(k) takes the
// estimates made around beep k. Beeps before setFirstBeep stay silent. A subclass may play
// other samples instead (sample()). Any thread.
#include <QMutex>
#include <QString>
#include <QThread>

#include <atomic>
#include <limits>
#include <vector>

class BeepTrack : public QThread
{
public:
    static constexpr int kRate = 44100;
    static constexpr qint64 kUnknown = std::numeric_limits<qint64>::min();

    BeepTrack(const QString &sink, qint64 everySamples, double amplitude);
    ~BeepTrack() override;

    void stopPlaying();
    // When sample 0 is heard; kUnknown until the stream runs.
    qint64 origin() const { return m_origin.load(); }
    // When beep k (k >= 1) was heard.
    qint64 beepHeardUs(qint64 k) const { return heardUs(k * m_everySamples); }
    // When sample n was heard.
    qint64 heardUs(qint64 n) const;
    // The first beep that sounds: must be one not written yet (about a second ahead of now).
    void setFirstBeep(qint64 k) { m_firstBeep = k; }
    qint64 everySamples() const { return m_everySamples; }
    // Why the stream could not be played (empty while it plays).
    QString error() const;

protected:
    void run() override;
    // Sample n of the stream; called by the playing thread in order, about 0.3 s before it is
    // heard.
    virtual qint16 sample(qint64 n) const;

private:
    const QByteArray m_sink;
    const qint64 m_everySamples;
    const double m_amplitude;
    std::atomic<bool> m_stop{false};
    std::atomic<qint64> m_origin{kUnknown};
    std::atomic<qint64> m_firstBeep{std::numeric_limits<qint64>::max()};
    mutable QMutex m_mutex;
    std::vector<std::pair<qint64, qint64>> m_history;  // (when, origin estimate)
    QString m_error;
};
