#include "support/pausedlesson.h"

#include "core/project/projectdata.h"
#include "core/record/picturesource.h"
#include "core/record/screenrecord.h"
#include "support/beeptrack.h"
#include "support/benchtools.h"
#include "support/recordingsteps.h"

#include <QCursor>
#include <QFile>
#include <QMutex>
#include <QPainter>
#include <QTemporaryDir>
#include <QWidget>
#include <QtTest>

#include <cmath>
#include <vector>

namespace PausedLesson {

namespace {

constexpr QRect kStage(0, 0, 320, 240);
constexpr qint64 kStepUs = 40000;  // the moving picture's pace (25 a second)

bool inside(const Spans &spans, double t)
{
    for (const auto &[from, to] : spans)
        if (t >= from && t < to)
            return true;
    return false;
}

// A 330 Hz tone at 1/8 of full scale, silent over the sample ranges given; notes the samples
// where it really went silent and sounding again.
class SwitchedTone : public BeepTrack
{
public:
    SwitchedTone() : BeepTrack("lumora_sink", kRate, 0) {}
    ~SwitchedTone() override { stopPlaying(); }

    // The sample ranges [from, to) to leave silent; ranges already played sound as they did.
    void setSilent(std::vector<std::pair<qint64, qint64>> ranges)
    {
        QMutexLocker lock(&m_lock);
        m_silent = std::move(ranges);
    }
    // The samples at which the tone stopped and started again, in turn.
    std::vector<qint64> switches() const
    {
        QMutexLocker lock(&m_lock);
        return m_switches;
    }

protected:
    qint16 sample(qint64 n) const override
    {
        QMutexLocker lock(&m_lock);
        bool silent = false;
        for (const auto &[from, to] : m_silent)
            silent = silent || (n >= from && n < to);
        if (silent != (m_switches.size() % 2 == 1))
            m_switches.push_back(n);
        return silent ? 0 : qint16(4096 * std::sin(2 * M_PI * 330.0 * double(n % kRate) / kRate));
    }

private:
    mutable QMutex m_lock;
    std::vector<std::pair<qint64, qint64>> m_silent;
    mutable std::vector<qint64> m_switches;
};

// A window whose picture (bars that move on at each step) changes only when told.
class Stage : public QWidget
{
public:
    Stage()
    {
        setWindowFlags(Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
        setGeometry(kStage);
        show();
    }
    // Moves the bars on and shows them at once.
    void step()
    {
        ++m_step;
        repaint();
        QCoreApplication::processEvents();
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.fillRect(rect(), QColor(20, 30, 60));
        for (int i = 0; i < 4; ++i)
            p.fillRect((m_step * 7 + i * 80) % width(), 20 + i * 50, 40, 40,
                       QColor::fromHsv((m_step * 5 + i * 90) % 360, 200, 230));
    }

private:
    int m_step = 0;
};

}  // namespace

bool record(const QString &file, double seconds, const Spans &silent, const Spans &still,
            Recorded *recorded, QString *why)
{
    // A grab draws the pointer into the picture: it goes off the stage.
    QCursor::setPos(kStage.right() + 200, kStage.bottom() + 200);
    Stage stage;
    if (!QTest::qWaitForWindowExposed(&stage)) {
        *why = "the stage was not shown";
        return false;
    }
    SwitchedTone tone;
    tone.start(QThread::TimeCriticalPriority);
    if (!QTest::qWaitFor([&] { return tone.origin() != BeepTrack::kUnknown; }, 5000)) {
        *why = "the tone did not play: " + tone.error();
        return false;
    }
    QTemporaryDir dir;
    ProjectData project;
    AVData clip = RecordingSteps::newProjectClip(&project, dir.path());
    ScreenRecord engine(&project);
    if (!RecordingSteps::prepare(engine, clip, kStage, 1000)) {
        *why = "the engine did not get ready";
        return false;
    }

    // The tone's samples are heard on the monotonic clock, the file's times count on the
    // capture clock.
    const qint64 monotonicToCapture = PictureSource::captureClockUs() - BenchTools::monotonicUs();
    const qint64 startUs = PictureSource::captureClockUs();
    engine.startRecord();
    const qint64 originUs = tone.origin() + monotonicToCapture;
    std::vector<std::pair<qint64, qint64>> silentSamples;
    for (const auto &[from, to] : silent)
        silentSamples.emplace_back(
            (startUs + qint64(from * 1e6) - originUs) * BeepTrack::kRate / 1000000,
            (startUs + qint64(to * 1e6) - originUs) * BeepTrack::kRate / 1000000);
    tone.setSilent(silentSamples);

    // The picture moves on at each step outside the still spans; each still span runs from the
    // last picture before it to the first after it.
    const qint64 endUs = startUs + qint64(seconds * 1e6);
    Spans stillInFile;
    bool wasStill = inside(still, 0);
    if (wasStill)
        stillInFile.append({0, seconds});
    qint64 lastShownUs = startUs;
    for (qint64 now = startUs; now < endUs; now = PictureSource::captureClockUs()) {
        const bool isStill = inside(still, (now - startUs) / 1e6);
        if (!isStill && (now - lastShownUs >= kStepUs || wasStill)) {
            stage.step();
            lastShownUs = PictureSource::captureClockUs();
            if (wasStill)
                stillInFile.last().second = (lastShownUs - startUs) / 1e6;
        } else if (isStill && !wasStill) {
            stillInFile.append({(lastShownUs - startUs) / 1e6, seconds});
        }
        wasStill = isStill;
        QTest::qWait(2);
    }
    const qint64 stopUs = PictureSource::captureClockUs();
    if (!RecordingSteps::stop(engine)) {
        *why = "the recording did not end";
        return false;
    }
    tone.stopPlaying();
    if (!tone.error().isEmpty()) {
        *why = "the tone stopped: " + tone.error();
        return false;
    }
    recorded->seconds = (stopUs - startUs) / 1e6;
    for (QPair<double, double> &span : stillInFile)
        span.second = std::min(span.second, recorded->seconds);

    const std::vector<qint64> switches = tone.switches();
    Spans silentInFile;
    auto heardAt = [&](qint64 sample) {
        return (tone.heardUs(sample) + monotonicToCapture - startUs) / 1e6;
    };
    for (size_t i = 0; i < switches.size(); i += 2)
        silentInFile.append({heardAt(switches[i]), i + 1 < switches.size()
                                                       ? heardAt(switches[i + 1])
                                                       : recorded->seconds});
    if (silentInFile.size() != silent.size() || stillInFile.size() != still.size()) {
        *why = QStringLiteral("%1 silent and %2 still spans played, %3 and %4 planned")
                   .arg(silentInFile.size())
                   .arg(stillInFile.size())
                   .arg(silent.size())
                   .arg(still.size());
        return false;
    }
    recorded->silent = silentInFile;
    recorded->still = stillInFile;
    QFile::remove(file);
    if (!QFile::copy(project.at(0).filePath, file)) {
        *why = "the recording could not be copied to " + file;
        return false;
    }
    return true;
}

Spans common(const Spans &a, const Spans &b, double minimumSeconds)
{
    Spans out;
    for (const auto &[aFrom, aTo] : a)
        for (const auto &[bFrom, bTo] : b) {
            const double from = std::max(aFrom, bFrom), to = std::min(aTo, bTo);
            if (to - from >= minimumSeconds)
                out.append({from, to});
        }
    return out;
}

}  // namespace PausedLesson
