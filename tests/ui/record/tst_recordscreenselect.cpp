// Choosing the area to record, as a teacher does it with the real pointer on the test desktop:
// short drags, the start button's size limit, a handle dragged past the opposite edge, moves beyond
// the screen's edges, Escape; and where the recording bar goes.
#include "editorstandin.h"
#include "support/datatable.h"
#include "support/screenpixels.h"
#include "support/xpointer.h"
#include "ui/record/recordscreenselectwidget.h"
#include "ui/record/recordscreenwidget.h"
#include "ui/record/screengraphicsitem.h"
#include "ui/record/screenselectedbuttonwidget.h"

#include <QApplication>
#include <QGraphicsProxyWidget>
#include <QScreen>
#include <QSignalSpy>
#include <QtTest>

using namespace ScreenPixels;

class TestRecordScreenSelect : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QCOMPARE(QGuiApplication::primaryScreen()->geometry(), QRect(0, 0, 1920, 1080));
    }

    void ctrlBarPlacement_data()
    {
        DataTable::columns<QRectF, QPoint>("area", "bar");
        // Under the area, its right edge on the area's right edge.
        QTest::newRow("fits under") << QRectF(500, 300, 800, 400) << QPoint(1300 - 705, 717);
        QTest::newRow("fractions cut")
            << QRectF(500.6, 300.4, 800.7, 400.9) << QPoint(1301 - 705, 718);
        // The bar's last row exactly on the screen's last row.
        QTest::newRow("just fits") << QRectF(1000, 200, 900, 783) << QPoint(1900 - 705, 1000);
        // Inside the area, centred, 10 pixels above its bottom.
        QTest::newRow("one row short") << QRectF(1000, 200, 900, 784) << QPoint(1097, 895);
        QTest::newRow("touching the bottom") << QRectF(200, 600, 800, 480) << QPoint(247, 991);
        QTest::newRow("narrow at the left") << QRectF(0, 100, 300, 300) << QPoint(0, 417);
        QTest::newRow("narrow, bottom left") << QRectF(10, 880, 200, 200) << QPoint(0, 991);
    }
    void ctrlBarPlacement()
    {
        const auto [area, bar] = DataTable::fetch<QRectF, QPoint>("area", "bar");
        QCOMPARE(RecordScreenWidget::ctrlWidgetPos(area, QSize(706, 80), 1079), bar);
    }

    // Drawing, resizing and moving the rectangle with the real pointer; Escape cancels.
    void selectByHand()
    {
        Editor editor;
        editor.startSelection();
        RecordScreenSelectWidget *select = editor.select;
        QVERIFY(select);
        QCOMPARE(select->geometry(), QRect(0, 0, 1920, 1080));
        ScreenGraphicsItem *item = select->selectionItem();
        QSignalSpy cancelled(select, &RecordScreenSelectWidget::sig_Cancel);

        // Shorter than 4 pixels across: no rectangle.
        QVERIFY(XPointer::drag({{300, 300}, {303, 340}}));
        QCOMPARE(item->selectRect(), QRectF(0, 0, 0, 0));
        QVERIFY(item->handles().isEmpty());

        // 15 x 200: a rectangle with handles, but no start button.
        QVERIFY(XPointer::drag({{300, 300}, {315, 500}}));
        QCOMPARE(item->selectRect(), QRectF(300, 300, 15, 200));
        QCOMPARE(item->handles().size(), 8);
        QVERIFY(!item->buttonProxy()->isVisible());

        // The right handle drawn out to 400 x 200: the buttons appear under it.
        QVERIFY(XPointer::drag({{315, 400}, {700, 400}}));
        QCOMPARE(item->selectRect(), QRectF(300, 300, 400, 200));
        QVERIFY(item->buttonProxy()->isVisible());
        QCOMPARE(item->buttonProxy()->pos(), QPointF(700 - 151, 517));

        // The left handle dragged past the right edge goes on as the right handle.
        QVERIFY(XPointer::moveTo({300, 400}));
        QVERIFY(XPointer::press());
        QVERIFY(!item->buttonProxy()->isVisible());
        for (int x = 310; x <= 650; x += 20)
            QVERIFY(XPointer::moveTo({x, 400}));
        QCOMPARE(item->selectRect(), QRectF(650, 300, 50, 200));
        XPointer::moveTo({690, 400});
        XPointer::moveTo({710, 400});
        XPointer::moveTo({750, 400});
        QCOMPARE(item->selectRect(), QRectF(700, 300, 50, 200));
        QCOMPARE(item->curSelectBtnPos(), PosRight);
        XPointer::moveTo({800, 400});
        QCOMPARE(item->selectRect(), QRectF(700, 300, 100, 200));
        QVERIFY(XPointer::release());

        // Moved far beyond the left edge: pinned there, size kept; then beyond the right edge.
        QVERIFY(XPointer::drag({{750, 350}, {400, 350}, {0, 360}}, 40));
        QCOMPARE(item->selectRect(), QRectF(0, 310, 100, 200));
        QVERIFY(XPointer::drag({{50, 400}, {900, 400}, {1919, 400}}, 60));
        QCOMPARE(item->selectRect().right(), 1920.0);
        QCOMPARE(item->selectRect().size(), QSizeF(100, 200));
        QVERIFY(item->buttonProxy()->isVisible());
        QCOMPARE(item->buttonProxy()->pos().x(), 1920.0 - 151);

        QVERIFY(XPointer::key("Escape"));
        QVERIFY(waitUntil([&]() { return editor.select.isNull(); }, 3000));
        QCOMPARE(cancelled.count(), 1);
        QVERIFY(waitUntil([&]() { return !editor.window.isMinimized(); }, 3000));
        QVERIFY(editor.window.isVisible());
    }
};

QTEST_MAIN(TestRecordScreenSelect)
#include "tst_recordscreenselect.moc"
