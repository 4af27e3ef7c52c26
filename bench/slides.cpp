// Opening a presentation in the recording window: from the open request to the first slide
// on the screen inside the container, against LibreOffice converting the same file alone.
//   slides [--screenshot FILE]   prints the figures, and last
//                                "open_vs_soffice=<ratio> reopen_vs_open=<ratio>"
// open: a 20-slide .pptx opened for the first time (the agent converts it); soffice: the same
// file converted by `soffice --headless --convert-to pdf` alone, in the same run; reopen: the
// same file opened again (from the agent's cache); medians of three rounds. Both LibreOffice
// profiles are made by a warm-up conversion first, so neither pays for creating its profile.
// Aims: 1.3 and 0.2 or less. --screenshot FILE saves the presentation recording window with a slide
// and a stroke.
#include "support/benchtools.h"
#include "support/eventwait.h"
#include "support/mousedrag.h"
#include "support/slideshow.h"
#include "ui/app/startup.h"
#include "ui/base/basewindow.h"
#include "ui/base/loaddingview.h"
#include "ui/board/boardcanvas.h"
#include "ui/board/boardtoolswidget.h"
#include "ui/slides/pptcontainer.h"
#include "ui/slides/recordpptwidget.h"

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
            if (!container->isEmbedded())
                return false;
            const QRect slides = container->slideRect();
            const QPoint probe(slides.left() + slides.width() / 10, slides.center().y());
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
    if (!EventWait::until([&]() { return container->isEmbedded(); }, 120000))
        return false;
    container->setCanvasVisible(true);
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
    out << QString::asprintf("open_vs_soffice=%.2f reopen_vs_open=%.2f", open / soffice,
                             reopen / open)
        << Qt::endl;
    return 0;
}
