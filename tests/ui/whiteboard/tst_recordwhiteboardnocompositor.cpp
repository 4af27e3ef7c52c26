// The whiteboard on a desktop without a compositing manager: nothing is taken from the screen,
// so the board, its strokes and the recording are the same as with one. 白板 from the editor,
// a red stroke with the real pointer, 结束: the stroke is in the file.
#include "core/project/projectdata.h"
#include "core/record/screenrecord.h"
#include "support/mediareadback.h"
#include "support/testdisplay.h"
#include "support/whiteboardjourney.h"
#include "ui/whiteboard/recordwhiteboardwidget.h"

#include <QPointer>
#include <QTemporaryDir>
#include <QtTest>

using namespace WhiteboardJourney;

class TestRecordWhiteboardNoCompositor : public QObject
{
    Q_OBJECT
public:
    static void initMain() { TestDisplay::useDisplayWithoutCompositor(); }

private slots:
    void strokesAreRecorded();

private:
    QTemporaryDir m_dir;
};

void TestRecordWhiteboardNoCompositor::strokesAreRecorded()
{
    QVERIFY(!TestDisplay::hasCompositor());
    QVERIFY(openEditor(m_dir.path()));
    RecordWhiteboardWidget *w = openWhiteboard();
    QVERIFY(w);
    QPointer<QWidget> frame = w->window();
    QVERIFY(clickButton(w, "btn_play"));
    QTRY_COMPARE_WITH_TIMEOUT(w->recorder()->state(), ScreenRecord::Recording, 20000);
    QTest::qWait(500);
    QPoint redAt;
    QVERIFY(drawStroke(w, 0.5, &redAt));
    QTest::qWait(1000);
    QVERIFY(clickButton(w, "btn_stop"));
    QTRY_VERIFY_WITH_TIMEOUT(frame.isNull(), 60000);

    const QList<AVData> clips = ProjectData::instance()->avDatas();
    QCOMPARE(titlesOf(clips), (QStringList{"a", "b", "白板第1页", "b"}));
    const AVData &board = clips.at(2);
    QCOMPARE(MediaReadback::decodeErrors(board.filePath), QString());
    const QList<QPair<double, QImage>> frames = pictures(board.filePath);
    // Not before the stroke (the board starts white), and at the end.
    QVERIFY(!showsNear(shownAt(frames, 0.1), redAt, QColor("#fa5151")));
    QVERIFY(showsNear(shownAt(frames, board.endTime / 1000.0 - 0.1), redAt, QColor("#fa5151")));
}

QTEST_MAIN(TestRecordWhiteboardNoCompositor)
#include "tst_recordwhiteboardnocompositor.moc"
