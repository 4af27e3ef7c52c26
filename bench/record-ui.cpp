// bench_record-ui: what the screen recording window costs on top of the recording engine.
// On the test desktop (a window manager and a compositing manager), over a screen of moving
// bars, records a 1280x720 area for 30 s twice, each in a child process: once through
// the recording window (count-down, control bar, and drawing all the time with synthetic
// pointer events on its canvas, every 2 s with the next tool: pen, highlighter, line, arrow,
// rectangle, ellipse, laser pointer), once with the engine alone. Prints the processor
// time of both, raw and per second of recorded picture, and the frames of both against 30 per
// second; last:
//   ui_overhead=<cpu ratio, window / engine> frames_ok=<percent of the window's frames>
// Aims: 1.15 or less and 100. Needs the test desktop and sound server (scripts/testenv;
// lumora_start_env); bench/record-ui starts them.
#include "core/project/projectdata.h"
#include "core/record/screenrecord.h"
#include "support/benchtools.h"
#include "support/mediareadback.h"
#include "support/testdisplay.h"
#include "ui/app/startup.h"
#include "ui/board/boardcanvas.h"
#include "ui/board/boardsettings.h"
#include "ui/board/boardtoolswidget.h"
#include "ui/board/countdownwidget.h"
#include "ui/record/recordscreenctrlwidget.h"
#include "ui/record/recordscreenwidget.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMouseEvent>
#include <QPainter>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iterator>

namespace {

constexpr int kSeconds = 30;
// The window's area; inside its 3-pixel frame the engine records 1280x720 at (103, 103).
const QRectF kSelectArea(100, 100, 1286, 726);
const QRect kEngineRect(103, 103, 1280, 720);

// Moving bars over the whole screen.
class Stage : public QWidget
{
public:
    Stage()
    {
        setWindowFlags(Qt::FramelessWindowHint);
        setGeometry(0, 0, 1920, 1080);
        show();
        connect(&m_motion, &QTimer::timeout, this, [this]() { update(); });
        m_motion.start(33);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        BenchTools::paintMovingBars(p, rect());
    }

private:
    QTimer m_motion;
};

AVData projectClip(const QString &file)
{
    ProjectData *project = ProjectData::instance();
    project->setProjectDir(QFileInfo(file).absolutePath() + "/");
    return project->newClip(QFileInfo(file).fileName());
}

// The engine alone (bench_record-ui --engine FILE).
int engineChild(int argc, char **argv)
{
    QApplication app(argc, argv);
    AVData clip = projectClip(QString::fromLocal8Bit(argv[2]));
    ProjectData::instance()->insert(0, clip);
    ScreenRecord engine;
    QObject::connect(
        &engine, &ScreenRecord::sigRecordFinish, &app, [&]() { app.exit(0); },
        Qt::QueuedConnection);
    QObject::connect(&engine, &ScreenRecord::sigRecordFail, &app, [&]() { app.exit(1); });
    // Started after the same 3.1 s a count-down takes.
    QTimer::singleShot(3100, &app, [&]() {
        engine.startRecord();
        QTimer::singleShot(kSeconds * 1000, Qt::PreciseTimer, &app, [&]() { engine.stopRecord(); });
    });
    engine.setRecordRect(kEngineRect);
    engine.prepareRecord(clip);
    return app.exec();
}

// Pointer events on the canvas as a hand drawing without a pause: a zigzag, a new stroke
// every 2 s with the next tool, 60 movements a second.
class Hand : public QObject
{
public:
    Hand(BoardCanvas *canvas, BoardToolsWidget *tools) : m_canvas(canvas), m_tools(tools)
    {
        connect(&m_timer, &QTimer::timeout, this, [this]() { step(); });
    }
    void start() { m_timer.start(16); }
    void stop()
    {
        m_timer.stop();
        if (m_down)
            send(QEvent::MouseButtonRelease, m_last, Qt::LeftButton, Qt::NoButton);
        m_down = false;
    }
    int strokes = 0;

private:
    void send(QEvent::Type type, QPointF pos, Qt::MouseButton button, Qt::MouseButtons buttons)
    {
        QMouseEvent event(type, pos, m_canvas->mapToGlobal(pos), button, buttons, Qt::NoModifier);
        QCoreApplication::sendEvent(m_canvas, &event);
    }
    void step()
    {
        const QSizeF size = m_canvas->size();
        const double t = m_ticks++ * 0.016;
        const QPointF pos(size.width() * (0.1 + 0.8 * std::fmod(t / 4, 1.0)),
                          size.height() * (0.5 + 0.35 * std::sin(t * 3)));
        if (!m_down) {
            static const int tools[] = {ToolPen,  ToolHighlighter, ToolLine, ToolArrow,
                                        ToolRect, ToolEllipse,     ToolLaser};
            m_tools->selectTool(tools[strokes % std::size(tools)]);
            send(QEvent::MouseButtonPress, pos, Qt::LeftButton, Qt::LeftButton);
            m_down = true;
            ++strokes;
        } else if (m_ticks % 125 == 0) {
            send(QEvent::MouseButtonRelease, pos, Qt::LeftButton, Qt::NoButton);
            m_down = false;
        } else {
            send(QEvent::MouseMove, pos, Qt::NoButton, Qt::LeftButton);
        }
        m_last = pos;
    }

    BoardCanvas *m_canvas;
    BoardToolsWidget *m_tools;
    QTimer m_timer;
    int m_ticks = 0;
    bool m_down = false;
    QPointF m_last;
};

// The recording window with the pen (bench_record-ui --window FILE).
int windowChild(int argc, char **argv)
{
    QApplication app(argc, argv);
    applyApplicationStyleSheet(app);
    projectClip(QString::fromLocal8Bit(argv[2]));
    // The window names its clip by the time; the parent finds the file by the folder.
    auto *window = new RecordScreenWidget(kSelectArea, AVData(), -1);
    QObject::connect(
        window, &RecordScreenWidget::sig_Record_Finish, &app, [&]() { app.exit(0); },
        Qt::QueuedConnection);
    window->show();
    // The count-down starts once the window has found the microphone.
    QElapsedTimer waited;
    waited.start();
    while (!window->countDown()->isVisible() && waited.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    if (window->recorder()->recordRect() != kEngineRect || !window->drawingAvailable()) {
        std::fprintf(stderr, "window: unexpected record area or no drawing\n");
        return 1;
    }
    RecordScreenCtrlWidget *bar = window->ctrlWidget();
    for (QToolButton *b : bar->boardTools()->findChildren<QToolButton *>())
        if (b->text() == QStringLiteral("画笔"))
            b->click();
    Hand hand(window->canvas(), bar->boardTools());
    QObject::connect(window->countDown(), &CountDownWidget::sig_CountDownFinished, &app, [&]() {
        hand.start();
        QTimer::singleShot(kSeconds * 1000, Qt::PreciseTimer, &app, [&]() {
            hand.stop();
            std::printf("strokes %d\n", hand.strokes);
            std::fflush(stdout);
            bar->stopButton()->click();
        });
    });
    return app.exec();
}

// This program in a child mode; its processor time.
double runChild(const QStringList &args)
{
    const BenchTools::ChildRun run =
        BenchTools::runChild(QCoreApplication::applicationFilePath(), args, (kSeconds + 60) * 1000);
    if (!run.ended)
        std::fprintf(stderr, "%s did not end\n", qPrintable(args.join(' ')));
    return run.cpuSeconds;
}

struct Figures
{
    int frames = 0;
    double seconds = 0;  // from the first picture to the end of the last
    QSize size;
    int due() const { return int(std::lround(seconds * 30)); }
};

Figures measure(const QString &path)
{
    Figures f;
    const MediaReadback::PacketTimes times = MediaReadback::videoPacketTimes(path);
    const MediaReadback::StreamsInfo info = MediaReadback::streams(path);
    f.size = QSize(info.width, info.height);
    f.frames = int(times.pts.size());
    if (f.frames > 0) {
        const auto [low, high] = std::minmax_element(times.pts.begin(), times.pts.end());
        f.seconds = *high - *low + 1.0 / 30;
    }
    return f;
}

void print(const char *name, double cpu, const Figures &f)
{
    std::printf("%s: %dx%d, cpu %.2f s for %.3f s recorded (%.3f s per second), frames %d of "
                "%d (%d for %d s)\n",
                name, f.size.width(), f.size.height(), cpu, f.seconds,
                f.seconds > 0 ? cpu / f.seconds : -1.0, f.frames, f.due(), 30 * kSeconds, kSeconds);
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc > 2 && qstrcmp(argv[1], "--engine") == 0)
        return engineChild(argc, argv);
    if (argc > 2 && qstrcmp(argv[1], "--window") == 0)
        return windowChild(argc, argv);
    QApplication app(argc, argv);
    if (!TestDisplay::hasCompositor()) {
        std::fprintf(stderr, "no compositing manager on the display: run bench/record-ui\n");
        return 1;
    }
    QTemporaryDir temporary;
    const QString engineDir = temporary.filePath("engine");
    const QString windowDir = temporary.filePath("window");
    QDir().mkpath(engineDir);
    QDir().mkpath(windowDir);
    Stage stage;
    QEventLoop settle;
    QTimer::singleShot(1000, &settle, &QEventLoop::quit);
    settle.exec();

    const QString engineFile = engineDir + "/engine.mp4";
    const double engineCpu = runChild({"--engine", engineFile});
    const double windowCpu = runChild({"--window", windowDir + "/window.mp4"});
    const QStringList made = QDir(windowDir).entryList({"*.mp4"}, QDir::Files);
    if (made.size() != 1) {
        std::fprintf(stderr, "the window wrote %lld files\n", qint64(made.size()));
        return 1;
    }
    const Figures e = measure(engineFile);
    const Figures w = measure(windowDir + "/" + made.first());
    print("engine alone", engineCpu, e);
    print("recording window drawing", windowCpu, w);
    const double ePer = e.seconds > 0 ? engineCpu / e.seconds : -1;
    const double wPer = w.seconds > 0 ? windowCpu / w.seconds : -1;
    std::printf("raw cpu ratio (whole runs): %.2f\n", engineCpu > 0 ? windowCpu / engineCpu : -1);
    std::printf("engine alone frames_ok=%d\n",
                e.due() > 0 ? int(std::lround(100.0 * std::min(e.frames, e.due()) / e.due())) : 0);
    std::printf("ui_overhead=%.2f frames_ok=%d\n", ePer > 0 && wPer > 0 ? wPer / ePer : -1.0,
                w.due() > 0 ? int(std::lround(100.0 * std::min(w.frames, w.due()) / w.due())) : 0);
    return 0;
}
