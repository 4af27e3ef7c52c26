// bench_record: first records 20 s of a still 1920x1080 slide, where only a small square turns
// dark or light every 1.2 s, with the recording engine and with the ffmpeg tool (x11grab +
// pulse, the same encoder settings): processor time per recorded second of both, and how late
// each change of the square appears in the engine's file against when it was painted. Then
// records 30 s of a 1920x1080 screen area showing moving content, where a white
// flash and a click in the sound happen together every ~3 s; once with the recording engine
// and once with the ffmpeg tool doing the same.
// Prints the processor time of both, raw and per second of recorded picture, the frames of
// both files against 30 per second of what each holds and the click-to-flash offset in each
// file. A third recording by the engine takes the clicks from the computer's sound (the
// monitor of the default output) mixed with a second, silent microphone that goes through
// noise reduction, as a teacher with "同时录制电脑声音" and "降噪" on records; its processor
// time per recorded second is set against the engine's with the microphone alone. A fourth
// recording takes the same rectangle with the same moving bars from the Wayland test desktop
// (mutter's screen cast through the test portal and PipeWire); its processor time per recorded
// second is set against the engine's X11 route, and a second consumer of the same stream (a
// process of its own) counts the pictures the compositor sent, against those the engine wrote.
// The still slide is recorded once more with a camera in its bottom-right corner (a PipeWire
// camera of the bench's own whose colour changes with every picture, 30 a second): processor
// time per recorded second against the tool's on the still slide without a camera, how late
// each camera picture appears in the file against when the camera took it, and how many of
// the camera's pictures the file shows.
// Last:
//   still_vs_cli=<ratio> motion_vs_cli=<ratio> change_late_ms_p95=<ms> frames_ok=<percent>
//   av_offset_ms=<n> mix_cost=<ratio> av_offset_mix_ms=<n> wayland_vs_x11=<ratio>
//   wayland_frames_ok=<percent> camera_vs_cli=<ratio> camera_late_ms_p95=<ms>
//   camera_frames_ok=<percent>   (one line)
// frames_ok counts the different pictures in the engine's file against those in the tool's
// (which grabs 30 a second): moving content keeps every picture the screen showed.
// Aims: 0.2 or less, 1.0 or less, 50 or less, 100, 45 or less, 1.10 or less, 45 or less, 1.0
// or less, 100, 0.9 or less, 100 or less, 99 or more. --camera-only records the still slide
// and the camera rows alone. With --x11grab the engine grabs the whole X
// screen 30 times a second as the tool does (the route "conf.ini" can ask for), for comparison.
// Needs an X display, a PulseAudio server with the sink "lumora_sink" and its microphone
// "lumora_mic", and the Wayland test desktop (bench/record starts them: scripts/testenv,
// lumora_start_env).
//
// Known timing: the click track is one continuous PulseAudio stream whose clicks sit at fixed
// sample positions; the server's latency report tells on the monotonic clock when each sample
// is heard. The flashes are scheduled from that same estimate, and the time each flash was
// really painted is noted. In a file the offset of a click against its flash is measured from
// the decoded sound and picture alone (the flash taken midway between the last dark and the
// first white picture, as the grab falls anywhere in that interval); what the stage itself
// was off (a late repaint) is then taken away, so what remains is the recorder's own error.
#include "core/camera/camerafeed.h"
#include "core/camera/camerastep.h"
#include "core/media/ffmpeghandles.h"
#include "core/project/projectdata.h"
#include "core/record/pipewiresource.h"
#include "core/record/screencastportal.h"
#include "core/record/screenrecord.h"
#include "core/record/x11grabsource.h"
#include "support/beeptrack.h"
#include "support/benchtools.h"
#include "support/mediareadback.h"
#include "support/testcamera.h"
#include "support/waylanddesktop.h"

#include <sys/socket.h>
#include <sys/un.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMutex>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include <thread>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <functional>
#include <limits>
#include <vector>

namespace {

constexpr int kSeconds = 30;
constexpr int kStillSeconds = 20;
constexpr qint64 kSquareEveryUs = 1200000;
const QString kCameraNode = QStringLiteral("lumora-bench-camera");
// The camera's colours, one after another, a new one with every picture: greys far enough
// apart to be told from each other after the encoder.
constexpr int kCameraGreys[] = {30, 60, 90, 120, 150, 180, 210, 240};
constexpr int kCameraColours = int(sizeof(kCameraGreys) / sizeof(kCameraGreys[0]));

// A camera on the test desktop's PipeWire server whose picture changes with every picture it
// sends, noting when each went out (capture clock) and which colour it had.
class ChangingCamera
{
public:
    ChangingCamera()
    {
        m_thread = std::thread([this]() {
            TestCamera camera(kCameraNode, TestCamera::Format::Yuy2,
                              QColor(kCameraGreys[0], kCameraGreys[0], kCameraGreys[0]),
                              QSize(1280, 720));
            m_ready = camera.isReady();
            int colour = 0;
            while (!m_stop.load()) {
                colour = (colour + 1) % kCameraColours;
                const int g = kCameraGreys[colour];
                const qint64 sentUs = camera.setColour(QColor(g, g, g));
                if (sentUs <= 0)
                    continue;  // nobody watches yet
                QMutexLocker lock(&m_mutex);
                m_sent.append({sentUs, colour});
            }
        });
        QThread::msleep(1500);
    }
    ~ChangingCamera() { stop(); }
    void stop()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
    }
    bool isReady() const { return m_ready.load(); }
    // When each picture went out, and its colour.
    QList<QPair<qint64, int>> sent()
    {
        QMutexLocker lock(&m_mutex);
        return m_sent;
    }

private:
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_ready{false};
    QMutex m_mutex;
    QList<QPair<qint64, int>> m_sent;
};
constexpr QRect kSquare(1600, 880, 48, 48);
constexpr qint64 kFlashEveryUs = 3010000;  // not a whole number of frames: the grab's phase varies
constexpr qint64 kFlashUs = 100000;
constexpr int kRate = 44100;
constexpr qint64 kClickEverySamples = kFlashEveryUs * kRate / 1000000;
constexpr qint64 kUnknown = BeepTrack::kUnknown;

using BenchTools::monotonicUs;

// Moving bars, and a white flash whenever a click is heard.
class Stage : public QWidget
{
public:
    struct Flash
    {
        qint64 dueUs;
        qint64 shownUs;  // when the white picture had been handed to the X server
        qint64 click;    // the click it goes with
    };

    Stage()
    {
        setWindowFlags(Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
        setGeometry(0, 0, 1920, 1080);
        show();
        m_track.start(QThread::TimeCriticalPriority);
        connect(&m_motion, &QTimer::timeout, this, [this]() { update(); });
        m_motion.start(33);
        connect(&m_flashCheck, &QTimer::timeout, this, [this]() { checkFlash(); });
        m_flashCheck.setTimerType(Qt::PreciseTimer);
        m_flashCheck.start(2);
    }
    const BeepTrack &track() const { return m_track; }
    const QList<Flash> &flashes() const { return m_flashes; }
    // How many different pictures the stage painted from `fromUs` for `seconds` (monotonic).
    int paintsWithin(qint64 fromUs, double seconds) const
    {
        return int(std::count_if(m_paints.begin(), m_paints.end(), [&](qint64 at) {
            return at >= fromUs && at < fromUs + qint64(seconds * 1e6);
        }));
    }
    void stop()
    {
        m_flashCheck.stop();
        m_motion.stop();
        m_track.stopPlaying();
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        if (m_white) {
            p.fillRect(rect(), Qt::white);
            return;
        }
        BenchTools::paintMovingBars(p, rect());
        m_paints.append(monotonicUs());
    }

private:
    void checkFlash()
    {
        const qint64 origin = m_track.origin();
        if (origin == kUnknown)
            return;
        const qint64 now = monotonicUs();
        if (m_next == 0) {
            // The first click at least a second ahead, well beyond what the track has written;
            // the ones before it are not sounded, having no flash.
            m_next = std::max<qint64>(1, (now + 1000000 - origin) / kFlashEveryUs + 1);
            m_track.setFirstBeep(m_next);
        }
        const qint64 due = origin + m_next * kClickEverySamples * 1000000 / kRate;
        if (!m_white && now >= due) {
            m_white = true;
            repaint();
            m_flashes.append(Flash{due, monotonicUs(), m_next});
        } else if (m_white && now >= due + kFlashUs) {
            m_white = false;
            repaint();
            ++m_next;
        }
    }

    BeepTrack m_track{QStringLiteral("lumora_sink"), kClickEverySamples, 12000};
    QTimer m_motion;
    QTimer m_flashCheck;
    bool m_white = false;
    qint64 m_next = 0;
    QList<Flash> m_flashes;
    QList<qint64> m_paints;
};

// A still slide; only a small square turns dark or light every kSquareEveryUs. Notes when
// each change had been handed to the X server.
class StillStage : public QWidget
{
public:
    StillStage()
    {
        setWindowFlags(Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
        setGeometry(0, 0, 1920, 1080);
        show();
        connect(&m_timer, &QTimer::timeout, this, [this]() {
            m_dark = !m_dark;
            repaint(kSquare);
            m_changes.append(monotonicUs());
        });
        m_timer.setTimerType(Qt::PreciseTimer);
    }
    void startChanging() { m_timer.start(int(kSquareEveryUs / 1000)); }
    void stop() { m_timer.stop(); }
    // Monotonic times of the square's changes; the first one turns it dark.
    const QList<qint64> &changes() const { return m_changes; }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.fillRect(rect(), QColor(250, 250, 246));
        p.fillRect(QRect(0, 0, width(), 140), QColor(30, 70, 140));
        QFont font = p.font();
        font.setPixelSize(64);
        p.setFont(font);
        p.setPen(Qt::white);
        p.drawText(QRect(80, 0, width() - 160, 140), Qt::AlignVCenter, "Lecture 7: Fourier series");
        font.setPixelSize(40);
        p.setFont(font);
        p.setPen(QColor(20, 20, 20));
        for (int i = 0; i < 8; ++i)
            p.drawText(
                QPoint(120, 260 + 90 * i),
                QStringLiteral("- point %1: f(x) = a0/2 + sum(an cos nx + bn sin nx)").arg(i + 1));
        p.fillRect(kSquare, m_dark ? QColor(10, 10, 10) : QColor(240, 240, 240));
    }

private:
    QTimer m_timer;
    bool m_dark = false;
    QList<qint64> m_changes;
};

// The second microphone of the mixed recording: a null sink of its own, never played into.
constexpr const char *kSilentMicrophone = "lumora_bench_mic";

// The engine recording in a child process (bench_record --engine <file> [--mix | --wayland]);
// prints "started <monotonic us>" when the recording starts. With --mix it records the
// computer's sound and the silent second microphone with noise reduction; with --wayland it
// takes the screen from the desktop portal's PipeWire stream.
int engineChild(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const QString file = args.value(2);
    const int seconds = args.contains("--still") ? kStillSeconds : kSeconds;
    SoundSettings sound;
    if (args.contains("--mix")) {
        sound.microphone = QString::fromLatin1(kSilentMicrophone);
        sound.computerSound = true;
        sound.noiseReduction = true;
    }
    const bool wayland = argc > 3 && qstrcmp(argv[3], "--wayland") == 0;
    ProjectData *project = ProjectData::instance();
    project->setProjectDir(QFileInfo(file).absolutePath() + "/");
    AVData clip = project->newClip(QFileInfo(file).fileName());
    project->insert(0, clip);
    ScreenRecord engine;
    engine.setSoundSettings(sound);
    // --camera: the bench's camera in the picture's bottom-right corner, as a teacher shows it.
    auto placement = std::make_shared<CameraPlacement>();
    if (args.contains("--camera")) {
        CameraInfo camera;
        camera.id = kCameraNode;
        QString error;
        std::shared_ptr<CameraFeed> feed = CameraFeed::open(camera, &error);
        if (!feed) {
            std::fprintf(stderr, "engine: the camera does not open: %s\n", qPrintable(error));
            return 1;
        }
        CameraPlacement::State shown;
        shown.visible = true;
        placement->set(shown);
        placement->setFeed(feed);
        engine.setCamera(placement);
    }
    QObject::connect(
        &engine, &ScreenRecord::sigRecordFinish, &app, [&]() { app.exit(0); },
        Qt::QueuedConnection);
    QObject::connect(&engine, &ScreenRecord::sigRecordFail, &app, [&]() { app.exit(1); });
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &app, [&]() {
        if (!engine.isCapturing())
            return;
        poll.stop();
        engine.startRecord();
        std::printf("capture %lld\n", PictureSource::captureClockUs());
        std::printf("started %lld\n", monotonicUs());
        std::fflush(stdout);
        // A precise timer: a coarse one may fire 5 % early or late, a second either way.
        QTimer::singleShot(seconds * 1000, Qt::PreciseTimer, &app, [&]() { engine.stopRecord(); });
    });
    const QRect rect(0, 0, 1920, 1080);
    engine.setRecordRect(rect);
    ScreenCastPortal portal;
    std::shared_ptr<PipeWireSource> source;
    if (wayland) {
        QObject::connect(&portal, &ScreenCastPortal::failed, &app,
                         [&](ScreenCastPortal::Failure failure, const QString &detail) {
                             std::fprintf(
                                 stderr, "%s\n",
                                 qPrintable(ScreenCastPortal::failureText(failure, detail)));
                             app.exit(1);
                         });
        QObject::connect(
            &portal, &ScreenCastPortal::started, &app, [&](const ScreenCastPortal::Stream &stream) {
                const QRect monitor = stream.area.isEmpty() ? rect : stream.area;
                std::printf("node %u\n", stream.node);
                std::fflush(stdout);
                source =
                    std::make_shared<PipeWireSource>(stream.remoteFd, stream.node, monitor, rect);
                engine.setPictureSource(source);
                engine.prepareRecord(clip);
                poll.start(10);
            });
        portal.start();
    } else {
        if (args.contains("--x11grab"))
            engine.setPictureSource(
                std::make_shared<X11GrabSource>(engine.recordRect(), ScreenRecord::kFrameRate));
        poll.start(10);
        engine.prepareRecord(clip);
    }
    const int status = app.exec();
    if (source)
        std::fprintf(stderr, "engine, Wayland desktop: pictures the compositor sent: %lld\n",
                     source->deliveredCount());
    return status;
}

// The moving bars alone, full screen, for `seconds` (bench_record --bars <seconds>): the
// content of the Wayland run, shown on that desktop.
int barsChild(int argc, char **argv)
{
    QApplication app(argc, argv);
    QWidget bars;
    bars.setWindowFlags(Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    bars.setGeometry(0, 0, 1920, 1080);
    QTimer motion;
    QObject::connect(&motion, &QTimer::timeout, &bars, [&]() { bars.update(); });
    class Painter : public QObject
    {
    public:
        bool eventFilter(QObject *watched, QEvent *event) override
        {
            if (event->type() != QEvent::Paint)
                return false;
            auto *widget = static_cast<QWidget *>(watched);
            QPainter p(widget);
            BenchTools::paintMovingBars(p, widget->rect());
            ++painted;
            return true;
        }
        qint64 painted = 0;
    } painter;
    bars.installEventFilter(&painter);
    bars.show();
    motion.start(33);
    QTimer::singleShot(QString::fromLocal8Bit(argv[2]).toInt() * 1000, &app, &QApplication::quit);
    std::printf("shown\n");
    std::fflush(stdout);
    QElapsedTimer clock;
    clock.start();
    const int status = app.exec();
    std::fprintf(stderr, "bars on the Wayland desktop: painted %.1f times a second\n",
                 painter.painted * 1000.0 / std::max<qint64>(1, clock.elapsed()));
    return status;
}

// A second consumer of the screen cast's node (bench_record --count-node <node> <seconds>),
// in a process of its own so that its work is not counted in the engine's: connects to the
// Wayland test desktop's PipeWire server, takes the stream as the engine does and prints
// "sent <pictures> <seconds>": how many pictures the compositor sent in that time; then waits to
// be ended, so that its processor time is not counted with the engine's.
int countChild(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const quint32 node = QString::fromLocal8Bit(argv[2]).toUInt();
    const int seconds = QString::fromLocal8Bit(argv[3]).toInt();
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray path = qgetenv("XDG_RUNTIME_DIR") + "/pipewire-0";
    std::snprintf(address.sun_path, sizeof(address.sun_path), "%s", path.constData());
    if (fd < 0 || ::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof(address)) != 0) {
        std::fprintf(stderr, "second consumer: no PipeWire server at %s\n", path.constData());
        return 1;
    }
    const QRect screen(0, 0, 1920, 1080);
    PipeWireSource source(fd, node, screen, screen);
    QString error;
    if (!source.open(&error)) {
        std::fprintf(stderr, "second consumer: %s\n", qPrintable(error));
        return 1;
    }
    const qint64 from = source.deliveredCount();
    QElapsedTimer clock;
    clock.start();
    QThread::sleep(ulong(seconds));
    std::printf("sent %lld %.3f\n", source.deliveredCount() - from, clock.elapsed() / 1000.0);
    std::fflush(stdout);
    QThread::sleep(3600);
    return 0;
}

struct Run
{
    double cpuSeconds = 0;
    qint64 startedUs = 0;  // about when the file's time 0 was captured
};

// Runs a recorder to its end while the stage plays.
Run runRecorder(const QString &program, const QStringList &args, qint64 startGuessUs,
                const std::function<void(const QByteArray &)> &onLine = {})
{
    Run run;
    run.startedUs = monotonicUs() + startGuessUs;
    const BenchTools::ChildRun child =
        BenchTools::runChild(program, args, (kSeconds + 60) * 1000, [&](const QByteArray &text) {
            const QByteArray line = text.trimmed();
            if (line.startsWith("started "))
                run.startedUs = line.mid(8).toLongLong();
            if (onLine)
                onLine(line);
        });
    if (!child.ended)
        std::fprintf(stderr, "%s did not end\n", qPrintable(program));
    run.cpuSeconds = child.cpuSeconds;
    return run;
}

struct FileFigures
{
    int frames = 0;
    int distinct = 0;  // pictures that differ from the one before
    double firstFrame = -1;
    double lastFrame = -1;
    double largestGap = 0;  // between successive pictures, in seconds
    QList<double> flashes;  // midway between the last dark and the first white picture
    QList<double> clicks;   // where a click begins
    // Length of the recorded picture: from the first picture to the end of the last.
    double seconds() const { return frames > 0 ? lastFrame - firstFrame + 1.0 / 30 : 0; }
};

FileFigures measure(const QString &path)
{
    FileFigures f;
    bool white = false;
    double lastDark = -1;
    std::vector<uint8_t> previousGrid;
    MediaReadback::decodeStream(path, AVMEDIA_TYPE_VIDEO, [&](const AVFrame *frame, double t) {
        ++f.frames;
        if (f.lastFrame >= 0)
            f.largestGap = std::max(f.largestGap, t - f.lastFrame);
        if (f.firstFrame < 0)
            f.firstFrame = t;
        f.lastFrame = t;
        {
            std::vector<uint8_t> grid;
            for (int y = 4; y < frame->height; y += 16)
                for (int x = 4; x < frame->width; x += 16)
                    grid.push_back(frame->data[0][frame->linesize[0] * y + x]);
            if (grid != previousGrid)
                ++f.distinct;
            previousGrid = std::move(grid);
        }
        const uint8_t *y = frame->data[0] + frame->linesize[0] * (frame->height / 2);
        const bool nowWhite = y[frame->width / 2] > 200 && y[frame->width / 8] > 200;
        // A grab falls anywhere between the last dark picture and the first white one; a
        // file with pictures only where the screen changed stamps the white one when it
        // appeared.
        if (nowWhite && !white && lastDark >= 0)
            f.flashes << (t - lastDark > 1.5 / 30 ? t : (lastDark + t) / 2);
        if (!nowWhite)
            lastDark = t;
        white = nowWhite;
    });
    f.clicks = MediaReadback::loudOnsets(path);
    return f;
}

// File times of the pictures where the still stage's square turned dark or light.
QList<double> squareChanges(const QString &path)
{
    QList<double> changes;
    int state = -1;  // 1: dark
    MediaReadback::decodeStream(path, AVMEDIA_TYPE_VIDEO, [&](const AVFrame *frame, double t) {
        const QPoint centre = kSquare.center();
        if (frame->width <= centre.x() || frame->height <= centre.y())
            return;
        const int y = frame->data[0][frame->linesize[0] * centre.y() + centre.x()];
        const int now = y < 128 ? 1 : 0;
        if (state >= 0 && now != state)
            changes << t;
        state = now;
    });
    return changes;
}

// How late (ms) each change of the square appears in the file: against the stage's change
// just before it, on the clock of the recording that started at `startedUs`.
QList<double> changeLateness(const QList<double> &inFile, const QList<qint64> &shown,
                             qint64 startedUs)
{
    QList<double> late;
    for (double t : inFile) {
        double best = -1;
        for (qint64 at : shown) {
            const double rel = (at - startedUs) / 1e6;
            if (rel <= t + 0.005)
                best = rel;
        }
        if (best >= 0 && t - best < 1.0)
            late << (t - best) * 1000;
    }
    return late;
}

// The recorder's own click-to-flash offsets in ms (click minus flash in the file, less what
// the stage had between them), one per flash that has its click.
QList<double> recorderOffsets(const FileFigures &file, const Run &run, const Stage &stage)
{
    QList<double> offsets;
    for (double flash : file.flashes) {
        double best = 1e9;
        for (double click : file.clicks)
            if (std::fabs(click - flash) < std::fabs(best))
                best = click - flash;
        if (std::fabs(best) >= 1.0)
            continue;
        // The stage's flash at about this moment of the recording.
        const qint64 at = run.startedUs + qint64(flash * 1e6);
        const Stage::Flash *shown = nullptr;
        for (const Stage::Flash &s : stage.flashes())
            if (std::llabs(s.shownUs - at) < kFlashEveryUs / 2)
                shown = &s;
        if (!shown)
            continue;
        const double stageOffsetMs =
            (stage.track().beepHeardUs(shown->click) - shown->shownUs) / 1000.0;
        offsets << best * 1000 - stageOffsetMs;
    }
    return offsets;
}

double medianAbs(QList<double> v)
{
    if (v.isEmpty())
        return -1;
    std::sort(v.begin(), v.end(), [](double x, double y) { return std::fabs(x) < std::fabs(y); });
    return std::fabs(v.at(v.size() / 2));
}

void printFile(const char *name, const FileFigures &f, const QList<double> &offsets, const Run &run,
               const Stage &stage)
{
    std::printf("%s: stage flashed at", name);
    for (const Stage::Flash &s : stage.flashes()) {
        const double at = (s.shownUs - run.startedUs) / 1e6;
        if (at >= -0.5 && at <= f.seconds() + 0.5)
            std::printf(" %.2f", at);
    }
    std::printf(" s (about)\n");
    std::printf("%s: pictures from %.3f to %.3f s, largest gap %.0f ms\n", name, f.firstFrame,
                f.lastFrame, f.largestGap * 1000);
    std::printf("%s: %d frames, %lld flashes, %lld clicks, offsets (click - flash, ms):", name,
                f.frames, qint64(f.flashes.size()), qint64(f.clicks.size()));
    for (double o : offsets)
        std::printf(" %.0f", o);
    std::printf("\n%s: flashes at", name);
    for (double t : f.flashes)
        std::printf(" %.2f", t);
    std::printf(" s, clicks at");
    for (double t : f.clicks)
        std::printf(" %.2f", t);
    std::printf(" s\n");
}

}  // namespace

// The camera's pictures in a file recorded with --camera: of those the camera sent while the
// file was recorded (leaving out the first and last 0.2 s), how many show in the file, and
// how late (ms) each appears against when the camera took it.
struct CameraFigures
{
    int sent = 0;
    int found = 0;
    QList<double> late;
};

CameraFigures cameraInFile(const QString &path, const QList<QPair<qint64, int>> &sent,
                           qint64 startUs)
{
    CameraFigures figures;
    const QRect place = CameraPlace().rectIn(QSize(1920, 1080), CameraShape::Circle);
    QList<QPair<double, int>> shown;  // picture time, colour
    MediaReadback::decodeStream(path, AVMEDIA_TYPE_VIDEO, [&](const AVFrame *frame, double t) {
        if (frame->width < 1920 || frame->height < 1080)
            return;
        const int y = frame->data[0][frame->linesize[0] * place.center().y() + place.center().x()];
        int nearest = 0;
        for (int c = 1; c < kCameraColours; ++c)
            if (std::abs(16 + 219 * kCameraGreys[c] / 255 - y) <
                std::abs(16 + 219 * kCameraGreys[nearest] / 255 - y))
                nearest = c;
        shown.append({t, nearest});
    });
    if (shown.isEmpty() || startUs < 0)
        return figures;
    const double end = shown.last().first;
    for (const auto &[sentUs, colour] : sent) {
        const double due = double(sentUs - startUs) / 1e6;
        if (due < 0.2 || due > end - 0.2)
            continue;
        ++figures.sent;
        for (const auto &[t, c] : shown) {
            if (t < due - 0.05)
                continue;
            if (t > due + 0.25)
                break;
            if (c == colour) {
                ++figures.found;
                figures.late.append(std::max(0.0, (t - due) * 1000));
                break;
            }
        }
    }
    return figures;
}

int main(int argc, char **argv)
{
    if (argc > 2 && qstrcmp(argv[1], "--engine") == 0)
        return engineChild(argc, argv);
    if (argc > 2 && qstrcmp(argv[1], "--bars") == 0)
        return barsChild(argc, argv);
    if (argc > 3 && qstrcmp(argv[1], "--count-node") == 0)
        return countChild(argc, argv);
    QApplication app(argc, argv);
    // --keep DIR leaves the files in DIR for a closer look.
    QTemporaryDir temporary;
    const QStringList options = app.arguments();
    const int keep = int(options.indexOf("--keep"));
    const QString folder =
        keep > 0 && keep + 1 < options.size() ? options.at(keep + 1) : temporary.path();
    const QStringList engineOptions =
        options.contains("--x11grab") ? QStringList{"--x11grab"} : QStringList{};
    const QString display = QString::fromLocal8Bit(qgetenv("DISPLAY"));
    const auto toolArguments = [&](int seconds, const QString &file) {
        QStringList grab{"-nostdin",
                         "-v",
                         "error",
                         "-y",
                         "-f",
                         "x11grab",
                         "-framerate",
                         "30",
                         "-draw_mouse",
                         "1",
                         "-video_size",
                         "1920x1080",
                         "-i",
                         display + "+0,0",
                         "-f",
                         "pulse",
                         "-sample_rate",
                         "44100",
                         "-channels",
                         "2",
                         "-fragment_size",
                         "3528",
                         "-i",
                         "lumora_mic",
                         "-t",
                         QString::number(seconds)};
        grab += BenchTools::encoderArguments("28");
        grab += {"-threads", "12", file};
        return grab;
    };
    const auto perSecond = [](const Run &run, const FileFigures &f) {
        return f.seconds() > 0 ? run.cpuSeconds / f.seconds() : -1.0;
    };

    // The still slide.
    const QString stillOurs = QDir(folder).filePath("engine-still.mp4");
    const QString stillTheirs = QDir(folder).filePath("ffmpeg-still.mp4");
    QFile::remove(stillOurs);
    QFile::remove(stillTheirs);
    Run stillOur;
    Run stillTheir;
    QList<qint64> squareShown;
    {
        StillStage still;
        QEventLoop settle;
        QTimer::singleShot(1500, &settle, &QEventLoop::quit);
        settle.exec();
        still.startChanging();
        stillOur = runRecorder(QCoreApplication::applicationFilePath(),
                               QStringList{"--engine", stillOurs, "--still"} + engineOptions, 0);
        stillTheir = runRecorder("ffmpeg", toolArguments(kStillSeconds, stillTheirs), 300000);
        still.stop();
        squareShown = still.changes();
    }
    const FileFigures stillA = measure(stillOurs);
    const FileFigures stillB = measure(stillTheirs);
    const QList<double> late =
        changeLateness(squareChanges(stillOurs), squareShown, stillOur.startedUs);
    const double stillRatio = perSecond(stillOur, stillA) > 0 && perSecond(stillTheir, stillB) > 0
                                  ? perSecond(stillOur, stillA) / perSecond(stillTheir, stillB)
                                  : -1.0;
    std::printf("still, engine: cpu %.2f s for %.3f s recorded (%.3f s per second), %d pictures\n",
                stillOur.cpuSeconds, stillA.seconds(), perSecond(stillOur, stillA), stillA.frames);
    std::printf("still, ffmpeg: cpu %.2f s for %.3f s recorded (%.3f s per second), %d pictures\n",
                stillTheir.cpuSeconds, stillB.seconds(), perSecond(stillTheir, stillB),
                stillB.frames);
    std::printf("still, ffmpeg file: %lld changes of the square\n",
                qint64(squareChanges(stillTheirs).size()));
    std::printf("still, engine file: %lld changes of the square, late (ms):", qint64(late.size()));
    for (double l : late)
        std::printf(" %.0f", l);
    std::printf("\n");

    // The still slide again, with the teacher's camera in its corner, a new picture of it every
    // 1/30 s.
    const QString cameraOurs = QDir(folder).filePath("engine-camera.mp4");
    QFile::remove(cameraOurs);
    Run cameraRun;
    qint64 cameraStartUs = -1;
    QList<QPair<qint64, int>> cameraSent;
    {
        StillStage still;
        ChangingCamera camera;
        if (!camera.isReady()) {
            std::fprintf(stderr, "the bench camera is not on the PipeWire server\n");
            return 1;
        }
        cameraRun =
            runRecorder(QCoreApplication::applicationFilePath(),
                        QStringList{"--engine", cameraOurs, "--still", "--camera"} + engineOptions,
                        0, [&](const QByteArray &line) {
                            if (line.startsWith("capture "))
                                cameraStartUs = line.mid(8).toLongLong();
                        });
        camera.stop();
        cameraSent = camera.sent();
    }
    const FileFigures cameraFile = measure(cameraOurs);
    const CameraFigures cameraFigures = cameraInFile(cameraOurs, cameraSent, cameraStartUs);
    const double cameraRatio =
        perSecond(cameraRun, cameraFile) > 0 && perSecond(stillTheir, stillB) > 0
            ? perSecond(cameraRun, cameraFile) / perSecond(stillTheir, stillB)
            : -1.0;
    std::printf("camera, engine: cpu %.2f s for %.3f s recorded (%.3f s per second), %d pictures; "
                "camera pictures sent %d, in the file %d\n",
                cameraRun.cpuSeconds, cameraFile.seconds(), perSecond(cameraRun, cameraFile),
                cameraFile.frames, cameraFigures.sent, cameraFigures.found);
    const double cameraLate =
        cameraFigures.late.isEmpty() ? -1.0 : BenchTools::percentile(cameraFigures.late, 0.95);
    const int cameraFramesOk =
        cameraFigures.sent > 0 ? int(std::lround(100.0 * cameraFigures.found / cameraFigures.sent))
                               : 0;
    // --camera-only: the still slide and the camera rows alone.
    if (options.contains("--camera-only")) {
        std::printf("still_vs_cli=%.2f camera_vs_cli=%.2f camera_late_ms_p95=%.0f "
                    "camera_frames_ok=%d\n",
                    stillRatio, cameraRatio, cameraLate, cameraFramesOk);
        return 0;
    }

    const QString ours = QDir(folder).filePath("engine.mp4");
    const QString theirs = QDir(folder).filePath("ffmpeg.mp4");
    // A clip is never given the name of a file already there: clear what an earlier run kept.
    QFile::remove(ours);
    QFile::remove(theirs);
    Stage stage;
    QEventLoop settle;
    QTimer::singleShot(1500, &settle, &QEventLoop::quit);
    settle.exec();
    if (stage.track().origin() == kUnknown) {
        std::fprintf(stderr, "the click track does not play: %s\n",
                     qPrintable(stage.track().error()));
        return 1;
    }

    const Run our = runRecorder(QCoreApplication::applicationFilePath(),
                                QStringList{"--engine", ours} + engineOptions, 0);
    const QString mixedFile = QDir(folder).filePath("engine-mix.mp4");
    QFile::remove(mixedFile);
    Run mixed;
    {
        QProcess pactl;
        pactl.start("pactl", {"load-module", "module-null-sink",
                              QStringLiteral("sink_name=%1_sink").arg(kSilentMicrophone)});
        pactl.waitForFinished();
        const QString sinkModule = QString::fromLatin1(pactl.readAllStandardOutput()).trimmed();
        pactl.start("pactl", {"load-module", "module-remap-source",
                              QStringLiteral("master=%1_sink.monitor").arg(kSilentMicrophone),
                              QStringLiteral("source_name=%1").arg(kSilentMicrophone)});
        pactl.waitForFinished();
        const QString sourceModule = QString::fromLatin1(pactl.readAllStandardOutput()).trimmed();
        mixed = runRecorder(QCoreApplication::applicationFilePath(),
                            QStringList{"--engine", mixedFile, "--mix"} + engineOptions, 0);
        for (const QString &module : {sourceModule, sinkModule})
            if (!module.isEmpty())
                QProcess::execute("pactl", {"unload-module", module});
    }
    const Run their = runRecorder("ffmpeg", toolArguments(kSeconds, theirs), 300000);
    stage.stop();

    // The Wayland route: the same bars on the Wayland test desktop, recorded through the test
    // portal and mutter's screen cast.
    const QString waylandFile = QDir(folder).filePath("engine-wayland.mp4");
    QFile::remove(waylandFile);
    Run wayland;
    QProcess counter;            // a second consumer of the same stream
    double compositorRate = -1;  // pictures a second the compositor sent it
    {
        const QProcessEnvironment x11 = QProcessEnvironment::systemEnvironment();
        for (const char *name :
             {"DISPLAY", "XAUTHORITY", "WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS"})
            qunsetenv(name);
        WaylandDesktop::use();
        WaylandDesktop::TestPortal portal;
        counter.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QProcess bars;
        bars.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        bars.start(QCoreApplication::applicationFilePath(),
                   {"--bars", QString::number(kSeconds + 8)});
        const bool shown = bars.waitForReadyRead(20000);
        if (!portal.isServing() || !shown)
            std::fprintf(stderr, "the Wayland test desktop is not ready\n");
        else
            wayland =
                runRecorder(QCoreApplication::applicationFilePath(),
                            {"--engine", waylandFile, "--wayland"}, 0, [&](const QByteArray &line) {
                                if (line.startsWith("node "))
                                    counter.start(QCoreApplication::applicationFilePath(),
                                                  {"--count-node", QString(line.mid(5)),
                                                   QString::number(kSeconds - 4)});
                            });
        if (counter.state() != QProcess::NotRunning &&
            (counter.canReadLine() || counter.waitForReadyRead(20000))) {
            const QList<QByteArray> sent = counter.readLine().trimmed().split(' ');
            if (sent.size() == 3 && sent[0] == "sent" && sent[2].toDouble() > 0)
                compositorRate = sent[1].toDouble() / sent[2].toDouble();
        }
        counter.kill();
        counter.waitForFinished();
        if (!bars.waitForFinished(20000))
            bars.kill();
        bars.waitForFinished();
        for (const char *name :
             {"DISPLAY", "XAUTHORITY", "WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS"}) {
            const QString value = x11.value(QString::fromLatin1(name));
            if (x11.contains(QString::fromLatin1(name)))
                qputenv(name, value.toLocal8Bit());
            else
                qunsetenv(name);
        }
    }

    qint64 lateMax = 0;
    for (const Stage::Flash &f : stage.flashes())
        lateMax = std::max(lateMax, f.shownUs - f.dueUs);
    const FileFigures a = measure(ours);
    const FileFigures b = measure(theirs);
    const FileFigures m = measure(mixedFile);
    const FileFigures w = measure(waylandFile);
    const QList<double> ourOffsets = recorderOffsets(a, our, stage);
    const QList<double> theirOffsets = recorderOffsets(b, their, stage);
    const QList<double> mixedOffsets = recorderOffsets(m, mixed, stage);
    // The two files are not of the same length: the tool stops after exactly kSeconds of
    // input, while our child stops on a timer started when its recording starts, so its file
    // may hold a little more or less. Both the processor time and the frame count are
    // therefore judged per second of what each file holds; the raw figures are shown too.
    const auto framesDue = [](const FileFigures &f) { return int(std::lround(f.seconds() * 30)); };
    std::printf("stage: %lld flashes, latest repaint %.1f ms after its click\n",
                qint64(stage.flashes().size()), lateMax / 1000.0);
    std::printf("engine: cpu %.2f s for %.3f s recorded (%.3f s per second), frames %d of %d "
                "(%d for %d s)\n",
                our.cpuSeconds, a.seconds(), perSecond(our, a), a.frames, framesDue(a),
                30 * kSeconds, kSeconds);
    std::printf("ffmpeg: cpu %.2f s for %.3f s recorded (%.3f s per second), frames %d of %d "
                "(%d for %d s)\n",
                their.cpuSeconds, b.seconds(), perSecond(their, b), b.frames, framesDue(b),
                30 * kSeconds, kSeconds);
    std::printf("engine, computer sound and noise reduction: cpu %.2f s for %.3f s recorded "
                "(%.3f s per second), frames %d of %d\n",
                mixed.cpuSeconds, m.seconds(), perSecond(mixed, m), m.frames, framesDue(m));
    std::printf("different pictures: engine %d, ffmpeg %d\n", a.distinct, b.distinct);
    std::printf("engine, Wayland desktop through PipeWire: cpu %.2f s for %.3f s recorded "
                "(%.3f s per second), frames %d of %d, largest gap %.0f ms\n",
                wayland.cpuSeconds, w.seconds(), perSecond(wayland, w), w.frames, framesDue(w),
                w.largestGap * 1000);
    // The compositor sends a picture only when the screen changed; the engine keeps at most 30
    // a second of them.
    std::printf("Wayland: the compositor sent %.1f pictures a second to a second consumer of "
                "the stream; the engine wrote %.1f a second (of at most 30)\n",
                compositorRate, w.seconds() > 0 ? w.frames / w.seconds() : -1.0);
    printFile("engine file", a, ourOffsets, our, stage);
    printFile("engine file with computer sound", m, mixedOffsets, mixed, stage);
    printFile("ffmpeg file", b, theirOffsets, their, stage);
    std::printf("ffmpeg tool's click-to-flash offset: %.0f ms\n", medianAbs(theirOffsets));
    std::printf("raw cpu ratio (whole runs): %.2f\n",
                their.cpuSeconds > 0 ? our.cpuSeconds / their.cpuSeconds : -1.0);
    const double ratio = perSecond(our, a) > 0 && perSecond(their, b) > 0
                             ? perSecond(our, a) / perSecond(their, b)
                             : -1.0;
    const double mixCost = perSecond(mixed, m) > 0 && perSecond(our, a) > 0
                               ? perSecond(mixed, m) / perSecond(our, a)
                               : -1.0;
    std::printf("stage: %d pictures painted while the engine recorded\n",
                stage.paintsWithin(our.startedUs, a.seconds()));
    // The engine's different pictures against the tool's, which grabs one every 1/30 s: a
    // recorder that takes only changed pictures must still keep every one the screen showed.
    const int framesOk =
        b.distinct > 0 ? int(std::lround(100.0 * std::min(1.0, double(a.distinct) / b.distinct)))
                       : 0;
    const double waylandVsX11 = perSecond(wayland, w) > 0 && perSecond(our, a) > 0
                                    ? perSecond(wayland, w) / perSecond(our, a)
                                    : -1.0;
    const int waylandDue = framesDue(w);
    const int waylandFramesOk =
        waylandDue > 0 ? int(std::lround(100.0 * std::min(w.frames, waylandDue) / waylandDue)) : 0;
    std::printf(
        "still_vs_cli=%.2f motion_vs_cli=%.2f change_late_ms_p95=%.0f frames_ok=%d "
        "av_offset_ms=%d mix_cost=%.2f av_offset_mix_ms=%d wayland_vs_x11=%.2f "
        "wayland_frames_ok=%d camera_vs_cli=%.2f camera_late_ms_p95=%.0f "
        "camera_frames_ok=%d\n",
        stillRatio, ratio, late.isEmpty() ? -1.0 : BenchTools::percentile(late, 0.95), framesOk,
        ourOffsets.isEmpty() ? -1 : int(std::lround(medianAbs(ourOffsets))), mixCost,
        mixedOffsets.isEmpty() ? -1 : int(std::lround(medianAbs(mixedOffsets))), waylandVsX11,
        waylandFramesOk, cameraRatio,
        cameraFigures.late.isEmpty() ? -1.0 : BenchTools::percentile(cameraFigures.late, 0.95),
        cameraFigures.sent > 0 ? int(std::lround(100.0 * cameraFigures.found / cameraFigures.sent))
                               : 0);
    return 0;
}
