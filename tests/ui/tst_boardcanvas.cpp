#include "support/datatable.h"
#include "support/mousedrag.h"
#include "ui/board/boardcanvas.h"
#include "ui/board/boardsettings.h"
#include "ui/board/pathrecord.h"

#include <QInputMethodEvent>
#include <QLineEdit>

#include <QUndoGroup>
#include <QUndoStack>
#include <QtTest>

#include <algorithm>
#include <memory>

using MouseDrag::drag;
using MouseDrag::grab;
using MouseDrag::line;

namespace {
QList<QPointF> pointsOf(const QPainterPath &path)
{
    QList<QPointF> points;
    for (int i = 0; i < path.elementCount(); ++i)
        points << QPointF(path.elementAt(i));
    return points;
}

// Rows of column `x` whose alpha shows paint (the pointer catcher has alpha 1).
QList<int> paintedRows(const QImage &image, int x)
{
    QList<int> rows;
    for (int y = 0; y < image.height(); ++y) {
        if (qAlpha(image.pixel(x, y)) > 8)
            rows << y;
    }
    return rows;
}

// Largest difference of one channel between two pictures of the same size.
int maxDifference(const QImage &a, const QImage &b)
{
    if (a.size() != b.size())
        return 256;
    int worst = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            worst = std::max({worst, qAbs(qRed(p) - qRed(q)), qAbs(qGreen(p) - qGreen(q)),
                              qAbs(qBlue(p) - qBlue(q)), qAbs(qAlpha(p) - qAlpha(q))});
        }
    }
    return worst;
}

bool painted(const QImage &image, QPoint p)
{
    return qAlpha(image.pixel(p)) > 8;
}
}  // namespace

class TestBoardCanvas : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        m_host = std::make_unique<QWidget>();
        m_host->resize(400, 300);
        m_canvas = new BoardCanvas(m_host.get());
        m_canvas->setGeometry(0, 0, 400, 300);
        m_settings = BoardSettings();
        m_settings.pen = QPen(QColor("#fa5151"), 5);
        m_settings.tool = ToolPen;
        m_canvas->setBoardSettings(&m_settings);
        m_host->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_host.get()));
    }
    void cleanup() { m_host.reset(); }

    void penStrokeShowsPenColourAndWidth_data()
    {
        DataTable::columns<QColor, int>("color", "width");
        QTest::newRow("red 5") << QColor("#fa5151") << 5;
        QTest::newRow("green 1") << QColor("#02c160") << 1;
        QTest::newRow("black 9") << QColor("#000000") << 9;
        QTest::newRow("blue 3") << QColor("#0daeff") << 3;
    }
    void penStrokeShowsPenColourAndWidth()
    {
        const auto [color, width] = DataTable::fetch<QColor, int>("color", "width");
        m_settings.pen = QPen(color, width);
        m_canvas->setBoardSettings(&m_settings);
        drag(m_canvas, line({50, 100}, {250, 100}, 10));

        const QImage image = grab(m_canvas);
        // A line of odd width at a whole y covers width + 1 rows, the outer two partly.
        const QList<int> rows = paintedRows(image, 150);
        QCOMPARE(rows.size(), width + 1);
        QCOMPARE(rows.first(), 100 - (width + 1) / 2);
        // Row 100 is at least half covered: its colour, unpremultiplied, is the pen's.
        const QRgb centre = qUnpremultiply(image.pixel(150, 100));
        QVERIFY2(qAbs(qRed(centre) - color.red()) <= 12 &&
                     qAbs(qGreen(centre) - color.green()) <= 12 &&
                     qAbs(qBlue(centre) - color.blue()) <= 12,
                 qPrintable(QColor(centre).name() + " for " + color.name()));
        // Nothing beyond the stroke's ends or far from it.
        QVERIFY(!painted(image, {150, 150}));
        QVERIFY(!painted(image, {30, 100}));
        QVERIFY(!painted(image, {270, 100}));
    }

    void clickWithoutMovementAddsNoStep_data()
    {
        DataTable::columns<int, QPoint, int, int>("tool", "click", "strokesAfter", "undoSteps");
        // A stroke from (50, 100) to (250, 100) is on the page, one undo step.
        QTest::newRow("pen click") << int(ToolPen) << QPoint(150, 200) << 1 << 1;
        QTest::newRow("pen click on the stroke") << int(ToolPen) << QPoint(150, 100) << 1 << 1;
        QTest::newRow("eraser click beside it") << int(ToolEraser) << QPoint(150, 200) << 1 << 1;
        QTest::newRow("eraser click on it") << int(ToolEraser) << QPoint(150, 100) << 2 << 2;
    }
    void clickWithoutMovementAddsNoStep()
    {
        const auto [tool, click, strokesAfter, undoSteps] =
            DataTable::fetch<int, QPoint, int, int>("tool", "click", "strokesAfter", "undoSteps");
        drag(m_canvas, line({50, 100}, {250, 100}, 10));
        m_settings.tool = tool;
        m_canvas->setBoardSettings(&m_settings);
        QTest::mouseClick(m_canvas, Qt::LeftButton, {}, click);
        QCOMPARE(m_canvas->curRecord()->paths().size(), strokesAfter);
        QCOMPARE(m_canvas->curRecord()->undoStack()->count(), undoSteps);
        QVERIFY(m_canvas->curRecord()->curPath().isEmpty());
    }

    void fastMovesGetPointsEvery10Pixels_data()
    {
        DataTable::columns<QPoint, QList<qreal>>("to", "fractions");
        QTest::newRow("50 across") << QPoint(150, 100) << QList<qreal>{0.2, 0.4, 0.6, 0.8};
        QTest::newRow("50 slanted") << QPoint(130, 140) << QList<qreal>{0.2, 0.4, 0.6, 0.8};
        QTest::newRow("18 none") << QPoint(118, 100) << QList<qreal>{};
        QTest::newRow("19 one") << QPoint(100, 119) << QList<qreal>{10.0 / 19};
        QTest::newRow("40 three") << QPoint(60, 100) << QList<qreal>{0.25, 0.5, 0.75};
    }
    void fastMovesGetPointsEvery10Pixels()
    {
        const auto [to, fractions] = DataTable::fetch<QPoint, QList<qreal>>("to", "fractions");
        const QPoint from(100, 100);
        drag(m_canvas, {from, to});
        QCOMPARE(m_canvas->curRecord()->paths().size(), 1);
        QList<QPointF> expected{from};
        for (qreal t : fractions)
            expected << QPointF(from) + QPointF(to - from) * t;
        expected << to;
        const QList<QPointF> got = pointsOf(m_canvas->curRecord()->paths().first().path);
        QCOMPARE(got.size(), expected.size());
        for (qsizetype i = 0; i < got.size(); ++i)
            QVERIFY2(QLineF(got.at(i), expected.at(i)).length() < 1e-6,
                     qPrintable(QString("point %1").arg(i)));
    }

    void erasingTheMiddleLeavesTwoStrokes_data()
    {
        QTest::addColumn<QList<QPoint>>("eraser");
        QTest::newRow("click") << QList<QPoint>{{200, 100}};
        QTest::newRow("slow swipe") << line({200, 40}, {200, 160}, 8);
        // Both ends are 60 pixels away from the stroke: only the band of the movement
        // reaches it.
        QTest::newRow("fast swipe") << QList<QPoint>{{200, 40}, {200, 160}};
        QTest::newRow("fast slanted swipe") << QList<QPoint>{{160, 40}, {240, 160}};
        // The pointer left the canvas on the left: the band still starts where it was.
        QTest::newRow("fast swipe from past the left edge")
            << QList<QPoint>{{10, 20}, {-30, 20}, {430, 180}};
    }
    void erasingTheMiddleLeavesTwoStrokes()
    {
        QFETCH(QList<QPoint>, eraser);
        m_settings.pen = QPen(QColor("#02c160"), 7);
        m_canvas->setBoardSettings(&m_settings);
        drag(m_canvas, line({50, 100}, {350, 100}, 10));
        PathRecord *record = m_canvas->curRecord();
        const QPainterPath original = record->paths().first().path;

        m_settings.tool = ToolEraser;
        m_canvas->setBoardSettings(&m_settings);
        drag(m_canvas, eraser);

        QCOMPARE(record->paths().size(), 2);
        for (const PathItem &piece : record->paths()) {
            QCOMPARE(piece.pen.color(), QColor("#02c160"));
            QCOMPARE(piece.pen.width(), 7);
        }
        const QRectF left = record->paths().at(0).path.controlPointRect();
        const QRectF right = record->paths().at(1).path.controlPointRect();
        QCOMPARE(left.left(), 50.0);
        QCOMPARE(right.right(), 350.0);
        QVERIFY(left.right() < right.left());
        QImage image = grab(m_canvas);
        QVERIFY(!painted(image, {200, 100}));
        QVERIFY(painted(image, {100, 100}));
        QVERIFY(painted(image, {300, 100}));
        QCOMPARE(record->undoStack()->count(), 2);  // the stroke and the whole rubbing

        m_canvas->undoGroup()->undo();
        QCOMPARE(record->paths().size(), 1);
        QCOMPARE(pointsOf(record->paths().first().path), pointsOf(original));
        image = grab(m_canvas);
        QVERIFY(painted(image, {200, 100}));

        m_canvas->undoGroup()->redo();
        QCOMPARE(record->paths().size(), 2);
        QVERIFY(!painted(grab(m_canvas), {200, 100}));
    }

    void clearingPushesOnlyWhenThereIsSomething_data()
    {
        DataTable::columns<int, int>("strokes", "stepsAfterClear");
        QTest::newRow("empty page") << 0 << 0;
        QTest::newRow("one stroke") << 1 << 2;
        QTest::newRow("three strokes") << 3 << 4;
    }
    void clearingPushesOnlyWhenThereIsSomething()
    {
        const auto [strokes, stepsAfterClear] =
            DataTable::fetch<int, int>("strokes", "stepsAfterClear");
        for (int i = 0; i < strokes; ++i)
            drag(m_canvas, line({50, 50 + 40 * i}, {250, 50 + 40 * i}, 10));
        PathRecord *record = m_canvas->curRecord();
        m_canvas->clearBoard();
        QCOMPARE(record->undoStack()->count(), stepsAfterClear);
        QVERIFY(record->paths().isEmpty());
        QVERIFY(!painted(grab(m_canvas), {150, 50}));
        if (strokes > 0) {
            m_canvas->undoGroup()->undo();
            QCOMPARE(record->paths().size(), strokes);
            QVERIFY(painted(grab(m_canvas), {150, 50}));
        }
    }

    // Each tool's item, dragged from (100, 100) to (220, 180): painted where dragged, one undo
    // step, rubbed out by the eraser along its left side, gone with 清空.
    void toolItemsAreUndoStepsTheEraserAndClearRemove_data()
    {
        DataTable::columns<int, bool, QPoint, QPoint>("tool", "shift", "paintedAt", "blankAt");
        QTest::newRow("highlighter")
            << int(ToolHighlighter) << false << QPoint(160, 140) << QPoint(160, 100);
        QTest::newRow("line") << int(ToolLine) << false << QPoint(160, 140) << QPoint(160, 100);
        // Shift: 45 degrees, as long as the drag, ending near (200, 200).
        QTest::newRow("line with Shift")
            << int(ToolLine) << true << QPoint(190, 190) << QPoint(160, 140);
        QTest::newRow("arrow") << int(ToolArrow) << false << QPoint(160, 140) << QPoint(130, 170);
        QTest::newRow("rectangle")
            << int(ToolRect) << false << QPoint(160, 180) << QPoint(160, 140);
        // Shift: a square of side 120 reaches y 220.
        QTest::newRow("square") << int(ToolRect) << true << QPoint(160, 220) << QPoint(160, 180);
        QTest::newRow("ellipse") << int(ToolEllipse) << false << QPoint(100, 140)
                                 << QPoint(100, 100);
        QTest::newRow("circle") << int(ToolEllipse) << true << QPoint(100, 160) << QPoint(100, 120);
    }
    void toolItemsAreUndoStepsTheEraserAndClearRemove()
    {
        const auto [tool, shift, paintedAt, blankAt] =
            DataTable::fetch<int, bool, QPoint, QPoint>("tool", "shift", "paintedAt", "blankAt");
        m_settings.tool = tool;
        m_canvas->setBoardSettings(&m_settings);
        const Qt::KeyboardModifiers mods = shift ? Qt::ShiftModifier : Qt::NoModifier;
        QTest::mousePress(m_canvas, Qt::LeftButton, mods, {100, 100});
        for (const QPoint &p : line({100, 100}, {220, 180}, 10))
            QTest::mouseMove(m_canvas, p);
        // The move events of QTest carry no modifiers: the release gives the Shift.
        QTest::mouseRelease(m_canvas, Qt::LeftButton, mods, {220, 180});
        PathRecord *record = m_canvas->curRecord();
        QCOMPARE(record->paths().size(), 1);
        QCOMPARE(record->undoStack()->count(), 1);
        QVERIFY(record->curPath().isEmpty());
        QImage image = grab(m_canvas);
        QVERIFY(painted(image, paintedAt));
        QVERIFY(!painted(image, blankAt));
        if (tool == ToolHighlighter) {
            // Wide and translucent: the page shows through it.
            QCOMPARE(paintedRows(image, 160).size() >= 20, true);
            QVERIFY(qAlpha(image.pixel(paintedAt)) < 140);
        }

        m_canvas->undoGroup()->undo();
        QVERIFY(record->paths().isEmpty());
        QVERIFY(!painted(grab(m_canvas), paintedAt));
        m_canvas->undoGroup()->redo();

        m_settings.tool = ToolEraser;
        m_canvas->setBoardSettings(&m_settings);
        drag(m_canvas, line(paintedAt + QPoint(0, -30), paintedAt + QPoint(0, 30), 5));
        QVERIFY(!painted(grab(m_canvas), paintedAt));
        QCOMPARE(record->undoStack()->count(), 2);

        m_canvas->clearBoard();
        QVERIFY(record->paths().isEmpty());
        QCOMPARE(record->undoStack()->count(), 3);
    }

    // Text: a click opens the edit there; keys and an input method's Chinese go in; Enter (or
    // a click elsewhere) places it in the pen's colour as one undo step; Escape drops it; the
    // eraser takes it away whole.
    void textIsPlacedWhereClicked_data()
    {
        DataTable::columns<QString, bool>("ending", "placed");
        QTest::newRow("Enter") << "enter" << true;
        QTest::newRow("click elsewhere") << "click" << true;
        QTest::newRow("Escape") << "escape" << false;
    }
    void textIsPlacedWhereClicked()
    {
        const auto [ending, placed] = DataTable::fetch<QString, bool>("ending", "placed");
        m_settings.tool = ToolText;
        m_settings.pen = QPen(QColor("#0daeff"), 3);
        m_canvas->setBoardSettings(&m_settings);
        m_host->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_host.get()));
        QTest::mouseClick(m_canvas, Qt::LeftButton, {}, {60, 80});
        QLineEdit *edit = m_canvas->textEdit();
        QVERIFY(edit);
        QTRY_VERIFY(edit->hasFocus());
        QTest::keyClicks(edit, "Ab ");
        QInputMethodEvent composing(QStringLiteral("nihao"), {});
        QCoreApplication::sendEvent(edit, &composing);
        QInputMethodEvent committed;
        committed.setCommitString(QStringLiteral("你好"));
        QCoreApplication::sendEvent(edit, &committed);
        QCOMPARE(edit->text(), QStringLiteral("Ab 你好"));
        QCOMPARE(m_canvas->typedText().filled, true);
        if (ending == "enter")
            QTest::keyClick(edit, Qt::Key_Return);
        else if (ending == "escape")
            QTest::keyClick(edit, Qt::Key_Escape);
        else
            QTest::mouseClick(m_canvas, Qt::LeftButton, {}, {300, 250});
        QVERIFY(!m_canvas->textEdit());
        PathRecord *record = m_canvas->curRecord();
        QCOMPARE(record->paths().size(), placed ? 1 : 0);
        QCOMPARE(record->undoStack()->count(), placed ? 1 : 0);
        if (!placed)
            return;
        const PathItem text = record->paths().first();
        QVERIFY(text.filled);
        QCOMPARE(text.pen.color(), QColor("#0daeff"));
        // The letters begin at the click and are as tall as the width makes them.
        const QRectF box = text.path.boundingRect();
        QVERIFY2(qAbs(box.left() - 60) < 6 && box.top() >= 78 && box.top() < 96,
                 qPrintable(QStringLiteral("%1,%2").arg(box.left()).arg(box.top())));
        QVERIFY(box.height() > 20 && box.width() > 60);
        const QImage image = grab(m_canvas);
        int coloured = 0;
        for (int y = int(box.top()); y < box.bottom(); ++y)
            for (int x = int(box.left()); x < box.right(); ++x)
                coloured += qAlpha(image.pixel(x, y)) > 200;
        QVERIFY(coloured > 100);

        m_settings.tool = ToolEraser;
        m_canvas->setBoardSettings(&m_settings);
        drag(m_canvas, line(box.center().toPoint() + QPoint(0, -20),
                            box.center().toPoint() + QPoint(0, 20), 5));
        QVERIFY(record->paths().isEmpty());
    }

    // The laser pointer: a red dot following the pointer, no press needed; nothing kept on the
    // page, no undo step; gone a second after the pointer stops.
    void laserPointerLeavesNothing()
    {
        m_settings.tool = ToolLaser;
        m_canvas->setBoardSettings(&m_settings);
        QCOMPARE(m_canvas->cursor().shape(), Qt::BlankCursor);
        for (const QPoint &p : line({100, 150}, {200, 150}, 10))
            QTest::mouseMove(m_canvas, p);
        QImage image = grab(m_canvas);
        const QRgb dot = qUnpremultiply(image.pixel(200, 150));
        QVERIFY(qRed(dot) > 200 && qGreen(dot) < 80 && qAlpha(dot) > 200);
        QVERIFY(painted(image, {180, 150}));  // the trail
        QVERIFY(m_canvas->curRecord()->paths().isEmpty());
        QCOMPARE(m_canvas->curRecord()->undoStack()->count(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(m_canvas->laser().isEmpty(), 1000);
        QVERIFY(!painted(grab(m_canvas), {200, 150}));
    }

    void undoActsOnThePageShown()
    {
        drag(m_canvas, line({50, 50}, {250, 50}, 10));
        PathRecord *page1 = m_canvas->curRecord();
        m_canvas->setPage(2);
        PathRecord *page2 = m_canvas->curRecord();
        QVERIFY(page1 != page2);
        QVERIFY(!painted(grab(m_canvas), {150, 50}));
        drag(m_canvas, line({50, 150}, {250, 150}, 10));
        drag(m_canvas, line({50, 200}, {250, 200}, 10));
        m_canvas->setPage(1);
        QVERIFY(painted(grab(m_canvas), {150, 50}));
        QVERIFY(!painted(grab(m_canvas), {150, 150}));

        QVERIFY(m_canvas->undoGroup()->canUndo());
        m_canvas->undoGroup()->undo();
        QCOMPARE(page1->paths().size(), 0);
        QCOMPARE(page2->paths().size(), 2);
        QVERIFY(!m_canvas->undoGroup()->canUndo());
        QVERIFY(!painted(grab(m_canvas), {150, 50}));

        m_canvas->setPage(2);
        QVERIFY(m_canvas->undoGroup()->canUndo());
        const QImage image = grab(m_canvas);
        QVERIFY(painted(image, {150, 150}));
        QVERIFY(painted(image, {150, 200}));
        m_canvas->setPage(2);  // the same page again changes nothing
        QCOMPARE(m_canvas->curRecord(), page2);
    }

    void switchingPagesDuringARubbingKeepsItUndoable()
    {
        PathRecord *page1 = strokeThenEraser();
        QTest::mousePress(m_canvas, Qt::LeftButton, {}, {200, 60});
        QTest::mouseMove(m_canvas, {200, 100});
        m_canvas->setPage(2);
        QTest::mouseMove(m_canvas, {200, 140});
        QTest::mouseRelease(m_canvas, Qt::LeftButton, {}, {200, 140});
        QCOMPARE(page1->paths().size(), 2);
        QCOMPARE(page1->undoStack()->count(), 2);
        QCOMPARE(m_canvas->curRecord()->undoStack()->count(), 0);
        m_canvas->setPage(1);
        m_canvas->undoGroup()->undo();
        QCOMPARE(page1->paths().size(), 1);
    }

    void secondButtonDuringAMovementChangesNothing()
    {
        PathRecord *record = strokeThenEraser();
        QTest::mousePress(m_canvas, Qt::LeftButton, {}, {100, 60});
        QTest::mouseMove(m_canvas, {100, 140});
        QTest::mousePress(m_canvas, Qt::RightButton, {}, {110, 140});
        QTest::mouseMove(m_canvas, {300, 140});
        QTest::mouseMove(m_canvas, {300, 60});
        QTest::mouseRelease(m_canvas, Qt::RightButton, {}, {300, 60});
        QTest::mouseRelease(m_canvas, Qt::LeftButton, {}, {300, 60});
        QCOMPARE(record->paths().size(), 3);
        QCOMPARE(record->undoStack()->count(), 2);
        // One undo brings back the whole stroke: both rubbed places.
        m_canvas->undoGroup()->undo();
        QCOMPARE(record->paths().size(), 1);
    }

    void toolOffPaintsNothingAndTakesNoDrawing_data()
    {
        DataTable::columns<bool, bool>("withSettings", "drawFirst");
        QTest::newRow("no settings") << false << false;
        QTest::newRow("tool off") << true << false;
        QTest::newRow("tool off after a stroke") << true << true;
    }
    void toolOffPaintsNothingAndTakesNoDrawing()
    {
        const auto [withSettings, drawFirst] =
            DataTable::fetch<bool, bool>("withSettings", "drawFirst");
        auto *canvas = new BoardCanvas(m_host.get());
        canvas->setGeometry(0, 0, 400, 300);
        canvas->show();
        canvas->raise();
        if (withSettings) {
            canvas->setBoardSettings(&m_settings);
            if (drawFirst)
                drag(canvas, line({50, 50}, {250, 50}, 10));
            m_settings.tool = ToolNone;
            canvas->setBoardSettings(&m_settings);
        }
        QVERIFY(!canvas->drawEnabled());
        QVERIFY(canvas->testAttribute(Qt::WA_TransparentForMouseEvents));
        QCOMPARE(canvas->cursor().shape(), Qt::ArrowCursor);
        drag(canvas, line({50, 150}, {250, 150}, 10));
        QCOMPARE(canvas->curRecord()->paths().size(), drawFirst ? 1 : 0);
        QCOMPARE(canvas->curRecord()->undoStack()->count(), drawFirst ? 1 : 0);

        const QImage image = grab(canvas);
        int touched = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                if (qAlpha(image.pixel(x, y)) != 0)
                    ++touched;
            }
        }
        // Strokes drawn before stay on the screen; nothing else is painted, not even the
        // almost invisible pointer catcher.
        if (drawFirst)
            QVERIFY(touched > 0 && painted(image, {150, 50}) && !painted(image, {150, 150}));
        else
            QCOMPARE(touched, 0);
        QCOMPARE(qAlpha(image.pixel(10, 290)), 0);

        m_settings.tool = ToolPen;
        canvas->setBoardSettings(&m_settings);
        QCOMPARE(qAlpha(grab(canvas).pixel(10, 290)), 1);
    }

    // The picture of finished strokes is brought up to date piece by piece; after any series
    // of changes it must look exactly like the same strokes drawn from nothing.
    void updatedPictureMatchesAFreshOne_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::newRow("strokes") << QStringList{"pen", "pen2"};
        QTest::newRow("erase") << QStringList{"pen", "pen2", "swipe"};
        QTest::newRow("erase undo") << QStringList{"pen", "pen2", "swipe", "undo"};
        QTest::newRow("erase undo redo") << QStringList{"pen", "pen2", "swipe", "undo", "redo"};
        QTest::newRow("clear undo") << QStringList{"pen", "pen2", "clear", "undo"};
        QTest::newRow("two rubbings undo") << QStringList{"pen", "pen2", "swipe", "click", "undo"};
        QTest::newRow("stroke undo") << QStringList{"pen", "pen2", "undo"};
        QTest::newRow("page away and back")
            << QStringList{"pen", "page2", "pen2", "page1", "swipe", "undo", "undo"};
    }
    void updatedPictureMatchesAFreshOne()
    {
        QFETCH(QStringList, steps);
        for (const QString &step : steps) {
            m_settings.tool = step == "swipe" || step == "click" ? ToolEraser : ToolPen;
            m_settings.pen = QPen(QColor(step == "pen2" ? "#6367f0" : "#fa5151"), 9);
            m_canvas->setBoardSettings(&m_settings);
            if (step == "pen")
                drag(m_canvas, line({40, 60}, {360, 240}, 7));
            else if (step == "pen2")
                drag(m_canvas, line({40, 240}, {360, 60}, 7));
            else if (step == "swipe")
                drag(m_canvas, {{100, 20}, {300, 280}});
            else if (step == "click")
                drag(m_canvas, {{200, 150}});
            else if (step == "undo")
                m_canvas->undoGroup()->undo();
            else if (step == "redo")
                m_canvas->undoGroup()->redo();
            else if (step == "clear")
                m_canvas->clearBoard();
            else if (step.startsWith("page"))
                m_canvas->setPage(step.mid(4).toInt());
            grab(m_canvas);  // brings the picture up to date after every step
        }
        const QImage updated = grab(m_canvas);

        BoardCanvas fresh(m_host.get());
        fresh.setGeometry(m_canvas->geometry());
        fresh.setBoardSettings(&m_settings);
        fresh.curRecord()->setPaths(m_canvas->curRecord()->paths());
        // Lines cut at the edge of a redrawn area may differ from whole ones by a few levels
        // of antialiasing; a stroke left over or missing differs by far more.
        QVERIFY2(maxDifference(updated, grab(&fresh)) <= 8,
                 qPrintable(QString::number(maxDifference(updated, grab(&fresh)))));
    }

private:
    // One pen stroke across the page from (50, 100) to (350, 100), then the eraser chosen; the
    // page's strokes.
    PathRecord *strokeThenEraser()
    {
        drag(m_canvas, line({50, 100}, {350, 100}, 10));
        m_settings.tool = ToolEraser;
        m_canvas->setBoardSettings(&m_settings);
        return m_canvas->curRecord();
    }

    std::unique_ptr<QWidget> m_host;
    BoardCanvas *m_canvas = nullptr;
    BoardSettings m_settings;
};

QTEST_MAIN(TestBoardCanvas)
#include "tst_boardcanvas.moc"
