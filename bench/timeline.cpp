// Timeline speed and look (run through the script bench/timeline).
//   timeline                   sets 500, 1000 and 5000 clips, lays them out and paints the
//                              visible view at scale 1 and at the minimum scale; the last line
//                              is "refresh_500_ms=<n> paint_500_ms=<n> refresh_1000_ms=<n>
//                              refresh_5000_ms=<n>" (aims: refresh at 500 clips <= 100 ms,
//                              paint <= 16 ms, refresh at 5000 clips <= 300 ms)
//   timeline --screenshot DIR  writes PNG pictures of the timeline holding three real clips
//                              with their thumbnails and waveforms
#include "core/media/avshowmanager.h"
#include "core/timeline/imfcommon.h"
#include "support/benchtools.h"
#include "support/cliplist.h"
#include "support/testmedia.h"
#include "support/timelineinput.h"
#include "ui/timeline/graphicsviewscalable.h"
#include "ui/timeline/graphicswidgetresources.h"
#include "ui/timeline/graphicswidgetsequence.h"
#include "ui/timeline/widgetcomposition.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPixmapCache>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>

#include <algorithm>
#include <cstdio>

namespace {

// A clip of a file made by TestMedia::makeLecture.
AVData mediaClip(const QString &path, qint64 durationMs, qint64 beginMs, qint64 endMs,
                 const QString &title)
{
    return ClipList::clip(path, durationMs, beginMs, endMs, title, TestMedia::kLectureSize);
}

// Waits (with the event loop running) until every block has its picture, or `timeoutMs`.
bool waitForPictures(WidgetComposition &w, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < timeoutMs) {
        bool all = true;
        for (int track = 0; track < 2 && all; ++track) {
            GraphicsWidgetSequence *s = w.segment()->sequenceAt(track);
            for (int i = 0; i < s->resourceCount() && all; ++i) {
                AbstractGraphicsWidgetResources *block = s->resourceAt(i);
                QPixmap pixmap;
                if (auto *video = qobject_cast<GraphicsWidgetVideoResource *>(block))
                    all = block->showManager()->getImageOnTime(video->thumbnailSecond(), pixmap);
                else
                    all = block->showManager()->getSpectrum(pixmap);
            }
        }
        if (all)
            return true;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(20);
    }
    return false;
}

double fitMinimum(WidgetComposition &w)
{
    double minScale = -1;
    QObject::connect(&w, &WidgetComposition::sig_MinScaleValueChanged, &w,
                     [&](double m) { minScale = m; });
    QElapsedTimer t;
    t.start();
    while (minScale < 0 && t.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QObject::disconnect(&w, &WidgetComposition::sig_MinScaleValueChanged, &w, nullptr);
    return minScale;
}

int screenshots(const QString &dirPath)
{
    QDir().mkpath(dirPath);
    QTemporaryDir media;
    const QString a = media.filePath("lesson_a.mp4"), b = media.filePath("lesson_b.mp4"),
                  c = media.filePath("lesson_c.mp4");
    if (!TestMedia::makeLecture(a, 14, "testsrc2", 220) ||
        !TestMedia::makeLecture(b, 22, "smptehdbars", 330) ||
        !TestMedia::makeLecture(c, 10, "mandelbrot", 180)) {
        std::fprintf(stderr, "could not make the test media\n");
        return 1;
    }
    WidgetComposition w;
    w.resize(1000, 230);
    w.show();
    w.avDatas = TimelineInput::laidOut({
        mediaClip(a, 14000, 1000, 13000, QStringLiteral("第一节 课程导入")),
        mediaClip(b, 22000, 0, 20000, QStringLiteral("第二节 例题讲解")),
        mediaClip(c, 10000, 2000, 10000, QStringLiteral("第三节 课堂小结")),
    });
    w.refresh();
    const double minScale = fitMinimum(w);
    if (!waitForPictures(w, 60000))
        std::fprintf(stderr, "not every picture arrived in time\n");
    // The second clip selected, its left handle dragged 3 seconds in; the playhead at 0:25.
    QWidget *viewport = w.compositionView()->viewport();
    const QPoint inBlock = w.compositionView()->mapFromScene(QPointF(288 + 240, 45));
    TimelineInput::press(viewport, inBlock);
    TimelineInput::release(viewport, inBlock);
    TimelineInput::drag(viewport, w.compositionView()->mapFromScene(QPointF(288 + 4, 45)),
                        w.compositionView()->mapFromScene(QPointF(288 + 72, 45)));
    w.slot_change_cur_time(25000);
    waitForPictures(w, 10000);

    struct Shot
    {
        const char *name;
        double scale;
    };
    const Shot shots[] = {{"timeline_scale1.png", 1.0},
                          {"timeline_scale2.png", 2.0},
                          {"timeline_minscale.png", minScale}};
    for (const Shot &shot : shots) {
        w.setScaleValue(shot.scale);
        w.compositionView()->horizontalScrollBar()->setValue(0);
        QCoreApplication::processEvents();
        const QString file = QDir(dirPath).filePath(shot.name);
        if (!w.grab().save(file)) {
            std::fprintf(stderr, "could not write %s\n", qPrintable(file));
            return 1;
        }
        std::printf("%s scale=%.4f\n", qPrintable(file), w.compositionView()->horizontalScale());
    }
    return 0;
}

struct Figures
{
    double build, refresh, drop, paint1, paintMin;
};

// `clips` set into the timeline holding other clips: the first refresh builds every block
// (as opening a project does), the next ones find every clip unchanged (as after an edit
// of a few clips).
Figures measure(WidgetComposition &w, const QList<AVData> &clips)
{
    QList<double> refresh, drop, paint1, paintMin;
    double build = 0;
    QElapsedTimer t;
    for (int round = 0; round < 5; ++round) {
        w.avDatas = clips;
        t.start();
        w.refresh();
        const double ms = t.nsecsElapsed() / 1e6;
        if (round == 0)
            build = ms;
        else
            refresh << ms;
        t.start();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        drop << t.nsecsElapsed() / 1e6;
    }
    const double minScale = fitMinimum(w);
    QWidget *tracks = w.compositionView()->viewport();
    QWidget *ruler = w.timelineView()->viewport();
    auto paintOnce = [&] {
        t.start();
        tracks->repaint();
        ruler->repaint();
        return t.nsecsElapsed() / 1e6;
    };
    w.setScaleValue(1.0);
    QCoreApplication::processEvents();
    for (int i = 0; i < 7; ++i)
        paint1 << paintOnce();
    w.setScaleValue(minScale);
    QCoreApplication::processEvents();
    for (int i = 0; i < 7; ++i)
        paintMin << paintOnce();
    using BenchTools::median;
    return {build, median(refresh), median(drop), median(paint1), median(paintMin)};
}

int bench()
{
    QTemporaryDir media;
    QStringList files;
    for (int i = 0; i < 3; ++i) {
        files << media.filePath(QString("m%1.mp4").arg(i));
        if (!TestMedia::makeLecture(files.last(), 6, i == 1 ? "smptehdbars" : "testsrc2",
                                    200 + 90 * i)) {
            std::fprintf(stderr, "could not make the test media\n");
            return 1;
        }
    }
    // Clips of 2 to 4 s cut from three files: few distinct pictures, as in a real lecture
    // made of many cuts of a few recordings.
    auto clipList = [&](int n) {
        QList<AVData> clips;
        for (int i = 0; i < n; ++i) {
            const qint64 begin = (i % 3) * 1000;
            clips << mediaClip(files.at(i % 3), 6000, begin, begin + 2000 + (i % 2) * 1000,
                               QStringLiteral("片段 %1").arg(i + 1));
        }
        return TimelineInput::laidOut(clips);
    };
    WidgetComposition w;
    w.resize(1600, 230);
    w.show();
    QCoreApplication::processEvents();
    // Warm-up: the pictures are made once and stay in the cache, as they do while editing.
    w.avDatas = clipList(6);
    w.refresh();
    if (!waitForPictures(w, 60000))
        std::fprintf(stderr, "not every picture arrived in time\n");

    const Figures f500 = measure(w, clipList(500));
    const Figures f1000 = measure(w, clipList(1000));
    const Figures f5000 = measure(w, clipList(5000));
    for (auto [n, f] : {std::pair<int, Figures>{500, f500}, {1000, f1000}, {5000, f5000}})
        std::printf("clips=%d build_ms=%.1f refresh_unchanged_ms=%.1f drop_old_blocks_ms=%.1f "
                    "paint_scale1_ms=%.1f paint_minscale_ms=%.1f\n",
                    n, f.build, f.refresh, f.drop, f.paint1, f.paintMin);
    // A refresh is judged by its slower kind, the one that builds every block.
    std::printf("refresh_500_ms=%.1f paint_500_ms=%.1f refresh_1000_ms=%.1f refresh_5000_ms=%.1f\n",
                std::max(f500.build, f500.refresh), std::max(f500.paint1, f500.paintMin),
                std::max(f1000.build, f1000.refresh), std::max(f5000.build, f5000.refresh));
    return 0;
}

}  // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    BenchTools::printMessagesFrom(QtWarningMsg);
    return BenchTools::benchmarkOrScreenshots(
        app.arguments(), "--screenshot", "usage: timeline [--screenshot DIR]", bench, screenshots);
}
