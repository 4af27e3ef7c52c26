// The teacher's camera, through the real windows, with a real camera on the test desktop's
// PipeWire server whose colour the test changes: 设置 → 摄像头 with no camera and with one; a
// board lesson with the camera shown from the start, its colour changed, dragged to another
// corner, hidden and shown again with the key, and unplugged; a slide lesson and a screen
// lesson with the camera turned on by its button (the screen one with a window over the
// preview); a lesson whose camera cannot be opened. The files show the camera's colours inside
// its shape at its place, the change at its time, nothing of it while hidden.
#include "core/camera/camerasettings.h"
#include "core/project/projectdata.h"
#include "core/record/picturesource.h"
#include "core/record/screenrecord.h"
#include "support/screenpixels.h"
#include "support/slideshow.h"
#include "support/testcamera.h"
#include "support/whiteboardjourney.h"
#include "support/xpointer.h"
#include "ui/app/startup.h"
#include "ui/base/basewindow.h"
#include "ui/board/countdownwidget.h"
#include "ui/camera/cameracontrol.h"
#include "ui/camera/camerapreview.h"
#include "ui/record/recordscreenctrlwidget.h"
#include "ui/record/recordscreenwidget.h"
#include "ui/settings/camerasettingswidget.h"
#include "ui/settings/settingwidget.h"
#include "ui/slides/recordpptwidget.h"
#include "ui/whiteboard/recordwhiteboardwidget.h"
#include "ui/whiteboard/whiteboardview.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <optional>

using namespace WhiteboardJourney;

namespace {
const QString kNode = QStringLiteral("lumora-test-camera");
const QColor kRed(220, 30, 30);
const QColor kBlue(30, 60, 220);

QPoint centreOf(const QWidget *w)
{
    return w->mapToGlobal(w->rect().center());
}

bool click(QWidget *w)
{
    return w && w->isVisible() && XPointer::click(centreOf(w));
}

// Seconds into the file of a capture time, for a recording started at `startUs`.
double fileSeconds(qint64 us, qint64 startUs)
{
    return double(us - startUs) / 1e6;
}

// The colour of `picture` at the middle of the camera's rectangle `rect` (in the picture's
// pixels), averaged over a few pixels.
QColor middleOf(const QImage &picture, const QRect &rect)
{
    int r = 0, g = 0, b = 0, n = 0;
    for (int dy = -3; dy <= 3; ++dy)
        for (int dx = -3; dx <= 3; ++dx) {
            const QColor c = picture.pixelColor(rect.center() + QPoint(dx, dy));
            r += c.red(), g += c.green(), b += c.blue(), ++n;
        }
    return QColor(r / n, g / n, b / n);
}

// The first picture time at or after `fromSec` whose camera middle shows `colour`; -1 if none.
double firstShowing(const QList<QPair<double, QImage>> &pictures, const QRect &rect,
                    const QColor &colour, double fromSec)
{
    for (const auto &[sec, picture] : pictures)
        if (sec >= fromSec && SlideShow::near(middleOf(picture, rect), colour, 50))
            return sec;
    return -1;
}

// The settings as the teacher leaves them for a lesson: the camera shown while recording.
void chooseCameraSettings(bool show, CameraShape shape)
{
    CameraSettings settings = CameraSettings::load();
    settings.showWhileRecording = show;
    settings.shape = shape;
    settings.size = CameraSize::Medium;
    settings.mirrorRecording = false;
    settings.save();
    CameraPlace::forgetSizes();
}

// Opens 设置 at its 摄像头 page by clicking the menu entry; the page once its list is filled.
CameraSettingsWidget *openCameraPage(QPointer<SettingWidget> &settings)
{
    settings = new SettingWidget;
    settings->show();
    if (!QTest::qWaitForWindowExposed(settings))
        return nullptr;
    auto *menu = settings->findChild<QListWidget *>();
    QListWidgetItem *entry = menu ? menu->item(4) : nullptr;
    QWidget *view = entry ? menu->itemWidget(entry) : nullptr;
    if (!view || !XPointer::click(view->mapToGlobal(view->rect().center())))
        return nullptr;
    CameraSettingsWidget *page = settings->cameraWidget();
    if (!QTest::qWaitFor([&]() { return page->isVisible() && !page->isLoading(); }, 10000))
        return nullptr;
    return page;
}
}  // namespace

class TestCameraJourney : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void settingsPageListsAndShowsTheCamera();
    void boardLessonShowsTheTeacher();
    void slideAndScreenLessonsShowTheTeacher();
    void aCameraThatCannotBeOpenedIsSaidBeforeTheCountDown();
    void cleanupTestCase();

private:
    QTemporaryDir m_dir;
    QString m_shots;
};

void TestCameraJourney::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(applyApplicationStyleSheet(*qApp));
    QVERIFY(SlideShow::ensureDesktop());
    m_shots = qEnvironmentVariable("LUMORA_SCREENSHOTS");
    // The settings as on a new machine: no camera chosen, each window's first place.
    CameraSettings().save();
    for (const char *kind : {"screen", "board", "slides"})
        CameraPlace().save(QString::fromLatin1(kind));
}

void TestCameraJourney::settingsPageListsAndShowsTheCamera()
{
    // No camera on the desktop: the page and its list say so, and why.
    QPointer<SettingWidget> settings;
    CameraSettingsWidget *page = openCameraPage(settings);
    QVERIFY(page);
    QCOMPARE(page->cameraBox()->currentText(), QStringLiteral("没有找到摄像头"));
    QVERIFY(!page->cameraBox()->isEnabled());
    auto *why = page->findChild<QLabel *>(QStringLiteral("label_camera_none"));
    QVERIFY(why && why->isVisible() && !why->text().isEmpty());
    settings->close();

    // A camera plugged in: listed by its name, its picture live in the preview.
    TestCamera camera(kNode, TestCamera::Format::Bgrx, Qt::green);
    QVERIFY(camera.isReady());
    page = openCameraPage(settings);
    QVERIFY(page);
    QCOMPARE(page->cameraBox()->currentText(), TestCamera::description());
    QVERIFY(page->cameraBox()->isEnabled());
    CameraPreview *preview = page->preview();
    QTRY_VERIFY_WITH_TIMEOUT(preview->shownNumber() > 0, 8000);
    QTest::qWait(200);
    QVERIFY(SlideShow::near(preview->grab().toImage().pixelColor(preview->rect().center()),
                            Qt::green, 40));
    if (!m_shots.isEmpty())
        ScreenPixels::desktop()
            .copy(settings->frameGeometry())
            .save(m_shots + "/settings-camera.png");

    // The teacher's choices are kept as they are made.
    for (const char *name :
         {"check_camera_show", "radio_rounded", "radio_small", "check_camera_mirror_recording"})
        QVERIFY2(click(page->findChild<QWidget *>(QString::fromLatin1(name))), name);
    const CameraSettings chosen = CameraSettings::load();
    QVERIFY(chosen.showWhileRecording);
    QCOMPARE(chosen.shape, CameraShape::RoundedRect);
    QCOMPARE(chosen.size, CameraSize::Small);
    QVERIFY(chosen.mirrorRecording);
    QCOMPARE(chosen.camera.id, kNode);
    // The preview takes the rounded rectangle's shape, 16:9.
    QCOMPARE(preview->shape(), CameraShape::RoundedRect);
    QVERIFY(std::abs(preview->width() * 9 - preview->height() * 16) <= 16);
    settings->close();
}

void TestCameraJourney::boardLessonShowsTheTeacher()
{
    chooseCameraSettings(true, CameraShape::Circle);
    std::optional<TestCamera> camera;
    camera.emplace(kNode, TestCamera::Format::Yuy2, kRed);
    QVERIFY(camera->isReady());
    QVERIFY(openEditor(m_dir.filePath("board")));
    RecordWhiteboardWidget *w = openWhiteboard();
    QVERIFY(w);
    QPointer<QWidget> frame = w->window();
    QToolButton *button = w->form().btn_camera;
    // Shown from the start, where it will be in the file: the board's bottom-right corner.
    CameraPreview *preview = w->camera()->preview();
    QTRY_VERIFY_WITH_TIMEOUT(preview->isVisible() && preview->shownNumber() > 0, 10000);
    QVERIFY(button->isChecked());
    const QSize picture = w->board()->pictureSize();
    const QRect board = w->board()->boardRect();
    const QRect before = preview->place().rectIn(picture, CameraShape::Circle);
    QVERIFY(before.right() > picture.width() * 9 / 10 &&
            before.bottom() > picture.height() * 8 / 10);
    QVERIFY(board.contains(preview->geometry()));

    QVERIFY(clickButton(w, "btn_play"));
    QTRY_VERIFY(w->countDown());
    qint64 startUs = -1;
    connect(w->countDown(), &CountDownWidget::sig_CountDownFinished, this,
            [&]() { startUs = PictureSource::captureClockUs(); });
    QTRY_VERIFY_WITH_TIMEOUT(startUs > 0, 20000);
    QCOMPARE(w->recorder()->state(), ScreenRecord::Recording);
    QTest::qWait(1200);
    const qint64 blueUs = camera->setColour(kBlue);
    QVERIFY(blueUs > 0);
    QTest::qWait(1000);

    // Dragged with the pointer to the top-left part of the board.
    const QPoint from = centreOf(preview);
    const QPoint to =
        w->board()->mapToGlobal(board.topLeft() + QPoint(board.width() / 5, board.height() / 4));
    QVERIFY(XPointer::drag({from, to}, 20));
    const qint64 movedUs = PictureSource::captureClockUs();
    const QRect after = preview->place().rectIn(picture, CameraShape::Circle);
    QVERIFY2(after.center().x() < picture.width() / 2 && after.center().y() < picture.height() / 2,
             qPrintable(QStringLiteral("%1,%2").arg(after.x()).arg(after.y())));
    QTest::qWait(1000);
    if (!m_shots.isEmpty())
        ScreenPixels::desktop().save(m_shots + "/board-camera.png");

    // The key hides it and shows it again, as the button does.
    const QString key = QStringLiteral("ctrl+alt+w");
    QVERIFY(XPointer::key(key));
    QTRY_VERIFY(!button->isChecked());
    const qint64 hiddenUs = PictureSource::captureClockUs();
    QVERIFY(!preview->isVisible());
    QTest::qWait(1200);
    QVERIFY(XPointer::key(key));
    QTRY_VERIFY(button->isChecked());
    const qint64 shownUs = PictureSource::captureClockUs();
    QTest::qWait(1000);

    // Unplugged: said on the bar; the recording goes on.
    camera->remove();
    const qint64 goneUs = PictureSource::captureClockUs();
    auto *warning = w->findChild<QLabel *>(QStringLiteral("label_record_warning"));
    QTRY_VERIFY_WITH_TIMEOUT(warning->isVisible() && warning->text().contains("摄像头"), 5000);
    QCOMPARE(w->recorder()->state(), ScreenRecord::Recording);
    QTest::qWait(1000);
    QVERIFY(clickButton(w, "btn_stop"));
    QTRY_VERIFY_WITH_TIMEOUT(frame.isNull(), 60000);

    const QList<AVData> clips = ProjectData::instance()->avDatas();
    QCOMPARE(titlesOf(clips), (QStringList{"a", "b", "白板第1页", "b"}));
    const QList<QPair<double, QImage>> shown = pictures(clips.at(2).filePath);
    QVERIFY(!shown.isEmpty());
    const QColor white(255, 255, 255);
    const auto at = [&](qint64 us) { return shownAt(shown, fileSeconds(us, startUs)); };
    // Red in the circle at its first place, the board around it (its square's corner).
    const QImage first = at(blueUs - 400000);
    QVERIFY(SlideShow::near(middleOf(first, before), kRed, 50));
    QVERIFY(SlideShow::near(first.pixelColor(before.topLeft() + QPoint(3, 3)), white, 30));
    // Blue from the moment the camera showed it.
    const double blueSec = firstShowing(shown, before, kBlue, 0);
    QVERIFY2(std::abs(blueSec - fileSeconds(blueUs, startUs)) <= 0.1,
             qPrintable(QStringLiteral("blue at %1 s, shown at %2 s")
                            .arg(fileSeconds(blueUs, startUs))
                            .arg(blueSec)));
    // At its new place after the drag, gone from the old one.
    const QImage moved = at(movedUs + 400000);
    QVERIFY(SlideShow::near(middleOf(moved, after), kBlue, 50));
    QVERIFY(SlideShow::near(middleOf(moved, before), white, 30));
    // Nothing of it while hidden; back when shown.
    QVERIFY(SlideShow::near(middleOf(at(hiddenUs + 400000), after), white, 30));
    QVERIFY(SlideShow::near(middleOf(at(shownUs + 400000), after), kBlue, 50));
    // Unplugged: the board without it to the end.
    QVERIFY(SlideShow::near(middleOf(shown.last().second, after), white, 30));
    QVERIFY(shown.last().first > fileSeconds(goneUs, startUs) + 0.5);
    // The place is kept for the next board lesson.
    QCOMPARE(CameraPlace::load(QStringLiteral("board"), CameraSize::Medium)
                 .rectIn(picture, CameraShape::Circle),
             after);
}

void TestCameraJourney::slideAndScreenLessonsShowTheTeacher()
{
    chooseCameraSettings(false, CameraShape::RoundedRect);
    TestCamera camera(kNode, TestCamera::Format::Mjpeg, kRed);
    QVERIFY(camera.isReady());
    QString error;
    QVERIFY2(SlideShow::prepareContainer(m_dir.path(), &error), qPrintable(error));
    QVERIFY(openEditor(m_dir.filePath("slides")));

    // A slide lesson: the camera turned on by its button before 开始.
    auto *frame = new BaseWindow;
    QPointer<QWidget> frameGuard = frame;
    QPointer<RecordPptWidget> slides = new RecordPptWidget;
    frame->setContentWidget(slides);
    frame->resize(1280, 800);
    frame->show();
    slides->openPptFile(m_dir.filePath("lesson.pptx"), AVData(), -1);
    QTRY_VERIFY_WITH_TIMEOUT(
        slides->form().btn_play->isEnabled() && !slides->board()->pagePicture(1).isNull(), 30000);
    QToolButton *button = slides->form().btn_camera;
    QVERIFY(!button->isChecked());
    QVERIFY(click(button));
    CameraPreview *preview = slides->camera()->preview();
    QTRY_VERIFY_WITH_TIMEOUT(preview->isVisible() && preview->shownNumber() > 0, 10000);
    QVERIFY(button->isChecked());
    const QSize picture = slides->board()->pictureSize();
    const QRect place = preview->place().rectIn(picture, CameraShape::RoundedRect);
    QVERIFY(std::abs(place.width() * 9 - place.height() * 16) <= 32);  // 16:9 in even pixels
    QVERIFY(click(slides->form().btn_play));
    QTRY_VERIFY_WITH_TIMEOUT(slides && slides->recorder()->state() == ScreenRecord::Recording,
                             20000);
    QTest::qWait(1500);
    if (!m_shots.isEmpty())
        ScreenPixels::desktop().save(m_shots + "/slides-camera.png");
    QVERIFY(click(slides->form().btn_stop));
    QTRY_VERIFY_WITH_TIMEOUT(frameGuard.isNull(), 60000);
    const QList<AVData> clips = ProjectData::instance()->avDatas();
    QVERIFY(!clips.isEmpty());
    const QList<QPair<double, QImage>> slideShown = pictures(clips.last().filePath);
    QVERIFY(!slideShown.isEmpty());
    const QImage slide = slideShown.last().second;
    QVERIFY(SlideShow::near(middleOf(slide, place), kRed, 50));
    // The slide around it: its own colour just outside the rounded corner.
    QVERIFY(SlideShow::near(slide.pixelColor(place.topLeft() + QPoint(2, 2)),
                            SlideShow::slideColour(1), 50));

    // A screen lesson: the camera at the rectangle's corner, over whatever is there, and a
    // window put over the preview does not hide it in the file.
    QPointer<RecordScreenWidget> screen =
        new RecordScreenWidget(QRectF(200, 150, 800, 500), ProjectData::instance()->at(0), -1);
    screen->show();
    QVERIFY(QTest::qWaitForWindowExposed(screen));
    QToolButton *screenButton = screen->ctrlWidget()->cameraButton();
    QVERIFY(!screenButton->isChecked());
    qint64 startUs = -1;
    connect(screen->countDown(), &CountDownWidget::sig_CountDownFinished, this,
            [&]() { startUs = PictureSource::captureClockUs(); });
    QVERIFY(click(screenButton));
    CameraControl *control = screen->findChild<CameraControl *>();
    QVERIFY(control);
    QTRY_VERIFY_WITH_TIMEOUT(control->preview()->shownNumber() > 0, 10000);
    QTRY_VERIFY_WITH_TIMEOUT(startUs > 0, 20000);
    const QSize screenPicture(screen->serverRecordRect().width() & ~3,
                              screen->serverRecordRect().height() & ~3);
    const QRect screenPlace =
        control->preview()->place().rectIn(screenPicture, CameraShape::RoundedRect);
    QVERIFY(QRect(200, 150, 800, 500).contains(control->preview()->geometry()));
    QWidget cover;
    cover.setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    cover.setStyleSheet(QStringLiteral("background: #00ff00;"));
    cover.setGeometry(control->preview()->geometry().adjusted(-20, -20, 20, 20));
    cover.show();
    QVERIFY(QTest::qWaitForWindowExposed(&cover));
    QTest::qWait(800);
    const qint64 blueUs = camera.setColour(kBlue);
    QTest::qWait(1000);
    QVERIFY(click(screenButton));
    QTRY_VERIFY(!screenButton->isChecked());
    const qint64 hiddenUs = PictureSource::captureClockUs();
    QTest::qWait(1000);
    cover.hide();
    QVERIFY(click(screen->ctrlWidget()->stopButton()));
    QTRY_VERIFY_WITH_TIMEOUT(screen.isNull(), 60000);
    const QList<QPair<double, QImage>> screenShown =
        pictures(ProjectData::instance()->avDatas().last().filePath);
    QVERIFY(!screenShown.isEmpty());
    QVERIFY(SlideShow::near(
        middleOf(shownAt(screenShown, fileSeconds(blueUs, startUs) - 0.3), screenPlace), kRed, 50));
    const double blueSec = firstShowing(screenShown, screenPlace, kBlue, 0);
    QVERIFY2(std::abs(blueSec - fileSeconds(blueUs, startUs)) <= 0.1,
             qPrintable(QString::number(blueSec)));
    // Hidden: the cover the test put there shows instead.
    QVERIFY(SlideShow::near(
        middleOf(shownAt(screenShown, fileSeconds(hiddenUs, startUs) + 0.5), screenPlace),
        QColor(0, 255, 0), 50));
}

void TestCameraJourney::aCameraThatCannotBeOpenedIsSaidBeforeTheCountDown()
{
    // The settings say to show the camera, but there is none.
    chooseCameraSettings(true, CameraShape::Circle);
    QVERIFY(openEditor(m_dir.filePath("none")));
    RecordWhiteboardWidget *w = openWhiteboard();
    QVERIFY(w);
    QPointer<QWidget> frame = w->window();
    QTRY_VERIFY_WITH_TIMEOUT(!w->camera()->openError().isEmpty(), 10000);
    // The bar and the preview say why.
    auto *warning = w->findChild<QLabel *>(QStringLiteral("label_record_warning"));
    QTRY_VERIFY2(warning->isVisible() && warning->text().startsWith("无法打开摄像头"),
                 qPrintable(warning->text()));
    QVERIFY(clickButton(w, "btn_play"));
    QPointer<QMessageBox> box;
    QTRY_VERIFY_WITH_TIMEOUT(
        (box = w->findChild<QMessageBox *>("box_camera_failed")) && box->isVisible(), 5000);
    QVERIFY(box->text().startsWith("无法打开摄像头"));
    QVERIFY(!w->countDown());
    QPushButton *without = nullptr;
    for (QAbstractButton *b : box->buttons())
        if (b->text() == QStringLiteral("不带摄像头录制"))
            without = qobject_cast<QPushButton *>(b);
    // A click on the button itself: on a busy desktop the window manager may still be moving
    // the box when the pointer arrives.
    QVERIFY(without);
    QTest::mouseClick(without, Qt::LeftButton);
    QTRY_VERIFY(box.isNull() || !box->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(w->recorder()->state() == ScreenRecord::Recording, 20000);
    QVERIFY(!w->form().btn_camera->isChecked());
    QTest::qWait(500);
    QVERIFY(clickButton(w, "btn_stop"));
    QTRY_VERIFY_WITH_TIMEOUT(frame.isNull(), 60000);
}

void TestCameraJourney::cleanupTestCase()
{
    // The other tests' recording windows share the settings file: no camera for them.
    CameraSettings().save();
}

QTEST_MAIN(TestCameraJourney)
#include "tst_camerajourney.moc"
