// Recording a board lesson from the editor: 白板 opens the whiteboard window at the playhead;
// a red stroke on page 1, 新建页 and a blue stroke on page 2, a pause, back to page 1 (its
// stroke still there), 结束. Then the clips in the project, the pictures in their file at
// chosen times, and the export of the project. The real window on the test display with its
// window manager and compositing manager, the real pointer, the real recording engine.
#include "core/export/exportmanager.h"
#include "core/project/projectdata.h"
#include "core/record/screenrecord.h"
#include "support/mediainspect.h"
#include "support/mediareadback.h"
#include "support/mp4chapters.h"
#include "support/screenpixels.h"
#include "support/testdisplay.h"
#include "support/whiteboardjourney.h"
#include "ui/base/basemainwidget.h"
#include "ui/base/basewindow.h"
#include "ui/board/boardcanvas.h"
#include "ui/board/countdownwidget.h"
#include "ui/board/pathrecord.h"
#include "ui/whiteboard/recordwhiteboardwidget.h"
#include "ui/whiteboard/whiteboardview.h"

#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

using namespace WhiteboardJourney;

namespace {
const QColor kRed("#fa5151");
const QColor kBlue("#0daeff");
const QColor kPointerDot("#f2733d");

struct Window
{
    QPointer<BaseWindow> frame;
    QPointer<RecordWhiteboardWidget> content;
};

// The whiteboard window as the editor opens it, with the playhead 2 s into "b".
Window openWindow()
{
    Window w;
    w.frame = new BaseWindow;
    w.content = new RecordWhiteboardWidget;
    w.frame->setContentWidget(w.content);
    w.frame->resize(1280, 800);
    w.frame->show();
    const ClipAtResult at = ProjectData::instance()->clipAt(6000);
    w.content->setInsertPoint(at.clip, at.offset);
    return w;
}
}  // namespace

class TestRecordWhiteboard : public QObject
{
    Q_OBJECT
private slots:
    void recordsOnePageAfterAnother();
    void closingWithoutRecordingInsertsNothing_data();
    void closingWithoutRecordingInsertsNothing();
    void recorderFailureRestoresTheClips();

private:
    QTemporaryDir m_dir;
    int m_runs = 0;
};

void TestRecordWhiteboard::recordsOnePageAfterAnother()
{
    QVERIFY(TestDisplay::hasCompositor());
    QVERIFY(openEditor(m_dir.path()));
    RecordWhiteboardWidget *w = openWhiteboard();
    QVERIFY(w);
    QPointer<QWidget> frame = w->window();
    const QLabel *page = w->form().label_page;
    QCOMPARE(page->text(), QStringLiteral("第 1 / 1 页"));

    // 开始: three seconds of count-down on the board, then the recording.
    QVERIFY(clickButton(w, "btn_play"));
    QTRY_VERIFY(w->countDown() && w->countDown()->isVisible());
    QTRY_COMPARE_WITH_TIMEOUT(w->recorder()->state(), ScreenRecord::Recording, 20000);
    QElapsedTimer recording;
    recording.start();
    QVERIFY(!w->form().btn_play->isVisible());
    // The bar says whether the computer's sound is recorded: not, as the settings start.
    auto *computerSound = w->findChild<QLabel *>("label_computer_sound");
    QTRY_VERIFY(computerSound && computerSound->isVisible());
    QCOMPARE(computerSound->text(), QStringLiteral("不录电脑声音"));

    QPoint redAt;
    QVERIFY(drawStroke(w, 0.3, &redAt));
    QTest::qWait(1500);

    // 新建页 while recording: page 2 of 2, empty, drawn on in blue.
    QVERIFY(clickButton(w, "btn_new_page"));
    QCOMPARE(page->text(), QStringLiteral("第 2 / 2 页"));
    QVERIFY(w->board()->canvas()->curRecord()->paths().isEmpty());
    QVERIFY(choosePenColour(w, kBlue));
    QPoint blueAt;
    QVERIFY(drawStroke(w, 0.6, &blueAt));
    QTest::qWait(1500);

    // A pause of two seconds, left out of the file.
    QVERIFY(clickButton(w, "btn_pause"));
    QCOMPARE(w->recorder()->state(), ScreenRecord::Paused);
    QCOMPARE(w->form().btn_play->text(), QStringLiteral("继续"));
    QElapsedTimer paused;
    paused.start();
    QTest::qWait(2000);
    QVERIFY(clickButton(w, "btn_play"));
    QCOMPARE(w->recorder()->state(), ScreenRecord::Recording);
    const qint64 pausedMs = paused.elapsed();
    QTest::qWait(800);

    // Back to page 1: its red stroke is still there.
    QVERIFY(clickButton(w, "btn_previous"));
    QCOMPARE(page->text(), QStringLiteral("第 1 / 2 页"));
    const QList<PathItem> strokes = w->board()->canvas()->curRecord()->paths();
    QCOMPARE(strokes.size(), 1);
    QCOMPARE(strokes.first().pen.color(), kRed);
    QTest::qWait(1200);

    QVERIFY(clickButton(w, "btn_stop"));
    const qint64 recordedMs = recording.elapsed() - pausedMs;
    QTRY_VERIFY_WITH_TIMEOUT(frame.isNull(), 60000);

    // At the playhead, 2 s into b: a block per page shown, in one file.
    const QList<AVData> clips = ProjectData::instance()->avDatas();
    QCOMPARE(titlesOf(clips), (QStringList{"a", "b", "白板第1页", "白板第2页", "白板第1页", "b"}));
    QCOMPARE(clips.at(1).endTime, 2000);
    QCOMPARE(clips.at(5).beginTime, 2000);
    const QString file = clips.at(2).filePath;
    qint64 boardMs = 0;
    for (int i = 2; i <= 4; ++i) {
        QCOMPARE(clips.at(i).filePath, file);
        QCOMPARE(clips.at(i).videoWidth, 1920);
        if (i > 2)
            QCOMPARE(clips.at(i).beginTime, clips.at(i - 1).endTime);
        boardMs += clips.at(i).length();
    }
    QCOMPARE(clips.at(2).beginTime, 0);
    QCOMPARE(clips.at(4).endTime, clips.at(4).duration);
    // The pause is not in the file: the clips last what was recorded around it.
    QVERIFY2(
        qAbs(boardMs - recordedMs) <= 400,
        qPrintable(
            QStringLiteral("%1 ms recorded, %2 ms in the clips").arg(recordedMs).arg(boardMs)));

    // The file decodes cleanly; its pictures come when the board changed, in rising time,
    // far fewer than a steady 30 a second.
    QCOMPARE(MediaReadback::decodeErrors(file), QString());
    const QList<QPair<double, QImage>> frames = pictures(file);
    QVERIFY(!frames.isEmpty());
    for (int i = 1; i < frames.size(); ++i)
        QVERIFY2(frames.at(i).first > frames.at(i - 1).first,
                 qPrintable(QString::number(frames.at(i).first)));
    QVERIFY2(frames.size() < boardMs * 30 / 1000 / 2,
             qPrintable(QStringLiteral("%1 pictures in %2 ms").arg(frames.size()).arg(boardMs)));

    // Each page's clip shows that page: the red stroke before the page change; the new page
    // empty at first, then with the blue stroke; the red one again at once after going back.
    struct Look
    {
        int clip;
        double share;  // of the clip's length
        bool red;
        bool blue;
    };
    const QList<Look> looks{{0, 0.95, true, false},
                            {1, 0.02, false, false},
                            {1, 0.95, false, true},
                            {2, 0.05, true, false},
                            {2, 0.95, true, false}};
    for (const Look &look : looks) {
        const AVData &clip = clips.at(2 + look.clip);
        const double sec = (clip.beginTime + clip.length() * look.share) / 1000.0;
        const QImage picture = shownAt(frames, sec);
        const bool red = showsNear(picture, redAt, kRed);
        const bool blue = showsNear(picture, blueAt, kBlue);
        QVERIFY2(red == look.red && blue == look.blue,
                 qPrintable(QStringLiteral("%1 at %2 s: red %3, blue %4")
                                .arg(clip.title)
                                .arg(sec)
                                .arg(red)
                                .arg(blue)));
    }

    // The pointer is one dot where it is and nowhere else: the strokes were drawn with it
    // moving across the board, and no picture keeps a trail of the places it has left (one dot
    // is about 80 pixels of its orange).
    int mostDot = 0;
    for (const auto &shown : frames)
        mostDot = std::max(mostDot, ScreenPixels::countNear(shown.second, kPointerDot, 20));
    QVERIFY2(mostDot > 20 && mostDot < 130, qPrintable(QString::number(mostDot)));

    // The export: a steady 30 pictures a second, the project's length within one frame, sound
    // and picture together, a chapter per page.
    const QString out = m_dir.filePath("lesson.mp4");
    ExportManager exporter(nullptr, ProjectData::instance());
    QSignalSpy finished(&exporter, &ExportManager::sig_ExportFinished);
    exporter.exportToFile(out);
    QTRY_VERIFY_WITH_TIMEOUT(!finished.isEmpty(), 240000);
    QCOMPARE(finished.first().first().toBool(), true);
    qint64 totalMs = 0;
    for (const AVData &clip : ProjectData::instance()->avDatas())
        totalMs += clip.length();
    const MediaReadback::PacketTimes times = MediaReadback::videoPacketTimes(out);
    QVector<double> pts = times.pts;
    std::sort(pts.begin(), pts.end());
    QVERIFY(pts.size() > 1);
    for (int i = 1; i < pts.size(); ++i)
        QVERIFY2(qAbs(pts.at(i) - pts.at(i - 1) - 1.0 / 30) < 0.001,
                 qPrintable(QStringLiteral("%1 s after %2 s")
                                .arg(pts.at(i) - pts.at(i - 1))
                                .arg(pts.at(i - 1))));
    const MediaInspect::Info info = MediaInspect::probe(out);
    QVERIFY2(qAbs(info.video.endSec - totalMs / 1000.0) <= 1.0 / 30 + 0.001,
             qPrintable(QStringLiteral("%1 s for %2 ms").arg(info.video.endSec).arg(totalMs)));
    QVERIFY2(qAbs(info.audio.endSec - info.video.endSec) <= 0.045,
             qPrintable(QStringLiteral("%1 %2").arg(info.audio.endSec).arg(info.video.endSec)));
    QStringList chapters;
    for (const Mp4Chapters::Chapter &chapter : Mp4Chapters::list(out))
        chapters << chapter.title;
    QVERIFY2(chapters == (QStringList{"a", "b", "白板第1页", "白板第2页", "白板第1页", "b"}),
             qPrintable(Mp4Chapters::summary(out).join(' ')));
}

void TestRecordWhiteboard::closingWithoutRecordingInsertsNothing_data()
{
    QTest::addColumn<bool>("duringCountDown");
    QTest::newRow("before start") << false;
    QTest::newRow("during count-down") << true;
}

void TestRecordWhiteboard::closingWithoutRecordingInsertsNothing()
{
    QFETCH(bool, duringCountDown);
    QVERIFY(makeProject(m_dir.filePath(QStringLiteral("closing-%1").arg(++m_runs))));
    const QList<AVData> before = ProjectData::instance()->avDatas();
    Window w = openWindow();
    QVERIFY(QTest::qWaitForWindowExposed(w.frame));
    if (duringCountDown) {
        w.content->form().btn_play->click();
        QTRY_VERIFY(w.content->countDown());
        QCOMPARE(ProjectData::instance()->count(), 4);  // b split, the new clip between
        QTest::qWait(1000);
    }
    w.frame->mainWidget()->closeButton()->click();
    QTRY_VERIFY_WITH_TIMEOUT(w.frame.isNull(), 10000);
    QCOMPARE(ProjectData::instance()->avDatas(), before);
    QCOMPARE(ProjectData::instance()->avDatas().at(1).endTime, 4000);
    QCOMPARE(QDir(ProjectData::instance()->projectDir()).entryList({"白板*"}), QStringList());
}

void TestRecordWhiteboard::recorderFailureRestoresTheClips()
{
    QVERIFY(makeProject(m_dir.filePath(QStringLiteral("failing-%1").arg(++m_runs))));
    const QList<AVData> before = ProjectData::instance()->avDatas();
    // A project folder that cannot hold files: the engine cannot write the recording.
    QFile blocker(m_dir.filePath("not-a-folder"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    Window w = openWindow();
    QVERIFY(QTest::qWaitForWindowExposed(w.frame));
    ProjectData::instance()->setProjectDir(blocker.fileName() + "/project/");
    w.content->form().btn_play->click();
    QTRY_VERIFY_WITH_TIMEOUT(w.frame.isNull(), 30000);
    QCOMPARE(ProjectData::instance()->avDatas(), before);
    QCOMPARE(ProjectData::instance()->avDatas().at(1).endTime, 4000);
}

QTEST_MAIN(TestRecordWhiteboard)
#include "tst_recordwhiteboard.moc"
