// Recording on a Wayland desktop (GNOME's compositor, headless, scripts/testenv), where an X11
// grab would see only black: the program's windows run on the compositor's XWayland and the
// picture comes from the compositor's own screen cast, through the test screen-sharing portal
// and PipeWire. Journeys of the screen recording window: shared and recorded (the desktop's
// real colours, a pen stroke, sound in step), recorded again without a second question (and
// the sharing ended by the desktop meanwhile), the question refused, and no portal at all; and
// a slide show recorded the same way.
#include "core/camera/camerasettings.h"
#include "core/platform/session.h"
#include "core/platform/settings.h"
#include "core/project/projectdata.h"
#include "core/record/pipewiresource.h"
#include "core/record/screencastportal.h"
#include "core/record/screenrecord.h"
#include "support/benchtools.h"
#include "support/flashandbeep.h"
#include "support/mediareadback.h"
#include "support/screenpixels.h"
#include "support/slideshow.h"
#include "support/testcamera.h"
#include "support/waylanddesktop.h"
#include "support/xpointer.h"
#include "ui/app/startup.h"
#include "ui/base/basewindow.h"
#include "ui/board/boardcanvas.h"
#include "ui/board/boardsettingpopup.h"
#include "ui/board/boardtoolswidget.h"
#include "ui/board/colorradiobtn.h"
#include "ui/board/countdownwidget.h"
#include "ui/board/pathrecord.h"
#include "ui/camera/cameracontrol.h"
#include "ui/record/recordscreenctrlwidget.h"
#include "ui/record/recordscreenwidget.h"
#include "ui/slides/pptcontainer.h"
#include "ui/slides/recordpptwidget.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <algorithm>
#include <cmath>
#include <optional>

using namespace ScreenPixels;

namespace {

const QColor kRed(200, 40, 40);
const QColor kBlue(40, 60, 200);
const QColor kPen("#02c160");

class Block : public QWidget
{
public:
    Block(const QRect &rect, const QColor &colour) : m_colour(colour)
    {
        setWindowFlags(Qt::FramelessWindowHint);
        setGeometry(rect);
        show();
    }

protected:
    void paintEvent(QPaintEvent *) override { QPainter(this).fillRect(rect(), m_colour); }

private:
    QColor m_colour;
};

// The visible message box, once there is one.
QMessageBox *messageBox()
{
    QMessageBox *box = nullptr;
    waitUntil(
        [&]() {
            for (QWidget *w : QApplication::topLevelWidgets())
                if (auto *b = qobject_cast<QMessageBox *>(w); b && b->isVisible())
                    box = b;
            return box != nullptr;
        },
        10000);
    return box;
}

QToolButton *toolButton(QWidget *parent, const QString &text)
{
    for (QToolButton *b : parent->findChildren<QToolButton *>())
        if (b->text() == text || b->toolTip() == text)
            return b;
    return nullptr;
}

}  // namespace

class TestWaylandRecord : public QObject
{
    Q_OBJECT
public:
    static void initMain() { WaylandDesktop::use(); }

private slots:
    void initTestCase()
    {
        QVERIFY(applyApplicationStyleSheet(*qApp));
        QVERIFY(session::isWayland());
        QCOMPARE(QGuiApplication::platformName(), "xcb");
        QCOMPARE(QGuiApplication::primaryScreen()->geometry(), QRect(0, 0, 1920, 1080));
        writeSetting(QString::fromLatin1(ScreenCastPortal::kRestoreTokenKey), QString());
        QVERIFY(m_dir.isValid());
    }

    void cropInFrame_data();
    void cropInFrame();
    void noPortal();
    void refused();
    void sharedAndRecordedTwice();
    void slideShow();

private:
    void startProject(const QString &name);
    // Opens the recording window on the rectangle; it closes with a message and leaves the
    // project as it was.
    void expectRefusal(const QString &text);

    QTemporaryDir m_dir;
};

void TestWaylandRecord::startProject(const QString &name)
{
    ProjectData *project = ProjectData::instance();
    project->reset();
    project->setProjectDir(m_dir.filePath(name) + "/");
    QVERIFY(QDir().mkpath(m_dir.filePath(name)));
}

void TestWaylandRecord::cropInFrame_data()
{
    QTest::addColumn<QSize>("frame");
    QTest::addColumn<QRect>("monitor");
    QTest::addColumn<QRect>("rect");
    QTest::addColumn<QRect>("crop");
    QTest::newRow("same pixels") << QSize(1920, 1080) << QRect(0, 0, 1920, 1080)
                                 << QRect(503, 303, 592, 292) << QRect(503, 303, 592, 292);
    QTest::newRow("second monitor") << QSize(1280, 1024) << QRect(1920, 0, 1280, 1024)
                                    << QRect(2000, 100, 400, 300) << QRect(80, 100, 400, 300);
    QTest::newRow("HiDPI stream") << QSize(3840, 2160) << QRect(0, 0, 1920, 1080)
                                  << QRect(100, 50, 400, 300) << QRect(200, 100, 800, 600);
    QTest::newRow("whole monitor") << QSize(1920, 1080) << QRect(0, 0, 1920, 1080)
                                   << QRect(0, 0, 1920, 1080) << QRect(0, 0, 1920, 1080);
    QTest::newRow("past the edge")
        << QSize(1920, 1080) << QRect(0, 0, 1920, 1080) << QRect(1800, 100, 400, 300) << QRect();
    QTest::newRow("other monitor")
        << QSize(1920, 1080) << QRect(0, 0, 1920, 1080) << QRect(2000, 100, 400, 300) << QRect();
}

void TestWaylandRecord::cropInFrame()
{
    QFETCH(QSize, frame);
    QFETCH(QRect, monitor);
    QFETCH(QRect, rect);
    QFETCH(QRect, crop);
    QCOMPARE(PipeWireSource::cropInFrame(frame, monitor, rect), crop);
}

void TestWaylandRecord::expectRefusal(const QString &text)
{
    ProjectData *project = ProjectData::instance();
    const int before = project->count();
    QPointer<RecordScreenWidget> window =
        new RecordScreenWidget(QRectF(500, 300, 600, 300), AVData(), -1);
    QSignalSpy finished(window.data(), &RecordScreenWidget::sig_Record_Finish);
    window->show();
    QVERIFY(finished.count() > 0 || finished.wait(15000));
    QVERIFY(waitUntil([&]() { return window.isNull(); }, 3000));
    QMessageBox *box = messageBox();
    QVERIFY(box);
    QCOMPARE(box->text(), text);
    QCOMPARE(box->windowTitle(), "警告");
    if (!qEnvironmentVariableIsEmpty("LUMORA_SCREENSHOTS"))
        box->grab().save(
            QStringLiteral("%1/%2.png")
                .arg(qEnvironmentVariable("LUMORA_SCREENSHOTS"), QTest::currentTestFunction()));
    box->close();
    QCOMPARE(project->count(), before);
    QVERIFY(QDir(project->projectDir()).entryList(QDir::Files).isEmpty());
}

void TestWaylandRecord::noPortal()
{
    startProject("noportal");
    expectRefusal(ScreenCastPortal::failureText(ScreenCastPortal::Failure::NoPortal));
    QVERIFY(ScreenCastPortal::failureText(ScreenCastPortal::Failure::NoPortal)
                .contains("xdg-desktop-portal"));
}

void TestWaylandRecord::refused()
{
    startProject("refused");
    WaylandDesktop::TestPortal portal("refuse");
    QVERIFY(portal.isServing());
    expectRefusal(ScreenCastPortal::failureText(ScreenCastPortal::Failure::Refused));
    QCOMPARE(portal.asked(), 1);
    QVERIFY(
        readSetting(QString::fromLatin1(ScreenCastPortal::kRestoreTokenKey)).toString().isEmpty());
}

void TestWaylandRecord::sharedAndRecordedTwice()
{
    startProject("shared");
    std::optional<WaylandDesktop::TestPortal> portal;
    portal.emplace("share");
    QVERIFY(portal->isServing());
    ProjectData *project = ProjectData::instance();

    // Red left, blue right.
    Block red(QRect(400, 200, 300, 600), kRed);
    Block blue(QRect(900, 200, 300, 600), kBlue);
    QVERIFY(QTest::qWaitForWindowExposed(&red));
    QVERIFY(QTest::qWaitForWindowExposed(&blue));

    QPointer<RecordScreenWidget> window =
        new RecordScreenWidget(QRectF(500, 300, 600, 300), AVData(), -1);
    QSignalSpy finished(window.data(), &RecordScreenWidget::sig_Record_Finish);
    qint64 startedUs = 0;
    connect(window->countDown(), &CountDownWidget::sig_CountDownFinished, this,
            [&]() { startedUs = BenchTools::monotonicUs(); });
    window->show();
    // The desktop shared the screen: the clip is in the project and the count-down runs.
    QVERIFY(waitUntil([&]() { return window->countDown()->isVisible(); }, 15000));
    QCOMPARE(project->count(), 1);
    QCOMPARE(portal->asked(), 1);
    QVERIFY(
        !readSetting(QString::fromLatin1(ScreenCastPortal::kRestoreTokenKey)).toString().isEmpty());
    QVERIFY(waitUntil([&]() { return startedUs > 0; }, 6000));

    // A green stroke over the red part.
    RecordScreenCtrlWidget *bar = window->ctrlWidget();
    QVERIFY(window->drawingAvailable());
    BoardToolsWidget *tools = bar->boardTools();
    QToolButton *pen = toolButton(tools, "画笔");
    QVERIFY(pen);
    pen->click();
    QCOMPARE(tools->boardSettings()->tool, int(ToolPen));
    toolButton(tools, "画笔设置")->click();
    ColorRadioBtn *green = nullptr;
    for (ColorRadioBtn *b : tools->popup()->findChildren<ColorRadioBtn *>())
        if (b->color() == kPen)
            green = b;
    QVERIFY(green);
    green->click();
    QCOMPARE(tools->boardSettings()->pen.color(), kPen);
    tools->popup()->hide();
    QVERIFY(XPointer::drag({{530, 330}, {670, 560}}, 20));
    QCOMPARE(window->canvas()->curRecord()->paths().size(), 1);
    // Then, between them, a window that flashes at each beep it plays.
    std::optional<FlashAndBeep> flash;
    flash.emplace(QRect(700, 200, 200, 600), "lumora_sink", 700);
    QVERIFY(QTest::qWaitForWindowExposed(&*flash));
    QVERIFY(QTest::qWaitFor([&] { return flash->isPlaying(); }, 5000));
    QTest::qWait(6000);
    bar->stopButton()->click();
    QVERIFY(finished.count() > 0 || finished.wait(30000));
    QVERIFY(waitUntil([&]() { return window.isNull(); }, 3000));
    flash->stop();
    if (!qEnvironmentVariableIsEmpty("LUMORA_KEEP_RECORDING"))
        QFile::copy(ProjectData::instance()->at(0).filePath,
                    qEnvironmentVariable("LUMORA_KEEP_RECORDING"));

    // The file holds the desktop's real picture: red and blue where they are, the stroke.
    QCOMPARE(project->count(), 1);
    const AVData recorded = project->at(0);
    QCOMPARE(recorded.videoWidth, 592);
    QCOMPARE(recorded.videoHeight, 292);
    int pictures = 0, coloured = 0, withStroke = 0;
    double last = -1, widest = 0;
    QVERIFY(MediaReadback::forEachPicture(recorded.filePath, [&](double t, const QImage &image) {
        ++pictures;
        if (last >= 0)
            widest = std::max(widest, t - last);
        last = t;
        if (near(image.pixelColor(60, 40), kRed, 30) && near(image.pixelColor(560, 250), kBlue, 30))
            ++coloured;
        if (countNear(image, kPen, 45) > 200)
            ++withStroke;
    }));
    // The compositor sends a picture when the screen changed: the flashes, the stroke.
    QVERIFY2(pictures >= 8, qPrintable(QString::number(pictures)));
    QCOMPARE(coloured, pictures);
    QVERIFY2(withStroke > pictures / 3,
             qPrintable(QString("%1 of %2").arg(withStroke).arg(pictures)));
    // A picture at least every second, whatever changed on the screen.
    QVERIFY2(widest <= 1.05, qPrintable(QString::number(widest)));
    // The beeps are heard where their flashes are seen.
    QString why;
    const bool inStep = flash->inStep(recorded.filePath, startedUs, 3, &why, true);
    qInfo() << qPrintable(why);
    QVERIFY2(inStep, qPrintable(why));

    // A second recording: the desktop remembers the answer and does not ask again. The
    // teacher's camera is turned on in it: laid onto the screen cast's pictures.
    CameraSettings().save();
    TestCamera camera(QStringLiteral("lumora-wayland-camera"), TestCamera::Format::Bgrx, kRed);
    QVERIFY(camera.isReady());
    window = new RecordScreenWidget(QRectF(500, 300, 600, 300), AVData(), -1);
    QSignalSpy again(window.data(), &RecordScreenWidget::sig_Record_Finish);
    bool started = false;
    connect(window->countDown(), &CountDownWidget::sig_CountDownFinished, this,
            [&]() { started = true; });
    window->show();
    window->ctrlWidget()->cameraButton()->click();
    CameraControl *cameraControl = window->findChild<CameraControl *>();
    QVERIFY(cameraControl);
    QVERIFY(
        waitUntil([&]() { return started && cameraControl->preview()->shownNumber() > 0; }, 15000));
    const QRect cameraPlace = cameraControl->preview()->place().rectIn(
        QSize(window->serverRecordRect().width() & ~3, window->serverRecordRect().height() & ~3),
        CameraShape::Circle);
    QCOMPARE(portal->asked(), 1);
    QTest::qWait(800);
    // The desktop ends the sharing while recording (its portal goes away): the teacher is told
    // on the bar's line, no box comes over the recorded picture, and what was recorded is kept.
    QTest::qWait(500);
    portal.reset();
    QLabel *line = window->ctrlWidget()->warningLabel();
    QVERIFY(waitUntil([&]() { return line->text().startsWith("桌面停止了屏幕共享"); }, 10000));
    QVERIFY(line->isVisible());
    QVERIFY(!messageBox());
    QTest::qWait(1500);
    QVERIFY(window);
    window->ctrlWidget()->stopButton()->click();
    QVERIFY(again.count() > 0 || again.wait(30000));
    QCOMPARE(project->count(), 2);
    const MediaReadback::StreamsInfo info = MediaReadback::streams(project->at(1).filePath);
    QVERIFY(info.opened);
    // The picture goes on to the stop (the last one the desktop sent), as the sound does.
    QVERIFY2(info.durationSeconds > 1.9, qPrintable(QString::number(info.durationSeconds)));
    double lastPicture = 0;
    QVERIFY(MediaReadback::forEachPicture(project->at(1).filePath,
                                          [&](double t, const QImage &) { lastPicture = t; }));
    QVERIFY2(lastPicture > info.durationSeconds - 0.2, qPrintable(QString::number(lastPicture)));
    // The camera in its circle while the desktop shared the screen.
    QImage withCamera;
    QVERIFY(MediaReadback::forEachPicture(project->at(1).filePath,
                                          [&](double t, const QImage &picture) {
                                              if (t <= 0.7)
                                                  withCamera = picture;
                                          }));
    QVERIFY(near(withCamera.pixelColor(cameraPlace.center()), kRed, 50));
    QVERIFY(!near(withCamera.pixelColor(cameraPlace.topLeft() + QPoint(2, 2)), kRed, 80));
}

// A slide lesson records the slides themselves: the desktop is asked nothing (its portal would
// refuse), and the slide with a pen stroke over it is in the file.
void TestWaylandRecord::slideShow()
{
    startProject("slides");
    QString error;
    QVERIFY2(SlideShow::makeDeck(m_dir.path(), 1, "deck", &error), qPrintable(error));
    PptContainer::setAgentProgram(SlideShow::copyAgent(m_dir.path()));
    WaylandDesktop::TestPortal portal("refuse");
    QVERIFY(portal.isServing());
    SlideShow::MessageBoxAnswerer answerer;

    QPointer<BaseWindow> frame = new BaseWindow;
    auto *content = new RecordPptWidget;
    frame->setContentWidget(content);
    frame->resize(1280, 800);
    frame->move(100, 60);
    frame->show();
    QVERIFY(content->openPptFile(m_dir.filePath("deck.pptx"), AVData(), -1));
    content->findChild<QToolButton *>("btn_play")->click();
    QTRY_COMPARE_WITH_TIMEOUT(content->recorder()->state(), ScreenRecord::Recording, 60000);
    QCOMPARE(answerer.shown, QStringList());
    content->drawTools()->findChild<QToolButton *>("btn_pen")->click();
    BoardCanvas *canvas = content->container()->canvas();
    QTRY_VERIFY(canvas->drawEnabled());
    const int y = canvas->height() / 4;
    QTest::mousePress(canvas, Qt::LeftButton, {}, QPoint(canvas->width() / 5, y));
    for (int x = canvas->width() / 5; x <= canvas->width() * 4 / 5; x += 20)
        QTest::mouseMove(canvas, QPoint(x, y), 5);
    QTest::mouseRelease(canvas, Qt::LeftButton, {}, QPoint(canvas->width() * 4 / 5, y));
    QTest::qWait(1500);
    content->findChild<QToolButton *>("btn_stop")->click();
    QTRY_VERIFY_WITH_TIMEOUT(frame.isNull(), 30000);
    QCOMPARE(portal.asked(), 0);

    // The slide's own colour is in every picture of the file, the stroke in the last.
    ProjectData *project = ProjectData::instance();
    QCOMPARE(project->count(), 1);
    int pictures = 0, slide = 0;
    QImage last;
    QVERIFY(MediaReadback::forEachPicture(project->at(0).filePath, [&](double, const QImage &i) {
        ++pictures;
        if (SlideShow::near(i.pixelColor(i.width() / 10, i.height() / 2),
                            SlideShow::slideColour(1)))
            ++slide;
        last = i;
    }));
    QVERIFY(pictures > 0);
    QCOMPARE(slide, pictures);
    if (!qEnvironmentVariableIsEmpty("LUMORA_SCREENSHOT_DIR"))
        last.save(qEnvironmentVariable("LUMORA_SCREENSHOT_DIR") +
                  "/presentation-recorded-wayland.png");
    const QColor ink = last.pixelColor(last.width() / 2, last.height() / 4);
    QVERIFY2(SlideShow::near(ink, QColor("#fa5151"), 50), qPrintable(ink.name()));
}

QTEST_MAIN(TestWaylandRecord)
#include "tst_waylandrecord.moc"
