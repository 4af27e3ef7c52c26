// The presentation recording window on a desktop without a compositing manager: the slides
// and the ink over them are recorded as on any other desktop (nothing is grabbed from the
// screen, so nothing depends on translucent windows).
#include "core/project/projectdata.h"
#include "core/record/screenrecord.h"
#include "support/mediareadback.h"
#include "support/slideshow.h"
#include "support/testdisplay.h"
#include "ui/base/basewindow.h"
#include "ui/board/boardcanvas.h"
#include "ui/board/boardtoolswidget.h"
#include "ui/slides/pptcontainer.h"
#include "ui/slides/recordpptwidget.h"

#include <QPointer>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

class TestRecordPptNoCompositor : public QObject
{
    Q_OBJECT
public:
    static void initMain() { TestDisplay::useDisplayWithoutCompositor(); }

private slots:
    void recordsTheSlidesAndTheInk();
};

void TestRecordPptNoCompositor::recordsTheSlidesAndTheInk()
{
    QVERIFY(!TestDisplay::hasCompositor());
    QTemporaryDir dir;
    QString error;
    QVERIFY2(SlideShow::prepareContainer(dir.path(), &error), qPrintable(error));
    ProjectData *project = ProjectData::instance();
    project->reset();
    project->setProjectDir(dir.path() + "/project/");
    QVERIFY(QDir().mkpath(project->projectDir()));

    SlideShow::MessageBoxAnswerer answerer;
    QPointer<BaseWindow> frame = new BaseWindow;
    auto *content = new RecordPptWidget;
    frame->setContentWidget(content);
    frame->resize(1024, 700);
    frame->show();
    content->openPptFile(dir.filePath("single.odp"), AVData(), -1);
    QTRY_VERIFY_WITH_TIMEOUT(content->container()->slidesInPlace() || !answerer.shown.isEmpty(),
                             120000);
    QCOMPARE(answerer.shown, QStringList());

    content->findChild<QToolButton *>("btn_play")->click();
    QTRY_COMPARE_WITH_TIMEOUT(content->recorder()->state(), ScreenRecord::Recording, 20000);
    // A pen stroke across the middle of the slide.
    QVERIFY(content->drawTools()->isEnabled());
    content->drawTools()->findChild<QToolButton *>("btn_pen")->click();
    BoardCanvas *canvas = content->container()->canvas();
    QTRY_VERIFY(canvas->drawEnabled() && canvas->isVisible());
    const int y = canvas->height() / 4;
    QTest::mousePress(canvas, Qt::LeftButton, {}, QPoint(canvas->width() / 5, y));
    for (int x = canvas->width() / 5; x <= canvas->width() * 4 / 5; x += 20)
        QTest::mouseMove(canvas, QPoint(x, y), 5);
    QTest::mouseRelease(canvas, Qt::LeftButton, {}, QPoint(canvas->width() * 4 / 5, y));
    QTest::qWait(2000);
    content->findChild<QToolButton *>("btn_stop")->click();
    QTRY_VERIFY_WITH_TIMEOUT(frame.isNull(), 60000);

    QCOMPARE(project->count(), 1);
    const AVData clip = project->at(0);
    QCOMPARE(clip.fileName, QStringLiteral("single_1.mp4"));
    QVERIFY(clip.length() >= 1000);
    // The recording shows the slide, not a black canvas.
    // On failure the colour every half second tells a late slide from a wrong place.
    QColor shown;
    QStringList timeline;
    QVERIFY(MediaReadback::forEachPicture(clip.filePath, [&](double sec, const QImage &picture) {
        const QColor colour = picture.pixelColor(picture.width() / 10, picture.height() / 2);
        if (!shown.isValid() && sec >= clip.length() / 2000.0)
            shown = colour;
        if (timeline.size() <= sec * 2)
            timeline << QStringLiteral("%1 s %2").arg(sec, 0, 'f', 1).arg(colour.name());
    }));
    QVERIFY2(SlideShow::near(shown, SlideShow::slideColour(1)), qPrintable(timeline.join(", ")));
    // The stroke is on the slide at the end.
    QImage last;
    QVERIFY(MediaReadback::forEachPicture(clip.filePath,
                                          [&](double, const QImage &picture) { last = picture; }));
    if (!qEnvironmentVariableIsEmpty("LUMORA_SCREENSHOT_DIR"))
        last.save(qEnvironmentVariable("LUMORA_SCREENSHOT_DIR") +
                  "/presentation-recorded-no-compositor.png");
    const QColor ink = last.pixelColor(last.width() / 2, last.height() / 4);
    QVERIFY2(SlideShow::near(ink, QColor("#fa5151"), 50), qPrintable(ink.name()));
}

QTEST_MAIN(TestRecordPptNoCompositor)
#include "tst_recordpptnocompositor.moc"
