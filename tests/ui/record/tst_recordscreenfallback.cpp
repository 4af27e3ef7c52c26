// Recording a screen area on a desktop without a compositing manager, with Qt scaling the
// program by 1.5: the recording window must not hide the desktop (it is shaped to its frame,
// bar and count-down), the desktop under the rectangle stays usable and is what gets recorded,
// drawing is unavailable and the bar says so, and the rectangle handed to the screen grabber
// is in the X server's pixels.
#include "core/project/projectdata.h"
#include "core/record/screenrecord.h"
#include "support/mediareadback.h"
#include "support/screenpixels.h"
#include "support/testdisplay.h"
#include "support/x11windows.h"
#include "support/xpointer.h"
#include "ui/app/startup.h"
#include "ui/board/boardtoolswidget.h"
#include "ui/record/recordscreenctrlwidget.h"
#include "ui/record/recordscreenselectwidget.h"
#include "ui/record/recordscreenwidget.h"
#include "ui/record/screengraphicsitem.h"
#include "ui/record/screenselectedbuttonwidget.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

namespace {

const QColor kStageColour(200, 200, 40);

// A window of one colour that counts the presses it gets.
class Stage : public QWidget
{
public:
    explicit Stage(const QRect &rect)
    {
        setWindowFlags(Qt::FramelessWindowHint);
        setGeometry(rect);
        show();
    }
    int presses = 0;

protected:
    void paintEvent(QPaintEvent *) override { QPainter(this).fillRect(rect(), kStageColour); }
    void mousePressEvent(QMouseEvent *) override { ++presses; }
};

// The X server's pixels of a point of the (scaled) desktop.
QPoint server(const QPoint &logical)
{
    return (QPointF(logical) * 1.5).toPoint();
}

QPoint centreOf(const QWidget *widget)
{
    return server(widget->mapToGlobal(widget->rect().center()));
}

}  // namespace

using namespace ScreenPixels;

class TestRecordScreenFallback : public QObject
{
    Q_OBJECT
public:
    // The whole program on the test display without a compositing manager, scaled by 1.5.
    static void initMain()
    {
        TestDisplay::useDisplayWithoutCompositor();
        qputenv("QT_SCALE_FACTOR", "1.5");
    }

private slots:
    void initTestCase()
    {
        QVERIFY(applyApplicationStyleSheet(*qApp));
        QVERIFY(!TestDisplay::hasCompositor());
        QCOMPARE(QGuiApplication::primaryScreen()->devicePixelRatio(), 1.5);
        QCOMPARE(QGuiApplication::primaryScreen()->geometry(), QRect(0, 0, 1280, 720));
    }

    void recordWithoutCompositor();

private:
    QTemporaryDir m_dir;
};

void TestRecordScreenFallback::recordWithoutCompositor()
{
    ProjectData *project = ProjectData::instance();
    project->reset();
    project->setProjectDir(m_dir.path() + "/");
    Stage stage(QRect(100, 100, 600, 400));  // (150, 150) 900 x 600 on the server
    QVERIFY(QTest::qWaitForWindowExposed(&stage));

    // The selection: the frozen screen in the server's full resolution, the rectangle drawn
    // with the real pointer in server pixels.
    QPointer<RecordScreenSelectWidget> select = new RecordScreenSelectWidget;
    select->show();
    QVERIFY(QTest::qWaitForWindowExposed(select));
    QCOMPARE(select->screenPixmap().size(), QSize(1920, 1080));
    QVERIFY(XPointer::drag({{300, 300}, {900, 660}}, 40));
    ScreenGraphicsItem *item = select->selectionItem();
    QCOMPARE(item->selectRect(), QRectF(200, 200, 400, 240));
    QPointer<RecordScreenWidget> window;
    connect(select, &RecordScreenSelectWidget::sig_StartRecord, this, [&](const QRectF &area) {
        window = new RecordScreenWidget(area, AVData(), -1, nullptr, select->grabbedScreen());
        window->show();
    });
    QVERIFY(XPointer::click(centreOf(item->buttonWidget()->startButton())));
    QVERIFY(waitUntil([&]() { return !window.isNull(); }, 3000));
    QVERIFY(waitUntil([&]() { return select.isNull(); }, 3000));
    QVERIFY(QTest::qWaitForWindowExposed(window));

    // Inside the frame, in server pixels: (203, 203) to (598, 438) times 1.5, whole pixels in.
    QCOMPARE(window->serverRecordRect(), QRect(305, 305, 592, 352));
    QCOMPARE(window->recorder()->recordRect(), QRect(305, 305, 592, 352));

    // Drawing is unavailable, and the bar says so instead of showing the tools.
    RecordScreenCtrlWidget *bar = window->ctrlWidget();
    QVERIFY(!window->drawingAvailable());
    QVERIFY(bar->boardTools()->isHidden());
    QVERIFY(bar->drawUnavailableLabel()->isVisible());
    QVERIFY(bar->drawUnavailableLabel()->text().contains("无法画笔"));
    const QString shots = qEnvironmentVariable("LUMORA_SCREENSHOTS");
    if (!shots.isEmpty())
        bar->grab().save(shots + "/fallback-bar.png");

    // The window is only its frame, bar and count-down: the desktop under the rectangle shows
    // and takes the pointer.
    QVERIFY(waitUntil([&]() { return bar->stopButton()->isEnabled(); }, 8000));
    QVERIFY(!window->mask().contains(QPoint(400, 320)));
    QVERIFY(window->mask().contains(QPoint(200, 320)));
    QVERIFY(window->mask().contains(bar->geometry().center()));
    QTest::qWait(200);
    const QImage seen = desktop();
    if (!shots.isEmpty())
        seen.save(shots + "/fallback-desktop.png");
    QVERIFY(near(seen.pixelColor(600, 480), kStageColour, 6));
    QVERIFY(near(seen.pixelColor(300, 480), QColor("#f2733d"), 8));
    QVERIFY(XPointer::click({600, 480}));
    QVERIFY(waitUntil([&]() { return stage.presses == 1; }, 2000));

    QTest::qWait(1500);
    QSignalSpy finished(window.data(), &RecordScreenWidget::sig_Record_Finish);
    // Closed from outside, as the window manager closes a window: the recording is stopped and
    // finished, not lost.
    QVERIFY(X11Windows::requestClose(quint32(window->winId())));
    QVERIFY(finished.count() > 0 || finished.wait(30000));
    QVERIFY(waitUntil([&]() { return window.isNull(); }, 3000));

    // The file holds the desktop under the rectangle, never the frame or the bar.
    QCOMPARE(project->count(), 1);
    const AVData recorded = project->at(0);
    QCOMPARE(recorded.videoWidth, 592);
    QCOMPARE(recorded.videoHeight, 352);
    // The pointer may be in the picture (it is recorded); the frame's orange never is, and
    // the rest is the stage, up to the edges.
    int pictures = 0, desktopShown = 0, framed = 0;
    QVERIFY(MediaReadback::forEachPicture(recorded.filePath, [&](double, const QImage &image) {
        ++pictures;
        QCOMPARE(image.size(), QSize(592, 352));
        int stagePixels = 0, frameOrBar = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                stagePixels += near(c, kStageColour, 30) ? 1 : 0;
                // The frame would be at the picture's edges (the pointer is in the middle).
                const bool edge =
                    x < 6 || y < 6 || x >= image.width() - 6 || y >= image.height() - 6;
                frameOrBar +=
                    near(c, QColor("#f2733d"), 40) || (edge && !near(c, kStageColour, 30));
            }
        desktopShown += stagePixels > image.width() * image.height() * 95 / 100 ? 1 : 0;
        framed += frameOrBar > 5 ? 1 : 0;
        if (frameOrBar > 5 && framed == 1 && !shots.isEmpty())
            image.save(shots + "/fallback-framed.png");
    }));
    // Pictures where the screen changed (the click) and at least once a second.
    QVERIFY(pictures >= 2);
    QCOMPARE(desktopShown, pictures);
    QCOMPARE(framed, 0);
}

QTEST_MAIN(TestRecordScreenFallback)
#include "tst_recordscreenfallback.moc"
