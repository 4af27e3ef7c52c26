// Opening a presentation in the recording window, and recording it.
//   slides [--screenshot FILE]   prints the figures, and last
//     "open_vs_soffice=<ratio> reopen_vs_open=<ratio> still_slide_vs_cli=<ratio>
//      page_turn_late_ms_p95=<ms>"
// open: from the open request to the first slide on the screen, for a 20-slide .pptx opened
// for the first time (the agent converts it); soffice: the same file converted by `soffice
// --headless --convert-to pdf` alone, in the same run; reopen: the same file opened again (from
// the agent's cache); medians of three rounds. Both LibreOffice profiles are made by a warm-up
// conversion first, so neither pays for creating its profile.
// Then a three-slide lesson is recorded at 1920x1080 in the recording window (its window on
// screen 1280x800): 20 s of a still slide, whose processor time per recorded second is set
// against the ffmpeg tool grabbing the still 1920x1080 screen with the microphone and the
// board's encoder for 20 s;
// then 12 page turns 1.5 s apart, each measured from the turn to the first picture in the file
// that shows the new slide.
// Aims: 1.3, 0.2, 0.05 and 100 or less. --screenshot FILE saves the presentation recording
// window with a slide and a stroke.
#include "core/project/projectdata.h"
#include "core/record/scenepicturesource.h"
#include "support/benchtools.h"
#include "support/eventwait.h"
#include "support/mediareadback.h"
#include "support/mousedrag.h"
#include "support/slideshow.h"
#include "ui/app/startup.h"
#include "ui/base/basewindow.h"
#include "ui/base/loaddingview.h"
#include "ui/board/boardcanvas.h"
#include "ui/board/boardtoolswidget.h"
#include "ui/board/countdownwidget.h"
#include "ui/slides/pptcontainer.h"
#include "ui/slides/recordpptwidget.h"
#include "ui/whiteboard/whiteboardview.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QPointer>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QTextStream>
#include <QToolButton>
#include <QUrl>

#include <QtTest>
#include <algorithm>

namespace {

QTextStream out(stdout);
constexpr int kStillSeconds = 20;
constexpr int kTurns = 12;
constexpr int kTurnEveryMs = 1500;

// Milliseconds of LibreOffice converting `file` to PDF alone, with the profile in `profile`.
double sofficeMs(const QString &file, const QString &profile, const QString &outDir)
{
    QDir(outDir).removeRecursively();
    QDir().mkpath(outDir);
    QElapsedTimer clock;
    clock.start();
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start("soffice", {"-env:UserInstallation=" + QUrl::fromLocalFile(profile).toString(),
                        "--headless", "--convert-to", "pdf", "--outdir", outDir, file});
    p.waitForFinished(300000);
    const double ms = clock.nsecsElapsed() / 1e6;
    if (QDir(outDir).entryList({"*.pdf"}).isEmpty()) {
        out << "soffice failed: " << p.readAll() << Qt::endl;
        return -1;
    }
    return ms;
}

// Milliseconds from the open request to slide 1 shown in a container of 1280 x 720.
double openMs(const QString &file)
{
    QWidget window;
    window.resize(1280, 720);
    auto *container = new PptContainer(&window);
    container->resize(window.size());
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return -1;
    const QColor first = SlideShow::slideColour(1);
    QElapsedTimer clock;
    clock.start();
    container->openPptFile(file);
    const bool shown = EventWait::until(
        [&]() {
            if (!container->slidesInPlace())
                return false;
            const QRect board = container->board()->boardRect();
            const QPoint probe = container->board()->mapToGlobal(
                QPoint(board.left() + board.width() / 10, board.center().y()));
            const QImage pixel =
                window.screen()->grabWindow(0, probe.x(), probe.y(), 1, 1).toImage();
            return !pixel.isNull() && SlideShow::near(pixel.pixelColor(0, 0), first);
        },
        300000);
    const double ms = clock.nsecsElapsed() / 1e6;
    return shown ? ms : -1;
}

bool screenshot(const QString &file, const QString &target)
{
    QPointer<BaseWindow> frame = new BaseWindow;
    auto *content = new RecordPptWidget;
    frame->setTitle(QStringLiteral("录课"));
    frame->setContentWidget(content);
    frame->resize(1280, 800);
    frame->move(40, 40);
    frame->show();
    content->openPptFile(file, AVData(), -1);
    PptContainer *container = content->container();
    // The file is new to the agent: first the loading view while LibreOffice converts it.
    QString loadingShot = target;
    loadingShot.replace(QStringLiteral(".png"), QStringLiteral("-loading.png"));
    if (EventWait::until(
            [&]() {
                return container->loaddingView()->label_opening->text().startsWith(
                    QStringLiteral("正在准备幻灯片"));
            },
            20000)) {
        QTest::qWait(100);
        const QRect area = frame->frameGeometry();
        frame->screen()
            ->grabWindow(0, area.x(), area.y(), area.width(), area.height())
            .save(loadingShot);
    }
    if (!EventWait::until([&]() { return container->slidesInPlace(); }, 120000))
        return false;
    content->drawTools()->findChild<QToolButton *>("btn_pen")->click();
    BoardCanvas *canvas = container->canvas();
    EventWait::until([&]() { return canvas->drawEnabled(); }, 2000);
    QList<QPoint> points;
    for (int i = 0; i <= 60; ++i) {
        const double t = i / 60.0;
        points << QPoint(int(canvas->width() * (0.25 + 0.5 * t)),
                         int(canvas->height() * (0.72 - 0.12 * std::sin(t * 3.14159))));
    }
    MouseDrag::drag(canvas, points);
    QTest::qWait(1000);
    const QRect area = frame->frameGeometry();
    const bool saved = frame->screen()
                           ->grabWindow(0, area.x(), area.y(), area.width(), area.height())
                           .save(target);
    frame->close();
    QTest::qWait(500);
    return saved;
}

struct RecordFigures
{
    double stillCpuPerSecond = -1;
    QList<double> turnLateMs;
};

// Records `file` (three slides) in the recording window: a still slide, then page turns.
RecordFigures recordLesson(const QString &file, const QString &projectDir)
{
    RecordFigures figures;
    ProjectData *project = ProjectData::instance();
    project->reset();
    project->setProjectDir(projectDir + "/");
    QDir().mkpath(projectDir);
    QPointer<BaseWindow> frame = new BaseWindow;
    auto *content = new RecordPptWidget;
    frame->setContentWidget(content);
    frame->resize(1280, 800);
    frame->move(40, 40);
    frame->show();
    content->openPptFile(file, AVData(), -1);
    if (!EventWait::until([&]() { return content->container()->slidesInPlace(); }, 120000))
        return figures;
    content->findChild<QToolButton *>("btn_play")->click();
    if (!EventWait::until([&]() { return content->countDown() != nullptr; }, 20000))
        return figures;
    qint64 startedUs = 0;
    QObject::connect(content->countDown(), &CountDownWidget::sig_CountDownFinished,
                     [&]() { startedUs = BenchTools::monotonicUs(); });
    if (!EventWait::until([&]() { return startedUs > 0; }, 20000))
        return figures;
    // Settled: the first pictures and the sound's start are behind.
    QTest::qWait(1000);
    const double cpu0 = BenchTools::ownCpuSeconds();
    QTest::qWait(kStillSeconds * 1000);
    figures.stillCpuPerSecond = (BenchTools::ownCpuSeconds() - cpu0) / kStillSeconds;

    // Forth and back through the three slides.
    struct Turn
    {
        double fileSec;
        int slide;
    };
    QList<Turn> turns;
    int slide = 1;
    int step = 1;
    for (int i = 0; i < kTurns; ++i) {
        if (slide + step < 1 || slide + step > 3)
            step = -step;
        slide += step;
        turns.append({(BenchTools::monotonicUs() - startedUs) / 1e6, slide});
        content->findChild<QToolButton *>(step > 0 ? "btn_next" : "btn_previous")->click();
        QTest::qWait(kTurnEveryMs);
    }
    content->findChild<QToolButton *>("btn_stop")->click();
    if (!EventWait::until([&]() { return frame.isNull(); }, 60000) || project->count() == 0)
        return figures;

    QList<QPair<double, QColor>> shown;
    MediaReadback::forEachPicture(project->at(0).filePath, [&](double sec, const QImage &p) {
        shown.append({sec, p.pixelColor(p.width() / 10, p.height() / 2)});
    });
    for (int i = 0; i < turns.size(); ++i) {
        const double until = i + 1 < turns.size() ? turns.at(i + 1).fileSec : 1e9;
        for (const auto &[sec, colour] : shown) {
            if (sec < turns.at(i).fileSec - 0.5 || sec >= until ||
                !SlideShow::near(colour, SlideShow::slideColour(turns.at(i).slide)))
                continue;
            figures.turnLateMs << std::max(0.0, (sec - turns.at(i).fileSec) * 1000);
            break;
        }
    }
    return figures;
}

}  // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    applyApplicationStyleSheet(app);
    const QStringList args = app.arguments();
    const int shotAt = args.indexOf("--screenshot");
    const QString shotFile =
        shotAt > 0 && shotAt + 1 < args.size() ? args.at(shotAt + 1) : QString();

    QTemporaryDir dir;
    QString error;
    if (!SlideShow::ensureDesktop() || !SlideShow::makeDeck(dir.path(), 20, "deck", &error) ||
        !SlideShow::makePresentations(dir.path(), &error)) {
        out << "could not prepare: " << error << Qt::endl;
        return 1;
    }
    PptContainer::setAgentProgram(SlideShow::copyAgent(dir.path()));
    const QString deck = dir.filePath("deck.pptx");

    // Warm-up: both LibreOffice profiles are made before anything is timed.
    const double warmAgent = openMs(dir.filePath("single.odp"));
    const double warmSoffice =
        sofficeMs(dir.filePath("single.odp"), dir.filePath("soffice-profile"), dir.filePath("out"));
    out << "warm-up (profiles made): agent " << qRound(warmAgent) << " ms, soffice "
        << qRound(warmSoffice) << " ms" << Qt::endl;

    // Three alternating rounds (the machine may be busy with other work); medians are judged.
    // Each round empties the agent's cache of PDFs, keeping its LibreOffice profile.
    QList<double> soffices, opens, reopens;
    for (int round = 0; round < 3; ++round) {
        for (const QString &pdf : QDir(dir.filePath("cache/slides")).entryList({"*.pdf"}))
            QFile::remove(dir.filePath("cache/slides/" + pdf));
        soffices << sofficeMs(deck, dir.filePath("soffice-profile"), dir.filePath("out"));
        opens << openMs(deck);
        reopens << openMs(deck);
        out << "round " << round + 1 << ": soffice alone " << qRound(soffices.last())
            << " ms, first opening to slide 1 shown " << qRound(opens.last())
            << " ms, second opening " << qRound(reopens.last()) << " ms" << Qt::endl;
    }
    using BenchTools::median;
    const double soffice =
        std::min({soffices[0], soffices[1], soffices[2]}) <= 0 ? -1 : median(soffices);
    const double open = std::min({opens[0], opens[1], opens[2]}) <= 0 ? -1 : median(opens);
    const double reopen =
        std::min({reopens[0], reopens[1], reopens[2]}) <= 0 ? -1 : median(reopens);
    out << "20 slides, medians: soffice alone " << qRound(soffice) << " ms, first opening "
        << qRound(open) << " ms, second opening " << qRound(reopen) << " ms" << Qt::endl;
    if (soffice <= 0 || open <= 0 || reopen <= 0) {
        out << "a run failed" << Qt::endl;
        return 1;
    }
    if (!shotFile.isEmpty())
        out << (screenshot(dir.filePath("lesson.pptx"), shotFile) ? "screenshot: "
                                                                  : "no screenshot: ")
            << shotFile << Qt::endl;
    const RecordFigures recorded =
        recordLesson(dir.filePath("lesson.pptx"), dir.filePath("project"));
    const double cli = BenchTools::cliStillScreenCpuPerSecond(
        kStillSeconds, "28", ScenePictureSource::kEncoderThreads, dir.filePath("cli.mp4"));
    out << "recording a still slide at 1920x1080: " << recorded.stillCpuPerSecond
        << " cpu s per second; the ffmpeg tool grabbing a still 1920x1080 screen: " << cli
        << Qt::endl;
    QStringList lates;
    for (double ms : recorded.turnLateMs)
        lates << QString::number(qRound(ms));
    out << "page turns (" << recorded.turnLateMs.size() << " of " << kTurns
        << " found in the file), ms after the turn: " << lates.join(' ') << Qt::endl;
    if (recorded.stillCpuPerSecond < 0 || cli <= 0 || recorded.turnLateMs.size() != kTurns) {
        out << "the recording failed" << Qt::endl;
        return 1;
    }
    out << QString::asprintf("open_vs_soffice=%.2f reopen_vs_open=%.2f still_slide_vs_cli=%.3f "
                             "page_turn_late_ms_p95=%.0f",
                             open / soffice, reopen / open, recorded.stillCpuPerSecond / cli,
                             BenchTools::percentile(recorded.turnLateMs, 0.95))
        << Qt::endl;
    return 0;
}
