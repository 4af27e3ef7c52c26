// Drawing board speed: a 1920x1080 canvas holding 500 strokes of 200 points each.
//   board            prints the figures, and last "repaint_500_ms=<n> erase_500_ms=<n>"
// repaint: one paint of the whole canvas while strokes are being drawn (finished strokes up to
// date). erase: one eraser movement across the whole canvas through the strokes, with the
// paint of the area the canvas asks to repaint after it.
// Times are medians of the processor time of the main thread (the machine may be busy with
// other work, which wall-clock times would count); the wall-clock medians are printed too. Both aim
// at 16 ms or less (one frame at 60 Hz).
#include "support/benchtools.h"
#include "ui/board/boardcanvas.h"
#include "ui/board/boardsettings.h"
#include "ui/board/pathrecord.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <QTextStream>
#include <QtMath>

#include <algorithm>
#include <functional>

#include <time.h>

namespace {
constexpr int Strokes = 500;
constexpr int PointsPerStroke = 200;
constexpr int Runs = 15;

double threadCpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

// Median processor time of `work` (after `prepare`, which is not timed); `wallMs` gets the
// median wall-clock time.
double medianMs(const std::function<void()> &prepare, const std::function<void()> &work,
                double *wallMs = nullptr)
{
    QList<double> cpu;
    QList<double> wall;
    for (int i = 0; i < Runs; ++i) {
        prepare();
        QElapsedTimer t;
        t.start();
        const double c0 = threadCpuMs();
        work();
        cpu << threadCpuMs() - c0;
        wall << t.nsecsElapsed() / 1e6;
    }
    if (wallMs)
        *wallMs = BenchTools::median(wall);
    return BenchTools::median(cpu);
}

// Strokes like handwriting: a pointer that wanders with a slowly turning direction, one event
// every 4 to 12 pixels.
void drawStrokes(PathRecord *record, BoardSettings &settings)
{
    QRandomGenerator rng(20240607);
    const QList<QColor> colors{"#fa5151", "#ffc300", "#02c160", "#0daeff", "#6367f0", "#000000"};
    const QList<int> widths{1, 3, 5, 7, 9};
    for (int s = 0; s < Strokes; ++s) {
        settings.pen.setColor(colors.at(s % colors.size()));
        settings.pen.setWidth(widths.at(s % widths.size()));
        record->setPen(settings.pen);
        QPointF p(rng.bounded(100, 1820), rng.bounded(100, 980));
        double angle = rng.bounded(360.0);
        record->press(p.toPoint(), ToolPen);
        for (int i = 1; i < PointsPerStroke; ++i) {
            angle += rng.bounded(50.0) - 25.0;
            const double step = 4.0 + rng.bounded(8.0);
            p += QPointF(qCos(qDegreesToRadians(angle)), qSin(qDegreesToRadians(angle))) * step;
            p.setX(qBound(0.0, p.x(), 1919.0));
            p.setY(qBound(0.0, p.y(), 1079.0));
            record->addPoint(p.toPoint());
        }
        record->commitPath();
    }
}
}  // namespace

int main(int argc, char **argv)
{
    qputenv("QT_LOGGING_RULES", "*.debug=false");
    QApplication app(argc, argv);
    QTextStream out(stdout);

    BoardCanvas canvas;
    canvas.resize(1920, 1080);
    BoardSettings settings;
    settings.tool = ToolPen;
    canvas.setBoardSettings(&settings);
    PathRecord *record = canvas.curRecord();
    drawStrokes(record, settings);
    const QList<PathItem> strokes = record->paths();
    qsizetype points = 0;
    for (const PathItem &item : strokes)
        points += item.path.elementCount();
    out << "strokes=" << strokes.size() << " points=" << points << "\n";

    QImage frame(canvas.size(), QImage::Format_ARGB32_Premultiplied);
    auto paintWhole = [&] {
        frame.fill(Qt::transparent);
        canvas.render(&frame);
    };

    // Every stroke drawn from nothing: after a page change or a resize.
    double wall = 0;
    const double fullMs = medianMs(
        [&] {
            canvas.setPage(2);
            paintWhole();
            canvas.setPage(1);
        },
        paintWhole, &wall);
    out << "full_redraw_ms=" << fullMs << " wall_ms=" << wall << "\n";

    const double repaintMs = medianMs([] {}, paintWhole, &wall);
    out << "repaint_ms=" << repaintMs << " wall_ms=" << wall << "\n";

    // One movement of the eraser from the left edge to the right edge through the middle.
    qsizetype piecesAfter = 0;
    auto reset = [&] {
        record->setPaths(strokes);
        paintWhole();
        record->press(QPoint(0, 540), ToolEraser);
        paintWhole();
    };
    const double cutMs = medianMs(
        reset, [&] { record->erase(QPoint(1919, 540)); }, &wall);
    const double cutWall = wall;
    piecesAfter = record->paths().size();
    const double eraseMs = medianMs(
        reset,
        [&] {
            const QRect area = record->erase(QPoint(1919, 540));
            canvas.render(&frame, area.topLeft(), QRegion(area));
        },
        &wall);
    const double eraseWall = wall;
    const double erasePaintWholeMs = medianMs(reset, [&] {
        record->erase(QPoint(1919, 540));
        paintWhole();
    });
    out << "erase_cut_ms=" << cutMs << " wall_ms=" << cutWall << " strokes_after=" << piecesAfter
        << "\n";
    out << "erase_with_repaint_ms=" << eraseMs << " wall_ms=" << eraseWall << "\n";
    out << "erase_with_whole_canvas_paint_ms=" << erasePaintWholeMs << "\n";

    // A fast slanted movement of 400 pixels in one event: its band is slanted, the area to
    // redraw is the band's bounding rectangle.
    const double slantedMs = medianMs(
        [&] {
            record->setPaths(strokes);
            paintWhole();
            record->press(QPoint(760, 340), ToolEraser);
            paintWhole();
        },
        [&] {
            const QRect area = record->erase(QPoint(1040, 620));
            canvas.render(&frame, area.topLeft(), QRegion(area));
        },
        &wall);
    out << "erase_slanted_400px_ms=" << slantedMs << " wall_ms=" << wall << "\n";

    out << "repaint_500_ms=" << repaintMs << " erase_500_ms=" << eraseMs << "\n";
    return 0;
}
