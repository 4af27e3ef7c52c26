#include "support/flashandbeep.h"

#include "support/benchtools.h"
#include "support/mediareadback.h"

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/samplefmt.h>
}

#include <QCursor>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {
constexpr qint64 kFlashUs = 100000;
}  // namespace

FlashAndBeep::FlashAndBeep(const QRect &geometry, const QString &sink, int everyMs)
    : m_track(sink, qint64(everyMs) * BeepTrack::kRate / 1000, 16000)
{
    setWindowFlags(Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setGeometry(geometry);
    // A grab draws the pointer into the picture, and the stage's middle is what tells a
    // flash: the pointer (where an earlier test may have left it) goes off the stage.
    if (geometry.adjusted(-32, -32, 32, 32).contains(QCursor::pos()))
        QCursor::setPos(geometry.right() + 100, geometry.bottom() + 100);
    show();
    m_track.start(QThread::TimeCriticalPriority);
    connect(&m_timer, &QTimer::timeout, this, &FlashAndBeep::check);
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.start(2);
}

FlashAndBeep::~FlashAndBeep()
{
    stop();
}

void FlashAndBeep::stop()
{
    m_timer.stop();
    m_track.stopPlaying();
}

void FlashAndBeep::check()
{
    const qint64 origin = m_track.origin();
    if (origin == BeepTrack::kUnknown)
        return;
    const qint64 every = m_track.everySamples();
    const qint64 now = BenchTools::monotonicUs();
    if (m_next == 0) {
        // The first beep a second ahead, beyond what the stream has written.
        m_next =
            std::max<qint64>(1, (now + 1000000 - origin) * BeepTrack::kRate / 1000000 / every + 1);
        m_track.setFirstBeep(m_next);
    }
    const qint64 due = origin + m_next * every * 1000000 / BeepTrack::kRate;
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
            if (std::llabs(f.shownUs - at) <
                m_track.everySamples() * 1000000 / BeepTrack::kRate / 2)
                shown = &f;
        if (!shown)
            continue;
        const double stageMs = (m_track.beepHeardUs(shown->beep) - shown->shownUs) / 1000.0;
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
