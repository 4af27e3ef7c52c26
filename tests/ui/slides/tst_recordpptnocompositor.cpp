// The presentation recording window on a desktop without a compositing manager: the
// transparent canvas would cover the slides with black, so the slides are recorded without
// it, and the drawing tools say why they are off.
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
    void recordsTheSlidesWithoutTheCanvas();
};

void TestRecordPptNoCompositor::recordsTheSlidesWithoutTheCanvas()
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
    QTRY_VERIFY_WITH_TIMEOUT(content->container()->isEmbedded() || !answerer.shown.isEmpty(),
                             120000);
    QCOMPARE(answerer.shown, QStringList());

    content->findChild<QToolButton *>("btn_play")->click();
    QTRY_COMPARE_WITH_TIMEOUT(content->recorder()->state(), ScreenRecord::Recording, 20000);
    QVERIFY(!content->drawTools()->isEnabled());
    QVERIFY(content->drawTools()->toolTip().contains(QStringLiteral("窗口合成")));
    QVERIFY(!content->container()->canvas()->isVisible());
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
}

QTEST_MAIN(TestRecordPptNoCompositor)
#include "tst_recordpptnocompositor.moc"
