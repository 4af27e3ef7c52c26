// Recording a screen area as a teacher does it, on the test desktop (a window manager and a
// compositing manager): the area chosen with the real pointer, the recording window's
// count-down, pen, pause, resume and stop, what ends up in the project and in the file, and a
// recorder failure. The selection itself is in tst_recordscreenselect, the desktop without a
// compositing manager in tst_recordscreenfallback.
#include "core/project/projectdata.h"
#include "core/record/recordhealth.h"
#include "core/record/screenrecord.h"
#include "editorstandin.h"
#include "support/cliplist.h"
#include "support/mediareadback.h"
#include "support/screenpixels.h"
#include "support/testdisplay.h"
#include "support/testmedia.h"
#include "support/testtone.h"
#include "support/xpointer.h"
#include "ui/app/startup.h"
#include "ui/board/boardcanvas.h"
#include "ui/board/boardsettingpopup.h"
#include "ui/board/boardtoolswidget.h"
#include "ui/board/colorradiobtn.h"
#include "ui/board/countdownwidget.h"
#include "ui/board/pathrecord.h"
#include "ui/record/recordmessages.h"
#include "ui/record/recordscreenctrlwidget.h"
#include "ui/record/recordscreenselectwidget.h"
#include "ui/record/recordscreenwidget.h"
#include "ui/record/screengraphicsitem.h"
#include "ui/record/screenselectedbuttonwidget.h"
#include "ui/record/selectbtnitem.h"
#include "ui/record/soundlevelmeter.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGraphicsProxyWidget>
#include <QGraphicsView>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

#include <optional>

namespace {

// A window whose colour changes every 300 ms (none near the pen's green or the frame's
// orange); it counts the presses it gets.
class ColourStage : public QWidget
{
public:
    explicit ColourStage(const QRect &rect)
    {
        setWindowFlags(Qt::FramelessWindowHint);
        setGeometry(rect);
        connect(&m_timer, &QTimer::timeout, this, [this]() {
            m_index = (m_index + 1) % 3;
            update();
        });
        m_timer.start(300);
        show();
    }
    int presses = 0;

protected:
    void paintEvent(QPaintEvent *) override
    {
        static const QColor colours[] = {QColor(30, 30, 130), QColor(120, 120, 120),
                                         QColor(220, 220, 235)};
        QPainter(this).fillRect(rect(), colours[m_index]);
    }
    void mousePressEvent(QMouseEvent *) override { ++presses; }

private:
    QTimer m_timer;
    int m_index = 0;
};

}  // namespace

using namespace ScreenPixels;

class TestRecordScreen : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(applyApplicationStyleSheet(*qApp));
        QVERIFY(TestDisplay::hasCompositor());
        QCOMPARE(QGuiApplication::primaryScreen()->geometry(), QRect(0, 0, 1920, 1080));
    }

    void recordJourney();
    void failureRestoresClipList();
    void withoutMicrophoneAskedFirst();

private:
    // Resets the program's project to the folder `name` in the test's folder, holding `clips`
    // clips of 4 s (a.mp4, b.mp4, ...); the folder, empty when a clip could not be made.
    QString startProject(const QString &name, int clips);

    QTemporaryDir m_dir;
};

QString TestRecordScreen::startProject(const QString &name, int clips)
{
    const QString folder = m_dir.filePath(name);
    ProjectData *project = ProjectData::instance();
    project->reset();
    project->setProjectDir(folder + "/");
    if (!QDir().mkpath(folder))
        return QString();
    for (int i = 0; i < clips; ++i) {
        const QString path = QStringLiteral("%1/%2.mp4").arg(folder).arg(QChar('a' + i));
        if (!TestMedia::makeClip(path, 4, QSize(160, 120)))
            return QString();
        project->insert(-1, ClipList::clip(path, 4000, 0, 4000));
    }
    return folder;
}

void TestRecordScreen::recordJourney()
{
    // A project of two 4-second clips with the playhead 2 s into the second.
    const QString folder = startProject("journey", 2);
    QVERIFY(!folder.isEmpty());
    ProjectData *project = ProjectData::instance();
    const AVData first = project->at(0);
    const AVData second = project->at(1);

    ColourStage stage(QRect(400, 200, 800, 500));
    QVERIFY(QTest::qWaitForWindowExposed(&stage));
    Editor editor;
    editor.playhead = project->clipAt(6000);
    QCOMPARE(editor.playhead.offset, 2000);
    editor.startSelection();
    QVERIFY(editor.select);
    ScreenGraphicsItem *item = editor.select->selectionItem();
    const QString shots = qEnvironmentVariable("LUMORA_SCREENSHOTS");

    QVERIFY(XPointer::drag({{500, 300}, {1100, 600}}, 40));
    QCOMPARE(item->selectRect(), QRectF(500, 300, 600, 300));
    if (!shots.isEmpty())
        desktop().save(shots + "/selection.png");
    QPushButton *start = item->buttonWidget()->startButton();
    QVERIFY(start->isVisible());
    QVERIFY(XPointer::click(centreOf(start)));
    QVERIFY(waitUntil([&]() { return !editor.record.isNull(); }, 3000));
    QPointer<RecordScreenWidget> window = editor.record;
    QVERIFY(waitUntil([&]() { return editor.select.isNull(); }, 3000));
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QCOMPARE(window->recordArea(), QRect(500, 300, 600, 300));
    QCOMPARE(window->serverRecordRect(), QRect(503, 303, 595, 295));
    QVERIFY(window->drawingAvailable());

    // With a microphone nothing is asked: the count-down starts, and the clip is in the
    // project with it, the second clip split at the playhead.
    QVERIFY(waitUntil([&]() { return window->countDown()->isVisible(); }, 5000));
    const AVData clip = window->recordClip();
    QVERIFY2(clip.title.startsWith("录屏") && clip.title.endsWith(".mp4"), qPrintable(clip.title));
    QCOMPARE(project->count(), 4);
    QCOMPARE(project->at(2).uuid, clip.uuid);

    // Count-down over the middle of the area, the bar under it; the desktop shows through.
    CountDownWidget *countDown = window->countDown();
    RecordScreenCtrlWidget *bar = window->ctrlWidget();
    QVERIFY(countDown->isVisible());
    QCOMPARE(countDown->text(), "3");
    QCOMPARE(countDown->pos(), QPoint(799 - 100, 449 - 100));  // centred on the area
    QCOMPARE(bar->geometry(), QRect(1100 - 1019, 617, 1020, 80));
    QVERIFY(!bar->pauseButton()->isEnabled());
    QElapsedTimer clock;
    clock.start();
    qint64 startedMs = -1, pausedMs = -1, resumedMs = -1, stoppedMs = -1;
    connect(countDown, &CountDownWidget::sig_CountDownFinished, this,
            [&]() { startedMs = clock.elapsed(); });
    connect(bar, &RecordScreenCtrlWidget::sig_PauseRecord, this,
            [&]() { pausedMs = clock.elapsed(); });
    connect(bar, &RecordScreenCtrlWidget::sig_ResumeRecord, this,
            [&]() { resumedMs = clock.elapsed(); });
    connect(bar, &RecordScreenCtrlWidget::sig_StopRecord, this,
            [&]() { stoppedMs = clock.elapsed(); });
    QTest::qWait(300);
    const QImage seen = desktop();
    if (!shots.isEmpty())
        seen.save(shots + "/countdown.png");
    QVERIFY(!near(seen.pixelColor(560, 320), QColor(0, 0, 0), 10));  // the stage, not black
    QVERIFY(near(seen.pixelColor(500, 450), QColor("#f2733d"), 8));  // the frame
    QVERIFY(near(seen.pixelColor(bar->geometry().left() + 3, 657), QColor("#28282a"), 12));
    QVERIFY(waitUntil([&]() { return startedMs >= 0; }, 6000));
    QVERIFY(bar->pauseButton()->isEnabled());
    QVERIFY(countDown->isHidden());

    // Nothing on the microphone: within six seconds the bar says so, and the recording goes
    // on; a tone: the meter rises and the line goes away.
    QLabel *warning = bar->warningLabel();
    QVERIFY(waitUntil([&]() { return warning->isVisible(); }, 6500));
    QCOMPARE(warning->text(), RecordHealth::silentMicrophoneText());
    if (!shots.isEmpty())
        bar->grab().save(shots + "/bar-silent.png");
    QCOMPARE(bar->levelMeter()->fill(), 0.0);
    std::optional<TestTone> tone;
    tone.emplace();
    QVERIFY(tone->isHeard());
    QVERIFY(waitUntil([&]() { return !warning->isVisible() && bar->levelMeter()->fill() > 0.3; },
                      3000));

    // Green pen, a stroke across the area.
    BoardToolsWidget *tools = bar->boardTools();
    QVERIFY(XPointer::click(centreOf(toolButton(tools, "画笔"))));
    QCOMPARE(tools->boardSettings()->tool, int(ToolPen));
    QVERIFY(XPointer::click(centreOf(toolButton(tools, "画笔设置"))));
    QVERIFY(waitUntil([&]() { return tools->popup()->isVisible(); }, 2000));
    ColorRadioBtn *green = nullptr;
    for (ColorRadioBtn *b : tools->popup()->findChildren<ColorRadioBtn *>())
        if (b->color() == QColor("#02c160"))
            green = b;
    QVERIFY(green);
    QVERIFY(XPointer::click(centreOf(green)));
    QCOMPARE(tools->boardSettings()->pen.color(), QColor("#02c160"));
    QVERIFY(XPointer::key("Escape"));
    QVERIFY(waitUntil([&]() { return !tools->popup()->isVisible(); }, 2000));
    QVERIFY(XPointer::drag({{520, 420}, {1080, 480}}, 20));
    QCOMPARE(window->canvas()->curRecord()->paths().size(), 1);
    QTest::qWait(300);
    QVERIFY(near(desktop().pixelColor(800, 450), QColor("#02c160"), 30));
    // A line with the shapes button, then the laser pointer along the bottom of the area.
    QVERIFY(XPointer::click(centreOf(tools->toolButton(ToolLine))));
    QVERIFY(XPointer::drag({{540, 340}, {700, 340}}, 40));
    QCOMPARE(window->canvas()->curRecord()->paths().size(), 2);
    QVERIFY(XPointer::click(centreOf(tools->toolButton(ToolLaser))));
    for (int x = 520; x <= 1000; x += 120)
        QVERIFY(XPointer::moveTo({x, 560}));
    QVERIFY(near(desktop().pixelColor(1000, 560), QColor(0xff, 0x1e, 0x1e), 40));
    if (!shots.isEmpty())
        desktop().save(shots + "/recording.png");

    // Pause 2 s: the time stands still and goes on from there.
    QTest::qWait(1000);
    QVERIFY(XPointer::click(centreOf(bar->pauseButton())));
    QCOMPARE(bar->pauseButton()->text(), "继续");
    const QString pausedText = bar->timeLabel()->text();
    QVERIFY2(pausedText.startsWith("录屏中 00:00:"), qPrintable(pausedText));
    QTest::qWait(2000);
    QCOMPARE(bar->timeLabel()->text(), pausedText);
    QVERIFY(XPointer::click(centreOf(bar->pauseButton())));
    QCOMPARE(bar->pauseButton()->text(), "暂停");
    QTest::qWait(400);
    const int pausedAt = QTime::fromString(pausedText.mid(4), "hh:mm:ss").second();
    const int after = QTime::fromString(bar->timeLabel()->text().mid(4), "hh:mm:ss").second();
    QVERIFY2(after == pausedAt || after == pausedAt + 1, qPrintable(bar->timeLabel()->text()));
    QTest::qWait(1500);
    QSignalSpy finished(window.data(), &RecordScreenWidget::sig_Record_Finish);
    QVERIFY(XPointer::click(centreOf(bar->stopButton())));
    QVERIFY(finished.count() > 0 || finished.wait(30000));
    QVERIFY(waitUntil([&]() { return window.isNull(); }, 3000));
    QVERIFY(waitUntil([&]() { return !editor.window.isMinimized(); }, 3000));

    // The project: a, b's first 2 s, the recording, b's last 2 s.
    QCOMPARE(project->count(), 4);
    QCOMPARE(project->at(0).uuid, first.uuid);
    QCOMPARE(project->at(1).filePath, second.filePath);
    QCOMPARE(project->at(1).endTime, 2000);
    QCOMPARE(project->at(3).filePath, second.filePath);
    QCOMPARE(project->at(3).beginTime, 2000);
    const AVData recorded = project->at(2);
    QCOMPARE(recorded.uuid, clip.uuid);
    QCOMPARE(recorded.position, 6000);
    QCOMPARE(recorded.videoWidth, 592);
    QCOMPARE(recorded.videoHeight, 292);
    const double expected = ((stoppedMs - startedMs) - (resumedMs - pausedMs)) / 1000.0;
    QVERIFY2(std::abs(recorded.duration / 1000.0 - expected) <= 0.3,
             qPrintable(QString("%1 ms for %2 s").arg(recorded.duration).arg(expected)));

    // The file: the stroke's green is there, the frame's orange never; a sound track.
    const MediaReadback::StreamsInfo info = MediaReadback::streams(recorded.filePath);
    QVERIFY(info.opened);
    QCOMPARE(info.audioCodec, "aac");
    QVERIFY2(std::abs(info.durationSeconds - expected) <= 0.3,
             qPrintable(QString::number(info.durationSeconds)));
    int pictures = 0, withStroke = 0, withFrame = 0, withLine = 0, withLaser = 0;
    bool laserAtEnd = true;
    QVERIFY(MediaReadback::forEachPicture(recorded.filePath, [&](double, const QImage &image) {
        ++pictures;
        if (countNear(image, QColor("#02c160"), 45) > 300)
            ++withStroke;
        if (near(image.pixelColor(620 - 503, 340 - 303), QColor("#02c160"), 45))
            ++withLine;
        laserAtEnd = countNear(image.copy(0, 230, 592, 40), QColor(0xff, 0x1e, 0x1e), 50) > 50;
        withLaser += laserAtEnd;
        // The orange frame lies just outside the rectangle: recorded, it would line the
        // picture's edges.
        const int w = image.width(), h = image.height();
        const QColor frame("#f2733d");
        if (countNear(image.copy(0, 0, w, 6), frame, 40) +
                countNear(image.copy(0, h - 6, w, 6), frame, 40) +
                countNear(image.copy(0, 0, 6, h), frame, 40) +
                countNear(image.copy(w - 6, 0, 6, h), frame, 40) >
            20)
            ++withFrame;
    }));
    QVERIFY(pictures > 30);
    QVERIFY2(withStroke > pictures / 3,
             qPrintable(QString("%1 of %2").arg(withStroke).arg(pictures)));
    QVERIFY2(withFrame == 0, qPrintable(QString("%1 of %2").arg(withFrame).arg(pictures)));
    QVERIFY2(withLine > pictures / 8, qPrintable(QString("%1 of %2").arg(withLine).arg(pictures)));
    QVERIFY(withLaser > 3);
    QVERIFY(!laserAtEnd);  // it left nothing behind
}

void TestRecordScreen::failureRestoresClipList()
{
    const QString folder = startProject("failing", 1);
    QVERIFY(!folder.isEmpty());
    ProjectData *project = ProjectData::instance();
    const QList<AVData> before = project->avDatas();

    QPointer<RecordScreenWidget> window =
        new RecordScreenWidget(QRectF(200, 200, 400, 300), before.first(), 2000);
    QSignalSpy finished(window.data(), &RecordScreenWidget::sig_Record_Finish);
    window->show();
    // Split, and the recording clip between.
    QVERIFY(waitUntil([&]() { return project->count() == 3; }, 5000));
    // The project folder is gone (a file in its place) while the count-down runs.
    QVERIFY(QDir(folder).removeRecursively());
    QFile blocker(folder);
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    QVERIFY(finished.wait(20000));
    QVERIFY(waitUntil([&]() { return window.isNull(); }, 3000));
    QCOMPARE(project->count(), before.size());
    for (int i = 0; i < before.size(); ++i) {
        QCOMPARE(project->at(i).uuid, before.at(i).uuid);
        QCOMPARE(project->at(i).beginTime, before.at(i).beginTime);
        QCOMPARE(project->at(i).endTime, before.at(i).endTime);
    }
    QMessageBox *box = nullptr;
    QVERIFY(waitUntil(
        [&]() {
            for (QWidget *w : QApplication::topLevelWidgets())
                if (auto *b = qobject_cast<QMessageBox *>(w); b && b->isVisible())
                    box = b;
            return box != nullptr;
        },
        3000));
    QCOMPARE(box->text(), "无法录制！");
    QCOMPARE(box->windowTitle(), "错误");
    box->close();
}

// No sound server answers: before the count-down the teacher is asked, beside the area, whether
// to record without sound. No declines and leaves the project as it was; yes records, the bar's
// line says there is no microphone, and no window of ours comes into the area meanwhile.
void TestRecordScreen::withoutMicrophoneAskedFirst()
{
    const QString folder = startProject("silent", 1);
    QVERIFY(!folder.isEmpty());
    ProjectData *project = ProjectData::instance();
    const QList<AVData> before = project->avDatas();
    const QByteArray server = qgetenv("PULSE_SERVER");
    qputenv("PULSE_SERVER", "unix:/nonexistent/lumora-no-sound");
    const auto restore = qScopeGuard([&] { qputenv("PULSE_SERVER", server); });
    const QRectF area(300, 200, 800, 450);
    const auto question = []() -> QMessageBox * {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *b = qobject_cast<QMessageBox *>(w);
                b && b->isVisible() && b->text() == noMicrophoneQuestion())
                return b;
        return nullptr;
    };
    const auto answer = [&](const QString &button) {
        QMessageBox *box = question();
        for (QAbstractButton *b : box ? box->buttons() : QList<QAbstractButton *>())
            if (b->text() == button)
                return XPointer::click(centreOf(b));
        return false;
    };

    for (const QString &reply : {QStringLiteral("取消"), recordWithoutSoundText()}) {
        QPointer<RecordScreenWidget> window = new RecordScreenWidget(area, before.first(), -1);
        QSignalSpy finished(window.data(), &RecordScreenWidget::sig_Record_Finish);
        window->show();
        QVERIFY(waitUntil([&]() { return question() != nullptr; }, 10000));
        QVERIFY(QTest::qWaitForWindowExposed(question()));
        if (const QString shots = qEnvironmentVariable("LUMORA_SCREENSHOTS"); !shots.isEmpty())
            desktop().save(shots + "/no-microphone.png");
        QVERIFY2(!question()->frameGeometry().intersects(window->recordArea()),
                 qPrintable(QStringLiteral("%1,%2 %3x%4")
                                .arg(question()->frameGeometry().x())
                                .arg(question()->frameGeometry().y())
                                .arg(question()->frameGeometry().width())
                                .arg(question()->frameGeometry().height())));
        QVERIFY(!window->countDown()->isVisible());
        QCOMPARE(project->count(), before.size());
        QVERIFY(answer(reply));
        if (reply == QStringLiteral("取消")) {
            QVERIFY(waitUntil([&]() { return finished.count() == 1 && window.isNull(); }, 5000));
            QCOMPARE(project->count(), before.size());
            continue;
        }
        QVERIFY(waitUntil([&]() { return window->countDown()->isVisible(); }, 5000));
        QCOMPARE(project->count(), before.size() + 1);
        bool started = false;
        connect(window->countDown(), &CountDownWidget::sig_CountDownFinished, this,
                [&]() { started = true; });
        // Nothing of ours but the recording window itself comes over the area.
        const auto oursInside = [&]() {
            QStringList inside;
            for (QWidget *w : QApplication::topLevelWidgets())
                if (w != window && w->isVisible() &&
                    w->frameGeometry().intersects(window->recordArea()))
                    inside << w->metaObject()->className();
            return inside.join(' ');
        };
        QLabel *line = window->ctrlWidget()->warningLabel();
        QElapsedTimer recording;
        while (!started || recording.elapsed() < 1500) {
            QVERIFY2(oursInside().isEmpty(), qPrintable(oursInside()));
            if (started && !recording.isValid())
                recording.start();
            QVERIFY(!recording.isValid() || recording.elapsed() < 10000);
            QTest::qWait(50);
        }
        QVERIFY(waitUntil([&]() { return line->text() == "未发现音频输入设备！"; }, 5000));
        QVERIFY(line->isVisible());
        if (const QString shots = qEnvironmentVariable("LUMORA_SCREENSHOTS"); !shots.isEmpty())
            window->ctrlWidget()->grab().save(shots + "/bar-no-microphone.png");
        QVERIFY(XPointer::click(centreOf(window->ctrlWidget()->stopButton())));
        QVERIFY(finished.wait(20000));
        const AVData clip = project->at(project->count() - 1);
        QVERIFY(QFileInfo(clip.filePath).size() > 0);
    }
}

QTEST_MAIN(TestRecordScreen)
#include "tst_recordscreen.moc"
