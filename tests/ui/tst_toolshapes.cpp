// The geometry of the drawing tools: where Shift puts a shape's end, shapes as polylines the
// eraser can cut, placed text rubbed out whole, the highlighter's pen and the laser pointer's
// fading.
#include "support/datatable.h"
#include "ui/board/boardsettings.h"
#include "ui/board/erasershape.h"
#include "ui/board/lasertrail.h"
#include "ui/board/toolshapes.h"

#include <QLineF>
#include <QtTest>

#include <cmath>

using namespace toolshapes;

class TestToolShapes : public QObject
{
    Q_OBJECT
private slots:
    void shiftConstrainsTheEnd_data()
    {
        DataTable::columns<int, QPointF, bool, QPointF>("tool", "end", "shift", "expected");
        // All from (100, 100).
        const qreal d = std::hypot(100.0, 10.0);
        QTest::newRow("line free")
            << int(ToolLine) << QPointF(150, 127) << false << QPointF(150, 127);
        QTest::newRow("line near level")
            << int(ToolLine) << QPointF(200, 110) << true << QPointF(100 + d, 100);
        const qreal diag = std::hypot(50.0, 45.0) / std::sqrt(2.0);
        QTest::newRow("line near 45 degrees down-left")
            << int(ToolLine) << QPointF(50, 145) << true << QPointF(100 - diag, 100 + diag);
        QTest::newRow("arrow near straight up") << int(ToolArrow) << QPointF(103, 20) << true
                                                << QPointF(100, 100 - std::hypot(3.0, 80.0));
        QTest::newRow("rectangle to square")
            << int(ToolRect) << QPointF(150, 120) << true << QPointF(150, 150);
        QTest::newRow("ellipse to circle, up-left")
            << int(ToolEllipse) << QPointF(70, 90) << true << QPointF(70, 70);
        QTest::newRow("rectangle free")
            << int(ToolRect) << QPointF(150, 120) << false << QPointF(150, 120);
        QTest::newRow("pen is never constrained")
            << int(ToolPen) << QPointF(150, 127) << true << QPointF(150, 127);
    }
    void shiftConstrainsTheEnd()
    {
        const auto [tool, end, shift, expected] =
            DataTable::fetch<int, QPointF, bool, QPointF>("tool", "end", "shift", "expected");
        const QPointF got = constrainedEnd(tool, QPointF(100, 100), end, shift);
        QVERIFY2(QLineF(got, expected).length() < 1e-6,
                 qPrintable(QStringLiteral("%1,%2").arg(got.x()).arg(got.y())));
    }

    // Every shape spans the drag (an arrow's barbs stay within half its length of the tip)
    // and has a point at least every kPointSpacing, so the eraser finds it anywhere.
    void shapesSpanTheDragWithClosePoints_data()
    {
        DataTable::columns<int, QPointF, QPointF>("tool", "from", "to");
        QTest::newRow("line") << int(ToolLine) << QPointF(10, 20) << QPointF(300, 90);
        QTest::newRow("arrow backwards") << int(ToolArrow) << QPointF(300, 90) << QPointF(10, 20);
        QTest::newRow("rectangle dragged up-left")
            << int(ToolRect) << QPointF(300, 200) << QPointF(40, 30);
        QTest::newRow("flat ellipse") << int(ToolEllipse) << QPointF(0, 0) << QPointF(400, 30);
        QTest::newRow("tiny ellipse") << int(ToolEllipse) << QPointF(5, 5) << QPointF(9, 8);
    }
    void shapesSpanTheDragWithClosePoints()
    {
        const auto [tool, from, to] = DataTable::fetch<int, QPointF, QPointF>("tool", "from", "to");
        const QPainterPath path = shapePath(tool, from, to, 5);
        QVERIFY(path.elementCount() >= 2);
        const QRectF drag = QRectF(from, to).normalized();
        const QRectF bounds = path.controlPointRect();
        if (tool == ToolArrow) {
            QVERIFY(bounds.contains(drag.adjusted(0.5, 0.5, -0.5, -0.5)));
            QVERIFY(bounds.adjusted(30, 30, -30, -30).width() < drag.width());
        } else {
            QVERIFY2(qAbs(bounds.left() - drag.left()) < 1e-6 &&
                         qAbs(bounds.right() - drag.right()) < 1e-6 &&
                         qAbs(bounds.top() - drag.top()) < 1e-6 &&
                         qAbs(bounds.bottom() - drag.bottom()) < 1e-6,
                     qPrintable(QStringLiteral("%1 %2 %3 %4")
                                    .arg(bounds.left())
                                    .arg(bounds.top())
                                    .arg(bounds.right())
                                    .arg(bounds.bottom())));
        }
        for (int i = 1; i < path.elementCount(); ++i) {
            if (path.elementAt(i).isMoveTo())
                continue;
            const qreal gap = QLineF(path.elementAt(i - 1), path.elementAt(i)).length();
            QVERIFY2(gap <= kPointSpacing + 1e-6, qPrintable(QString::number(gap)));
        }
        QVERIFY(shapePath(tool, from, from, 5).isEmpty());  // a click draws nothing
    }

    // The eraser cuts a shape like a stroke, and takes placed text whole once it touches a
    // letter, never when it only comes near.
    void eraserCutsShapesAndTakesTextWhole()
    {
        const PathItem rect(shapePath(ToolRect, {100, 100}, {300, 200}, 3), QPen(Qt::red, 3));
        QList<PathItem> left;
        QVERIFY(EraserShape(QPoint(200, 200), nullptr).cut(rect, left));
        QCOMPARE(left.size(), 2);  // the bottom edge cut in the middle: two pieces

        QFont font = textFont(5);
        const PathItem text(textPath(QStringLiteral("板书"), font, {100, 100}), QPen(Qt::blue),
                            true);
        const QRectF box = text.path.boundingRect();
        left.clear();
        QVERIFY(!EraserShape(QPoint(int(box.right()) + 22, int(box.center().y())), nullptr)
                     .cut(text, left));
        QCOMPARE(left.size(), 1);
        left.clear();
        QVERIFY(EraserShape(box.center().toPoint(), nullptr).cut(text, left));
        QVERIFY(left.isEmpty());
    }

    void highlighterIsWideAndTranslucent_data()
    {
        DataTable::columns<int, qreal>("width", "highlighterWidth");
        QTest::newRow("thinnest") << 1 << 16.0;
        QTest::newRow("middle") << 5 << 32.0;
        QTest::newRow("thickest") << 9 << 48.0;
    }
    void highlighterIsWideAndTranslucent()
    {
        const auto [width, highlighterWidth] =
            DataTable::fetch<int, qreal>("width", "highlighterWidth");
        const QPen base(QColor("#ffc300"), width);
        const QPen pen = toolPen(ToolHighlighter, base);
        QCOMPARE(pen.widthF(), highlighterWidth);
        QVERIFY(pen.color().alpha() < 128);
        QCOMPARE(pen.color().rgb(), base.color().rgb());
        QCOMPARE(toolPen(ToolRect, base).color(), base.color());
        QCOMPARE(toolPen(ToolRect, base).widthF(), base.widthF());
        QCOMPARE(toolPen(ToolPen, base), base);
        QVERIFY(textFont(width + 1).pixelSize() > textFont(width).pixelSize());
    }

    // The dot stays while the pointer moves and kDotMs after it stops; the trail behind it
    // only kTrailMs.
    void laserTrailFades_data()
    {
        DataTable::columns<qint64, bool, int>("at", "shown", "points");
        // Points at 0, 100 and 200 ms.
        QTest::newRow("while moving") << qint64(250) << true << 3;
        QTest::newRow("first point faded") << qint64(300) << true << 2;
        QTest::newRow("only the dot") << qint64(600) << true << 1;
        QTest::newRow("dot about to go") << qint64(899) << true << 1;
        QTest::newRow("gone") << qint64(900) << false << 0;
    }
    void laserTrailFades()
    {
        const auto [at, shown, points] =
            DataTable::fetch<qint64, bool, int>("at", "shown", "points");
        LaserTrail trail;
        trail.add({10, 10}, 0);
        trail.add({20, 10}, 100);
        trail.add({30, 10}, 200);
        QCOMPARE(trail.prune(at), shown);
        QCOMPARE(trail.isEmpty(), !shown);
        if (shown) {
            QCOMPARE(trail.dot(), QPointF(30, 10));
            const QRectF bounds = trail.bounds();
            QVERIFY(bounds.left() < 30 - (points - 1) * 10 - LaserTrail::kDotRadius + 1e-6);
            QVERIFY(bounds.left() > 30 - points * 10 - LaserTrail::kDotRadius - 5);
        }
    }
};

QTEST_MAIN(TestToolShapes)
#include "tst_toolshapes.moc"
