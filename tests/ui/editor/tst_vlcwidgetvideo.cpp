// The picture libvlc draws into the preview widget, and tearing the two down in either order
// while a file plays.
#include "support/cliplist.h"
#include "support/datatable.h"
#include "support/testmedia.h"
#include "ui/base/basemainwidget.h"
#include "ui/base/basewindow.h"
#include "ui/base/nativewindow.h"
#include "ui/editor/playhelper.h"
#include "ui/editor/vlcmediaplayer.h"
#include "ui/editor/vlcwidgetvideo.h"

#include <QLabel>
#include <QScreen>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

class TestVlcWidgetVideo : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QList<AVData> m_clips;

    static bool near(QColor a, QColor b)
    {
        return qAbs(a.red() - b.red()) <= 40 && qAbs(a.green() - b.green()) <= 40 &&
               qAbs(a.blue() - b.blue()) <= 40;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        const QString red = m_dir.filePath("red.mp4");
        const QString blue = m_dir.filePath("blue.mp4");
        QVERIFY(TestMedia::makeClip(red, 2, QSize(160, 120), true, 25, "color=c=red"));
        QVERIFY(TestMedia::makeClip(blue, 2, QSize(160, 120), true, 25, "color=c=blue"));
        m_clips = ClipList::laidOut(
            {ClipList::clip(red, 2000, 0, 2000), ClipList::clip(blue, 2000, 0, 2000)});
    }

    void pictureIsTheClips_data()
    {
        // seekTo: -1: no seek; hops: seeks back and forth between start and seekTo at once
        // before it
        DataTable::columns<bool, qint64, qint64, int, qint64, QColor>(
            "movedIntoWindow", "start", "seekTo", "hops", "playFor", "colour");
        const QColor red(255, 0, 0), blue(0, 0, 255);
        QTest::newRow("first clip, red")
            << false << qint64(200) << qint64(-1) << 0 << qint64(600) << red;
        QTest::newRow("second clip, blue")
            << false << qint64(2200) << qint64(-1) << 0 << qint64(600) << blue;
        // The second file was opened ahead into the window beneath; it must come to the front.
        QTest::newRow("played into the second clip, blue")
            << false << qint64(1000) << qint64(-1) << 0 << qint64(1800) << blue;
        // Paused in the first file, then sought into the second: a fresh player opens it while
        // the first one is still being stopped, and must draw into a window of the widget.
        QTest::newRow("sought from the first clip into the second, blue")
            << false << qint64(200) << qint64(2600) << 0 << qint64(400) << blue;
        // Quick edits: more players are being stopped than the widget had surfaces; the new
        // surfaces must not cover the picture.
        QTest::newRow("sought back and forth at once, then into the second, blue")
            << false << qint64(200) << qint64(2600) << 6 << qint64(400) << blue;
        // As the editor: made on its own with its player, then put into its frame window,
        // which makes the picture's native windows anew.
        QTest::newRow("moved into its window after the player was set, red")
            << true << qint64(200) << qint64(-1) << 0 << qint64(600) << red;
    }
    void pictureIsTheClips()
    {
        const auto [movedIntoWindow, start, seekTo, hops, playFor, colour] =
            DataTable::fetch<bool, qint64, qint64, int, qint64, QColor>(
                "movedIntoWindow", "start", "seekTo", "hops", "playFor", "colour");
        QWidget window;
        window.setStyleSheet("background: rgb(0, 255, 0);");  // anything but the clip colours
        auto *content = new QWidget(movedIntoWindow ? nullptr : &window);
        auto *video = new VlcWidgetVideo(content);
        video->setGeometry(10, 10, 320, 240);
        PlayHelper helper;
        video->setMediaPlayer(helper.mediaPlayer());
        QCOMPARE(helper.mediaPlayer()->videoWidget(), video);
        if (movedIntoWindow)
            content->setParent(&window);
        content->setGeometry(0, 0, 340, 260);
        window.resize(340, 260);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        QVERIFY(helper.setAvDatas(m_clips, start));
        helper.play();
        QTRY_VERIFY_WITH_TIMEOUT(helper.curTime() >= start + playFor, 5000);
        if (seekTo >= 0) {
            helper.pause();
            for (int i = 0; i < hops; ++i)
                helper.seekTo(i % 2 ? start : seekTo);
            if (hops > 0)
                QVERIFY(video->surfaceCount() > VlcWidgetVideo::kSurfaces);
            helper.seekTo(seekTo);
            helper.play();
            QTRY_VERIFY_WITH_TIMEOUT(helper.curTime() >= seekTo + playFor, 5000);
        }
        const QImage shot = video->screen()->grabWindow(video->winId()).toImage();
        helper.pause();
        QCOMPARE(shot.size(), QSize(320, 240));
        // The whole area holds the picture, scaled to the widget.
        for (const QPoint p : {QPoint(160, 120), QPoint(20, 20), QPoint(300, 220)}) {
            const QColor c = shot.pixelColor(p);
            QVERIFY2(near(c, colour), qPrintable(QStringLiteral("(%1,%2) is %3, want %4")
                                                     .arg(p.x())
                                                     .arg(p.y())
                                                     .arg(c.name(), colour.name())));
        }
    }

    // Only the picture has windows of its own: its parent and its siblings stay drawn into
    // the top-level window, and a sibling given its own window shows above the picture.
    void fewNativeWindowsAndOverlayOnTop()
    {
        // In the editor's frame, whose window exists (not yet made) before the editor is built.
        BaseWindow window;
        window.setAttribute(Qt::WA_DeleteOnClose, false);
        window.setStyleSheet("background: rgb(0, 255, 0);");
        auto *content = new QWidget(window.mainWidget());
        window.setContentWidget(content);
        auto *sibling = new QLabel("bar", content);
        sibling->setGeometry(0, 260, 340, 20);
        auto *video = new VlcWidgetVideo(content);
        video->setGeometry(10, 10, 320, 240);
        auto *overlay = new QLabel(content);
        overlay->setStyleSheet("background: rgb(255, 255, 0);");
        overlay->setGeometry(100, 80, 80, 60);
        giveOwnNativeWindow(overlay);
        PlayHelper helper;
        // Asked for before the window exists, as the editor does while it is being built.
        video->setMediaPlayer(helper.mediaPlayer());
        window.resize(340, 280 + BaseMainWidget::kTitleBarHeight);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        overlay->show();
        overlay->raise();
        QCOMPARE(content->internalWinId(), WId(0));
        QCOMPARE(sibling->internalWinId(), WId(0));

        QVERIFY(helper.setAvDatas(m_clips, 200));
        helper.play();
        QTRY_VERIFY_WITH_TIMEOUT(helper.curTime() >= 800, 5000);
        // The screen where the picture is.
        const QPoint at = video->mapToGlobal(QPoint(0, 0));
        const QImage shot = window.screen()->grabWindow(0, at.x(), at.y(), 320, 240).toImage();
        helper.pause();
        // The overlay covers (90,70)-(170,130) of the picture.
        QVERIFY2(near(shot.pixelColor(130, 100), QColor(255, 255, 0)),
                 qPrintable(shot.pixelColor(130, 100).name()));
        QVERIFY2(near(shot.pixelColor(30, 30), QColor(255, 0, 0)),
                 qPrintable(shot.pixelColor(30, 30).name()));
    }

    void teardownWhilePlaying_data()
    {
        QTest::addColumn<bool>("widgetFirst");
        QTest::newRow("widget first") << true;
        QTest::newRow("player first") << false;
    }
    void teardownWhilePlaying()
    {
        QFETCH(bool, widgetFirst);
        auto video = std::make_unique<VlcWidgetVideo>();
        video->resize(160, 120);
        auto helper = std::make_unique<PlayHelper>();
        video->setMediaPlayer(helper->mediaPlayer());
        video->show();
        QVERIFY(QTest::qWaitForWindowExposed(video.get()));
        QVERIFY(helper->setAvDatas(m_clips, 0));
        helper->play();
        QTRY_VERIFY_WITH_TIMEOUT(helper->curTime() >= 300, 5000);
        if (widgetFirst) {
            // The window the picture goes to is gone: the player must have stopped first.
            video.reset();
            QCOMPARE(helper->mediaPlayer()->state(), Vlc::Stopped);
            QVERIFY(!helper->mediaPlayer()->videoWidget());
        } else {
            // Events libvlc sent just before are still queued; they must not reach the
            // deleted player (the sanitizer build would report it).
            helper.reset();
            QVERIFY(!video->mediaPlayer());
        }
        QTest::qWait(500);
        video.reset();
        helper.reset();
    }
};

QTEST_MAIN(TestVlcWidgetVideo)
#include "tst_vlcwidgetvideo.moc"
