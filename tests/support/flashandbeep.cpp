#include "support/flashandbeep.h"

#include "support/benchtools.h"
#include "support/mediareadback.h"

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/samplefmt.h>
}

#include <pulse/simple.h>

#include <QCursor>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {
constexpr int kRate = 44100;
constexpr qint64 kFlashUs = 100000;

qint64 median(std::vector<qint64> v)
{
    std::nth_element(v.begin(), v.begin() + long(v.size() / 2), v.end());
    return v[v.size() / 2];
}
}  // namespace

FlashAndBeep::FlashAndBeep(const QRect &geometry, const QString &sink, int everyMs)
    : m_sink(sink), m_everySamples(qint64(everyMs) * kRate / 1000)
{
    setWindowFlags(Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setGeometry(geometry);
    // A grab draws the pointer into the picture, and the stage's middle is what tells a
    // flash: the pointer (where an earlier test may have left it) goes off the stage.
    if (geometry.adjusted(-32, -32, 32, 32).contains(QCursor::pos()))
        QCursor::setPos(geometry.right() + 100, geometry.bottom() + 100);
    show();
    m_player = QThread::create([this]() { play(); });
    m_player->start(QThread::TimeCriticalPriority);
    connect(&m_timer, &QTimer::timeout, this, &FlashAndBeep::check);
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.start(2);
}

FlashAndBeep::~FlashAndBeep()
{
    stop();
    delete m_player;
}

void FlashAndBeep::stop()
{
    m_timer.stop();
    m_stop = true;
    if (m_player)
        m_player->wait();
}

void FlashAndBeep::play()
{
    const pa_sample_spec format{PA_SAMPLE_S16LE, kRate, 1};
    const uint32_t bytesPer10ms = kRate / 100 * 2;
    pa_buffer_attr attr{};
    attr.maxlength = uint32_t(-1);
    attr.tlength = bytesPer10ms * 30;
    attr.prebuf = uint32_t(-1);
    attr.minreq = bytesPer10ms;
    attr.fragsize = uint32_t(-1);
    const QByteArray sink = m_sink.toUtf8();
    pa_simple *s = pa_simple_new(nullptr, "lumora test", PA_STREAM_PLAYBACK, sink.constData(),
                                 "beeps", &format, nullptr, &attr, nullptr);
    if (!s)
        return;
    std::vector<qint16> chunk(kRate / 100);
    qint64 written = 0;
    std::vector<qint64> recent;
    while (!m_stop.load()) {
        for (qint16 &v : chunk) {
            const qint64 inCycle = written % m_everySamples;
            v = written / m_everySamples >= m_firstBeep.load() && inCycle < kRate / 100
                    ? qint16(16000 * std::sin(2 * M_PI * 1000.0 * inCycle / kRate))
                    : 0;
            ++written;
        }
        if (pa_simple_write(s, chunk.data(), chunk.size() * sizeof(qint16), nullptr) < 0)
            break;
        const pa_usec_t latency = pa_simple_get_latency(s, nullptr);
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

qint64 FlashAndBeep::beepHeardUs(qint64 k) const
{
    const qint64 offset = k * m_everySamples * 1000000 / kRate;
    const qint64 at = m_origin.load() + offset;
    std::vector<qint64> near;
    QMutexLocker lock(&m_mutex);
    for (const auto &[when, estimate] : m_history)
        if (when >= at - 200000 && when <= at + 300000)
            near.push_back(estimate + offset);
    return near.empty() ? at : median(near);
}

void FlashAndBeep::check()
{
    const qint64 origin = m_origin.load();
    if (origin == kUnknown)
        return;
    const qint64 now = BenchTools::monotonicUs();
    if (m_next == 0) {
        // The first beep a second ahead, beyond what the stream has written.
        m_next =
            std::max<qint64>(1, (now + 1000000 - origin) * kRate / 1000000 / m_everySamples + 1);
        m_firstBeep = m_next;
    }
    const qint64 due = origin + m_next * m_everySamples * 1000000 / kRate;
    if (!m_white && now >= due) {
        m_white = true;
        repaint();
        m_flashes.append(Flash{BenchTools::monotonicUs(), m_next});
    } else if (m_white && now >= due + kFlashUs) {
        m_white = false;
        repaint();
        ++m_next;
    }
}

void FlashAndBeep::paintEvent(QPaintEvent *)
{
    QPainter(this).fillRect(rect(), m_white ? Qt::white : QColor(20, 20, 30));
}

QList<double> FlashAndBeep::offsetsMs(const QString &file, qint64 startedUs,
                                      bool changeDriven) const
{
    QList<double> flashes, beeps;
    bool white = false;
    double lastDark = -1;
    MediaReadback::decodeStream(file, AVMEDIA_TYPE_VIDEO, [&](const AVFrame *frame, double t) {
        const uint8_t *y = frame->data[0] + frame->linesize[0] * (frame->height / 2);
        const bool nowWhite = y[frame->width / 2] > 200;
        // A grab falls anywhere between the last dark picture and the first white one; a
        // file with pictures only where the screen changed stamps the white one when it
        // appeared.
        if (nowWhite && !white && lastDark >= 0)
            flashes << (changeDriven || t - lastDark > 1.5 / 30 ? t : (lastDark + t) / 2);
        if (!nowWhite)
            lastDark = t;
        white = nowWhite;
    });
    beeps = MediaReadback::loudOnsets(file);
    QList<double> offsets;
    for (double flash : flashes) {
        double best = 1e9;
        for (double beep : beeps)
            if (std::fabs(beep - flash) < std::fabs(best))
                best = beep - flash;
        if (std::fabs(best) >= 0.5)
            continue;
        const qint64 at = startedUs + qint64(flash * 1e6);
        const Flash *shown = nullptr;
        for (const Flash &f : m_flashes)
            if (std::llabs(f.shownUs - at) < m_everySamples * 1000000 / kRate / 2)
                shown = &f;
        if (!shown)
            continue;
        const double stageMs = (beepHeardUs(shown->beep) - shown->shownUs) / 1000.0;
        offsets << best * 1000 - stageMs;
    }
    return offsets;
}

bool FlashAndBeep::inStep(const QString &file, qint64 startedUs, int atLeast, QString *why,
                          bool changeDriven) const
{
    QList<double> offsets = offsetsMs(file, startedUs, changeDriven);
    QStringList shown;
    for (double o : offsets)
        shown << QString::number(o, 'f', 0);
    *why = QStringLiteral("%1 flashes shown, beep - flash (ms): %2")
               .arg(flashes())
               .arg(shown.join(' '));
    if (offsets.size() < atLeast)
        return false;
    std::sort(offsets.begin(), offsets.end(),
              [](double a, double b) { return std::fabs(a) < std::fabs(b); });
    return std::fabs(offsets.at(offsets.size() / 2)) <= 45;
}
