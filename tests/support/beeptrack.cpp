#include "support/beeptrack.h"

#include "support/benchtools.h"

#include <pulse/error.h>
#include <pulse/simple.h>

#include <algorithm>
#include <cmath>

namespace {
qint64 median(std::vector<qint64> v)
{
    std::nth_element(v.begin(), v.begin() + long(v.size() / 2), v.end());
    return v[v.size() / 2];
}
}  // namespace

BeepTrack::BeepTrack(const QString &sink, qint64 everySamples, double amplitude)
    : m_sink(sink.toUtf8()), m_everySamples(everySamples), m_amplitude(amplitude)
{
}

BeepTrack::~BeepTrack()
{
    stopPlaying();
}

void BeepTrack::stopPlaying()
{
    m_stop = true;
    wait();
}

QString BeepTrack::error() const
{
    QMutexLocker lock(&m_mutex);
    return m_error;
}

qint64 BeepTrack::heardUs(qint64 n) const
{
    const qint64 offset = n * 1000000 / kRate;
    const qint64 at = m_origin.load() + offset;
    std::vector<qint64> near;
    QMutexLocker lock(&m_mutex);
    for (const auto &[when, estimate] : m_history)
        if (when >= at - 200000 && when <= at + 300000)
            near.push_back(estimate + offset);
    return near.empty() ? at : median(near);
}

qint16 BeepTrack::sample(qint64 n) const
{
    const qint64 inCycle = n % m_everySamples;
    return n / m_everySamples >= m_firstBeep.load() && inCycle < kRate / 100
               ? qint16(m_amplitude * std::sin(2 * M_PI * 1000.0 * inCycle / kRate))
               : 0;
}

void BeepTrack::run()
{
    const pa_sample_spec format{PA_SAMPLE_S16LE, kRate, 1};
    const uint32_t bytesPer10ms = kRate / 100 * 2;
    pa_buffer_attr attr{};
    attr.maxlength = uint32_t(-1);
    attr.tlength = bytesPer10ms * 30;
    attr.prebuf = uint32_t(-1);
    attr.minreq = bytesPer10ms;
    attr.fragsize = uint32_t(-1);
    int err = 0;
    pa_simple *s = pa_simple_new(nullptr, "lumora test", PA_STREAM_PLAYBACK, m_sink.constData(),
                                 "beeps", &format, nullptr, &attr, &err);
    if (!s) {
        QMutexLocker lock(&m_mutex);
        m_error = QString::fromUtf8(pa_strerror(err));
        return;
    }
    std::vector<qint16> chunk(kRate / 100);
    qint64 written = 0;
    std::vector<qint64> recent;
    while (!m_stop.load()) {
        for (qint16 &v : chunk)
            v = sample(written++);
        if (pa_simple_write(s, chunk.data(), chunk.size() * sizeof(qint16), &err) < 0) {
            QMutexLocker lock(&m_mutex);
            m_error = QString::fromUtf8(pa_strerror(err));
            break;
        }
        const pa_usec_t latency = pa_simple_get_latency(s, &err);
        const qint64 now = BenchTools::monotonicUs();
        const qint64 estimate = now + qint64(latency) - written * 1000000 / kRate;
        recent.push_back(estimate);
        if (recent.size() > 31)
            recent.erase(recent.begin());
        m_origin = median(recent);
        QMutexLocker lock(&m_mutex);
        m_history.emplace_back(now, estimate);
    }
    pa_simple_free(s);
}
