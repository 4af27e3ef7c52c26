// Recording a lecture over a slide show, as the editor opens it: the real agent, LibreOffice
// and Poppler, the real window on the test display with its window manager, the real
// recording engine; then the clips in the project and the pictures in their file.
#include "core/project/projectdata.h"
#include "core/record/screenrecord.h"
#include "support/mediareadback.h"
#include "support/screenpixels.h"
#include "support/slideshow.h"
#include "support/testmedia.h"
#include "support/xpointer.h"
#include "ui/app/startup.h"
#include "ui/base/basemainwidget.h"
#include "ui/base/basewindow.h"
#include "ui/board/boardcanvas.h"
#include "ui/board/boardtoolswidget.h"
#include "ui/board/countdownwidget.h"
#include "ui/board/pathrecord.h"
#include "ui/slides/pptcontainer.h"
#include "ui/slides/recordpptwidget.h"
#include "ui/whiteboard/whiteboardview.h"

#include <QLabel>
#include <QPointer>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QToolButton>
#include <QUndoGroup>
#include <QWindow>
#include <QtTest>

namespace {

struct Window
{
    QPointer<BaseWindow> frame;
    QPointer<RecordPptWidget> content;
};

// What the editor does for the "录课" button: the window at the playhead, the file opened.
Window openRecordWindow(const QString &file, qint64 playheadMs)
{
    Window w;
    w.frame = new BaseWindow;
    w.frame->setTitle(QStringLiteral("录课"));
    w.content = new RecordPptWidget;
    w.frame->setContentWidget(w.content);
    w.frame->resize(1280, 800);
    w.frame->move(100, 60);
    w.frame->show();
    const ClipAtResult at = ProjectData::instance()->clipAt(playheadMs);
    w.content->openPptFile(file, at.clip, at.offset);
    return w;
}

QToolButton *button(QWidget *parent, const char *name)
{
    return parent->findChild<QToolButton *>(QString::fromLatin1(name));
}

QStringList titlesOf(const QList<AVData> &clips)
{
    QStringList titles;
    for (const AVData &clip : clips)
        titles << (clip.title.isEmpty() ? clip.fileName : clip.title);
    return titles;
}

// Elapsed seconds shown in "正在录课 hh:mm:ss".
int labelSeconds(const RecordPptWidget *w)
{
    const QString text = w->form().label_record_time->text();
    const QTime time = QTime::fromString(text.section(' ', 1), QStringLiteral("hh:mm:ss"));
    return time.isValid() ? QTime(0, 0).secsTo(time) : -1;
}

}  // namespace

class TestRecordPpt : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void recordsOneClipPerSlide();
    void closingWithoutRecordingInsertsNothing_data();
    void closingWithoutRecordingInsertsNothing();
    void recorderFailureRestoresTheClips();

private:
    QTemporaryDir m_dir;
    QString m_project;
    QList<AVData> m_before;
    int m_runs = 0;
};

void TestRecordPpt::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(SlideShow::ensureDesktop());
    QVERIFY(applyApplicationStyleSheet(*qApp));  // the window looks as in the program
    QString error;
    QVERIFY2(SlideShow::prepareContainer(m_dir.path(), &error), qPrintable(error));
    QVERIFY(QDir().mkpath(m_dir.filePath("media")));
    QVERIFY(TestMedia::makeClip(m_dir.filePath("media/a.mp4"), 4, QSize(320, 240), true, 25,
                                "color=c=red"));
    QVERIFY(TestMedia::makeClip(m_dir.filePath("media/b.mp4"), 4, QSize(320, 240), true, 25,
                                "color=c=white"));
}

void TestRecordPpt::init()
{
    // A project of two clips of 4 s; the playhead will be 2 s into the second.
    m_project = m_dir.filePath(QStringLiteral("project-%1/").arg(++m_runs));
    QVERIFY(QDir().mkpath(m_project));
    ProjectData *project = ProjectData::instance();
    project->reset();
    project->setProjectDir(m_project);
    for (const char *name : {"a", "b"}) {
        AVData clip = project->newClip(QStringLiteral("%1.mp4").arg(name));
        QVERIFY(
            QFile::copy(m_dir.filePath(QStringLiteral("media/%1.mp4").arg(name)), clip.filePath));
        clip.title = QString::fromLatin1(name);
        clip.duration = 4000;
        clip.endTime = 4000;
        clip.videoWidth = 320;
        clip.videoHeight = 240;
        project->insert(-1, clip);
    }
    m_before = project->avDatas();
}

void TestRecordPpt::recordsOneClipPerSlide()
{
    SlideShow::MessageBoxAnswerer answerer;
    Window w = openRecordWindow(m_dir.filePath("lesson.pptx"), 6000);
    PptContainer *container = w.content->container();
    // "开始" pressed while the slide show is still being prepared: the count-down waits until
    // the first slide is there.
    QVERIFY(w.content->form().label_page->text().isEmpty());
    QVERIFY(!button(w.content, "btn_next")->isEnabled());
    button(w.content, "btn_play")->click();
    QVERIFY(!w.content->countDown());
    QTRY_VERIFY_WITH_TIMEOUT(container->slidesInPlace() || !answerer.shown.isEmpty(), 120000);
    QCOMPARE(answerer.shown, QStringList());
    QCOMPARE(w.content->pageNo(), 1);
    QCOMPARE(w.content->form().label_page->text(), QStringLiteral("第 1 / 3 页"));
    QVERIFY(!button(w.content, "btn_new_page")->isVisible());

    // Then three seconds of count-down over the slide, which stays in sight around it, then
    // the recording.
    QTRY_VERIFY(w.content->countDown() && w.content->countDown()->isVisible());
    WhiteboardView *board = container->board();
    const QRect slide(board->mapToGlobal(board->boardRect().topLeft()), board->boardRect().size());
    const QPoint aside(slide.left() + slide.width() / 10, slide.center().y());
    QTest::qWait(500);
    const QColor seen = ScreenPixels::desktop().pixelColor(aside);
    QVERIFY2(ScreenPixels::near(seen, SlideShow::slideColour(1), 12), qPrintable(seen.name()));
    QTRY_COMPARE_WITH_TIMEOUT(w.content->recorder()->state(), ScreenRecord::Recording, 20000);
    QVERIFY(!button(w.content, "btn_play")->isVisible());
    QVERIFY(button(w.content, "btn_pause")->isVisible());
    // The slides are recorded at the recording's size however small the window is.
    const QSize pictureSize = board->pictureSize();
    QCOMPARE(pictureSize, QSize(1920, 1080));
    QVERIFY(slide.width() < 1400);
    // The bar says whether the computer's sound is recorded: not, as the settings start.
    auto *computerSound = w.content->findChild<QLabel *>("label_computer_sound");
    QTRY_VERIFY(computerSound && computerSound->isVisible());
    QCOMPARE(computerSound->text(), QStringLiteral("不录电脑声音"));
    if (!qEnvironmentVariableIsEmpty("LUMORA_SCREENSHOT_DIR"))
        w.frame->grab().save(qEnvironmentVariable("LUMORA_SCREENSHOT_DIR") +
                             "/presentation-recording.png");

    // A stroke with the pen across the first slide, with the real pointer.
    QToolButton *pen = button(w.content->drawTools(), "btn_pen");
    QVERIFY(XPointer::click(pen->mapToGlobal(pen->rect().center())));
    BoardCanvas *canvas = container->canvas();
    QTRY_VERIFY(canvas->drawEnabled());
    const QPoint from(canvas->width() * 3 / 10, canvas->height() * 3 / 10);
    const QPoint to(canvas->width() * 6 / 10, canvas->height() * 3 / 10);
    QVERIFY(XPointer::drag({canvas->mapToGlobal(from), canvas->mapToGlobal(to)}));
    QCOMPARE(canvas->undoGroup()->canUndo(), true);
    const qreal sx = qreal(pictureSize.width()) / canvas->width();
    const qreal sy = qreal(pictureSize.height()) / canvas->height();
    const QPointF middle = QPointF(from + to) / 2;
    const QPoint strokeInFrame(qRound(middle.x() * sx), qRound(middle.y() * sy));
    // Text typed on the slide: the canvas takes the keyboard for it and gives it back to the
    // window (Page Down below still turns the page).
    QToolButton *text = button(w.content->drawTools(), "btn_text");
    QVERIFY(XPointer::click(text->mapToGlobal(text->rect().center())));
    QTRY_COMPARE(canvas->boardSettings()->tool, int(ToolText));
    QVERIFY(XPointer::click(canvas->mapToGlobal(QPoint(from.x(), canvas->height() * 6 / 10))));
    QTRY_VERIFY(canvas->textEdit() && canvas->textEdit()->hasFocus());
    QVERIFY(XPointer::type("Hi"));
    QVERIFY(XPointer::key("Return"));
    QTRY_COMPARE(canvas->curRecord()->paths().size(), 2);
    QVERIFY(canvas->curRecord()->paths().last().filled);
    const QRectF typed = canvas->curRecord()->paths().last().path.boundingRect();
    const QRect textInFrame =
        QRectF(typed.x() * sx, typed.y() * sy, typed.width() * sx, typed.height() * sy)
            .toAlignedRect();
    QTRY_VERIFY(w.frame->isActiveWindow());
    QTest::qWait(2000);

    // Slide 2 with the next button; a window of another program passes over it.
    button(w.content, "btn_next")->click();
    QTRY_COMPARE_WITH_TIMEOUT(w.content->pageNo(), 2, 5000);
    QWidget passing;
    passing.setWindowFlags(Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::WindowDoesNotAcceptFocus);
    passing.setAttribute(Qt::WA_ShowWithoutActivating);
    passing.setStyleSheet(QStringLiteral("background: #ff00ff;"));
    passing.setGeometry(QRect(slide.center() - QPoint(150, 100), QSize(300, 200)));
    passing.show();
    QTRY_VERIFY(ScreenPixels::near(ScreenPixels::desktop().pixelColor(slide.center()),
                                   QColor("#ff00ff"), 12));
    QTest::qWait(1500);
    passing.hide();
    QTRY_VERIFY(w.frame->isActiveWindow());
    QTest::qWait(1000);
    // Slide 3 with Page Down as a presenter remote sends it.
    QCOMPARE(QProcess::execute("xdotool", {"key", "Next"}), 0);
    QTRY_COMPARE_WITH_TIMEOUT(w.content->pageNo(), 3, 5000);
    QTest::qWait(1500);

    // A pause leaves the elapsed time where it stopped.
    button(w.content, "btn_pause")->click();
    QCOMPARE(w.content->recorder()->state(), ScreenRecord::Paused);
    QCOMPARE(button(w.content, "btn_play")->text(), QStringLiteral("继续"));
    const int pausedAt = labelSeconds(w.content);
    QVERIFY2(pausedAt >= 5, qPrintable(w.content->form().label_record_time->text()));
    QTest::qWait(2000);
    button(w.content, "btn_play")->click();
    QCOMPARE(w.content->recorder()->state(), ScreenRecord::Recording);
    QTest::qWait(600);
    QVERIFY2(qAbs(labelSeconds(w.content) - pausedAt) <= 1,
             qPrintable(w.content->form().label_record_time->text()));
    QTest::qWait(1000);

    button(w.content, "btn_stop")->click();
    QTRY_VERIFY_WITH_TIMEOUT(w.frame.isNull(), 60000);

    // At the playhead, 2 s into b: the three slides' clips, in order, in one file.
    const QList<AVData> clips = ProjectData::instance()->avDatas();
    QCOMPARE(titlesOf(clips), (QStringList{"a", "b", "第1页", "第2页", "第3页", "b"}));
    QCOMPARE(clips.at(1).endTime, 2000);
    QCOMPARE(clips.at(5).beginTime, 2000);
    const QString file = m_project + "lesson_1.mp4";
    for (int i = 2; i <= 4; ++i) {
        QCOMPARE(clips.at(i).fileName, QStringLiteral("lesson_1.mp4"));
        QVERIFY2(clips.at(i).length() >= 1000, qPrintable(QString::number(clips.at(i).length())));
        if (i > 2)
            QCOMPARE(clips.at(i).beginTime, clips.at(i - 1).endTime);
    }
    QCOMPARE(clips.at(2).beginTime, 0);

    // Each slide's span shows that slide; the first shows the stroke and the text too.
    QList<QPair<double, QImage>> frames;
    QVERIFY(MediaReadback::forEachPicture(file, [&](double sec, const QImage &picture) {
        frames.append({sec, picture});
    }));
    QVERIFY(!frames.isEmpty());
    QCOMPARE(frames.first().second.size(), pictureSize);
    for (int slide = 1; slide <= 3; ++slide) {
        const AVData &clip = clips.at(1 + slide);
        const double middle = (clip.beginTime + clip.length() / 2) / 1000.0;
        const double nearEnd = (clip.endTime - 300) / 1000.0;
        const QImage *atMiddle = nullptr;
        const QImage *atEnd = nullptr;
        // What is shown at a time: the last picture at or before it (pictures come only where
        // the board changed, and at least once a second).
        for (const auto &frame : frames) {
            if (frame.first <= middle)
                atMiddle = &frame.second;
            if (frame.first <= nearEnd)
                atEnd = &frame.second;
            // Nothing of the window that passed over the slide.
            const bool inSlide = qRound64(frame.first * 1000) >= clip.beginTime &&
                                 qRound64(frame.first * 1000) < clip.endTime;
            if (inSlide)
                QVERIFY2(
                    ScreenPixels::countNear(frame.second, QColor("#ff00ff"), 60) == 0,
                    qPrintable(QStringLiteral("%1 s shows the passing window").arg(frame.first)));
        }
        QVERIFY(atMiddle && atEnd);
        const QColor shown = atMiddle->pixelColor(atMiddle->width() / 10, atMiddle->height() / 2);
        QVERIFY2(SlideShow::near(shown, SlideShow::slideColour(slide)),
                 qPrintable(QStringLiteral("slide %1 shows %2").arg(slide).arg(shown.name())));
        const QColor stroke = atEnd->pixelColor(strokeInFrame);
        const bool red = SlideShow::near(stroke, QColor("#fa5151"), 50);
        const int textPixels =
            ScreenPixels::countNear(atEnd->copy(textInFrame), QColor("#fa5151"), 50);
        QVERIFY2(slide == 1 ? textPixels > 30 : textPixels == 0,
                 qPrintable(QStringLiteral("slide %1: %2 text pixels").arg(slide).arg(textPixels)));
        QVERIFY2(
            red == (slide == 1),
            qPrintable(QStringLiteral("slide %1 at the stroke: %2").arg(slide).arg(stroke.name())));
        if (slide == 1) {
            if (!qEnvironmentVariableIsEmpty("LUMORA_SCREENSHOT_DIR"))
                atEnd->save(qEnvironmentVariable("LUMORA_SCREENSHOT_DIR") +
                            "/presentation-recorded.png");
            // The slide's number is as sharp as Poppler's own picture of the page at this size.
            QVERIFY2(SlideShow::matchesPopplerRender(m_dir.path(), 1, *atEnd,
                                                     QRectF(0.42, 0.36, 0.16, 0.2)),
                     "the recorded slide is not as sharp as Poppler's own render");
            continue;
        }
        // The clip starts with the slide's first picture: the one before still shows the slide
        // before, so deleting a slide's clip leaves no flash of it in the next one.
        for (int i = 1; i < frames.size(); ++i) {
            // In whole milliseconds: a picture at 4.4 s reads back as 4.39999... s.
            if (qRound64(frames.at(i).first * 1000) < clip.beginTime)
                continue;
            for (int shows : {slide - 1, slide}) {
                const QImage &picture = frames.at(shows == slide ? i : i - 1).second;
                const QColor at = picture.pixelColor(picture.width() / 10, picture.height() / 2);
                QVERIFY2(SlideShow::near(at, SlideShow::slideColour(shows)),
                         qPrintable(QStringLiteral("clip %1 from %2 ms: %3 s shows %4")
                                        .arg(slide)
                                        .arg(clip.beginTime)
                                        .arg(frames.at(shows == slide ? i : i - 1).first)
                                        .arg(at.name())));
            }
            break;
        }
    }
}

void TestRecordPpt::closingWithoutRecordingInsertsNothing_data()
{
    QTest::addColumn<bool>("duringCountDown");
    QTest::newRow("before start") << false;
    QTest::newRow("during count-down") << true;
}

void TestRecordPpt::closingWithoutRecordingInsertsNothing()
{
    QFETCH(bool, duringCountDown);
    SlideShow::MessageBoxAnswerer answerer;
    Window w = openRecordWindow(m_dir.filePath("single.odp"), 6000);
    QTRY_VERIFY_WITH_TIMEOUT(w.content->container()->slidesInPlace() || !answerer.shown.isEmpty(),
                             120000);
    QCOMPARE(answerer.shown, QStringList());
    QPointer<QProcess> agent = w.content->container()->agentProcess();
    if (duringCountDown) {
        button(w.content, "btn_play")->click();
        QTRY_VERIFY_WITH_TIMEOUT(w.content->countDown(), 10000);
        QCOMPARE(ProjectData::instance()->count(), 4);  // b split, the new clip between
        QTest::qWait(1000);
    }
    w.frame->mainWidget()->closeButton()->click();
    QTRY_VERIFY_WITH_TIMEOUT(w.frame.isNull(), 10000);
    QCOMPARE(ProjectData::instance()->avDatas(), m_before);
    QCOMPARE(titlesOf(ProjectData::instance()->avDatas()), (QStringList{"a", "b"}));
    QCOMPARE(ProjectData::instance()->avDatas().at(1).endTime, 4000);
    QCOMPARE(QDir(m_project).entryList({"single*"}), QStringList());
    // The agent ended with the window.
    QTRY_VERIFY_WITH_TIMEOUT(!agent || agent->state() == QProcess::NotRunning, 5000);
}

void TestRecordPpt::recorderFailureRestoresTheClips()
{
    SlideShow::MessageBoxAnswerer answerer;
    // A project folder that cannot hold files: the engine cannot write the recording.
    QFile blocker(m_dir.filePath("not-a-folder"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    Window w = openRecordWindow(m_dir.filePath("single.odp"), 6000);
    QTRY_VERIFY_WITH_TIMEOUT(w.content->container()->slidesInPlace() || !answerer.shown.isEmpty(),
                             120000);
    QCOMPARE(answerer.shown, QStringList());
    ProjectData::instance()->setProjectDir(blocker.fileName() + "/project/");
    button(w.content, "btn_play")->click();
    QTRY_VERIFY_WITH_TIMEOUT(w.frame.isNull(), 30000);
    QCOMPARE(ProjectData::instance()->avDatas(), m_before);
    QCOMPARE(ProjectData::instance()->avDatas().at(1).endTime, 4000);
}

QTEST_MAIN(TestRecordPpt)
#include "tst_recordppt.moc"
