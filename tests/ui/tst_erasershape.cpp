#include "support/datatable.h"
#include "ui/board/erasershape.h"

#include <QtTest>

class TestEraserShape : public QObject
{
    Q_OBJECT
private slots:
    void eraserShapeBandOnlyForLongMoves_data()
    {
        DataTable::columns<QPoint, bool>("move", "band");
        QTest::newRow("10 across: circle") << QPoint(10, 0) << false;
        QTest::newRow("11 across: band") << QPoint(11, 0) << true;
        QTest::newRow("5+5 slanted: circle") << QPoint(5, 5) << false;
        QTest::newRow("6+5 slanted: band") << QPoint(6, 5) << true;
        QTest::newRow("0-10 up: circle") << QPoint(0, -10) << false;
        QTest::newRow("40 back: band") << QPoint(-40, 0) << true;
    }
    void eraserShapeBandOnlyForLongMoves()
    {
        const auto [move, band] = DataTable::fetch<QPoint, bool>("move", "band");
        const QPoint last(200, 200);
        const QPoint pos = last + move;
        const EraserShape shape(pos, &last);
        QCOMPARE(shape.hasBand(), band);
        // A point 19.5 pixels to the side of the movement, near its start: outside the circle
        // around the pointer, inside the band.
        const QPointF d = QPointF(move) / QLineF(QPointF(), QPointF(move)).length();
        const QPointF side = QPointF(last) + QPointF(move) * 0.3 + QPointF(-d.y(), d.x()) * 19.5;
        QVERIFY(QLineF(side, pos).length() > EraserShape::Radius);
        QCOMPARE(shape.contains(side), band);
        // Where the band and the circle overlap, both count (not an even-odd hole).
        QVERIFY(shape.contains(pos));
        QVERIFY(shape.toPath().contains(QPointF(pos) - QPointF(move) * 0.1));
        // Its outline agrees with the test of points.
        QCOMPARE(shape.toPath().contains(side), band);
    }

    void cutKeepsThePiecesOutside_data()
    {
        DataTable::columns<QPoint, int, qreal, qreal>("eraser", "pieces", "leftEnd", "rightStart");
        // A straight stroke from (0, 0) to (200, 0) with points every 10 pixels.
        QTest::newRow("middle") << QPoint(100, 0) << 2 << 80.0 << 120.0;
        // Only (100, 0) is inside, yet the walk finds the edge of the circle at 94 and 107.
        QTest::newRow("grazing from below") << QPoint(100, 19) << 2 << 94.0 << 107.0;
        QTest::newRow("start") << QPoint(0, 0) << 1 << -1.0 << 20.0;
        QTest::newRow("end") << QPoint(200, 0) << 1 << 180.0 << -1.0;
        QTest::newRow("beside") << QPoint(100, 21) << 1 << 200.0 << 0.0;
    }
    void cutKeepsThePiecesOutside()
    {
        const auto [eraser, pieces, leftEnd, rightStart] =
            DataTable::fetch<QPoint, int, qreal, qreal>("eraser", "pieces", "leftEnd",
                                                        "rightStart");
        QPainterPath path(QPointF(0, 0));
        for (int x = 10; x <= 200; x += 10)
            path.lineTo(x, 0);
        const PathItem item(path, QPen(Qt::blue, 3));
        QList<PathItem> out;
        const bool changed = EraserShape(eraser, nullptr).cut(item, out);
        QCOMPARE(out.size(), pieces);
        QCOMPARE(changed, eraser.y() < 21);
        if (!changed) {
            QCOMPARE(out.first().id, item.id);  // the very same stroke, not a copy
            return;
        }
        for (const PathItem &piece : out) {
            QCOMPARE(piece.pen, item.pen);
            QVERIFY(piece.id != item.id);
            for (int i = 0; i < piece.path.elementCount(); ++i)
                QVERIFY(!EraserShape(eraser, nullptr).contains(piece.path.elementAt(i)) ||
                        i == piece.path.elementCount() - 1);
        }
        // Pieces reach up to the first point found inside, one pixel at a time.
        if (leftEnd >= 0)
            QVERIFY(qAbs(out.first().path.controlPointRect().right() - leftEnd) <= 1);
        if (rightStart >= 0)
            QVERIFY(qAbs(out.last().path.controlPointRect().left() - rightStart) <= 1);
    }
};

QTEST_MAIN(TestEraserShape)
#include "tst_erasershape.moc"
