// The recording's health as the windows see it, with the real engine, the test X server and
// the test microphone: the silent-microphone warning and the meter, the stop before a full
// disk (a small tmpfs), and the count of pictures grabbed too late on every route.
#include "core/project/projectdata.h"
#include "core/record/recordhealth.h"
#include "core/record/scenepicturesource.h"
#include "core/record/screenrecord.h"
#include "core/record/x11damagesource.h"
#include "core/record/x11grabsource.h"
#include "support/mediainspect.h"
#include "support/recordingsteps.h"
#include "support/smalldisk.h"
#include "support/testtone.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <QtTest>

namespace {
const QRect kArea(0, 0, 320, 240);

double loudest(const QSignalSpy &levels)
{
    double db = soundlevel::kSilentDb;
    for (const QList<QVariant> &args : levels)
        db = std::max(db, args.at(0).toDouble());
    return db;
}

}  // namespace

class TestRecordHealth : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY2(!qEnvironmentVariableIsEmpty("DISPLAY"), "needs the test X server");
    }

    // Nothing on the microphone: the warning within six seconds; a tone: the meter rises and
    // the warning goes; the recording runs on throughout.
    void silentMicrophoneIsToldUntilSoundArrives()
    {
        QTemporaryDir dir;
        AVData clip = RecordingSteps::newProjectClip(ProjectData::instance(), dir.path());
        ScreenRecord engine;
        QVERIFY(RecordingSteps::prepare(engine, clip, kArea, 0));
        RecordHealth health(&engine);
        QSignalSpy silent(&health, &RecordHealth::silentMicrophoneChanged);
        QSignalSpy levels(&health, &RecordHealth::levelChanged);
        QCOMPARE(int(health.prepare(dir.path(), kArea.size())), int(DiskSpaceGuard::Enough));
        engine.startRecord();
        health.start();
        QElapsedTimer clock;
        clock.start();
        QTRY_VERIFY_WITH_TIMEOUT(health.silentWarning(), 6500);
        QVERIFY2(clock.elapsed() >= SilenceWatch::kWindowMs - 200,
                 qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(silent.count(), 1);
        QVERIFY(loudest(levels) < SilenceWatch::kThresholdDb);
        // At least ten readings a second for the meter.
        QVERIFY2(levels.count() >= 10 * clock.elapsed() / 1000 - 5,
                 qPrintable(QString::number(levels.count())));

        levels.clear();
        TestTone tone;
        QVERIFY(tone.isHeard());
        QTRY_VERIFY_WITH_TIMEOUT(!health.silentWarning(), 3000);
        QCOMPARE(silent.last().at(0).toBool(), false);
        QVERIFY2(loudest(levels) > -30, qPrintable(QString::number(loudest(levels))));
        QCOMPARE(engine.state(), ScreenRecord::Recording);
        health.stop();
        QVERIFY(RecordingSteps::stop(engine));
        QVERIFY(MediaInspect::probe(clip.filePath).video.endSec > 5);
    }

    // Muted: the meter shows nothing and no warning comes, whatever the microphone hears.
    void mutedShowsNothing()
    {
        QTemporaryDir dir;
        AVData clip = RecordingSteps::newProjectClip(ProjectData::instance(), dir.path());
        TestTone tone;
        QVERIFY(tone.isHeard());
        ScreenRecord engine;
        QVERIFY(RecordingSteps::prepare(engine, clip, kArea, 0));
        RecordHealth health(&engine);
        QSignalSpy silent(&health, &RecordHealth::silentMicrophoneChanged);
        QSignalSpy levels(&health, &RecordHealth::levelChanged);
        engine.setMute(true);
        QCOMPARE(int(health.prepare(dir.path(), kArea.size())), int(DiskSpaceGuard::Enough));
        engine.startRecord();
        health.start();
        QTest::qWait(SilenceWatch::kWindowMs + 1000);
        QVERIFY(levels.count() > 40);
        QCOMPARE(loudest(levels), soundlevel::kSilentDb);
        QCOMPARE(silent.count(), 0);
        // Unmuted, the meter shows the tone again.
        engine.setMute(false);
        levels.clear();
        QTRY_VERIFY_WITH_TIMEOUT(loudest(levels) > -30, 2000);
        health.stop();
        QVERIFY(RecordingSteps::stop(engine));
    }

    // A project folder on a small disk that fills up while recording: the recording is stopped
    // as a normal stop does, before a write fails, and the file plays to its end.
    void fullDiskStopsTheRecordingInTime()
    {
        QTemporaryDir dir;
        SmallDisk disk(dir.path(), 48);
        if (!disk.isMounted())
            QSKIP("mounting a tmpfs needs root");
        QDir(dir.path()).mkpath("project");
        const QString folder = dir.path() + "/project";
        AVData clip = RecordingSteps::newProjectClip(ProjectData::instance(), folder);
        QCOMPARE(int(RecordHealth::checkBeforeStart(folder, kArea.size())),
                 int(DiskSpaceGuard::Enough));
        QCOMPARE(int(RecordHealth::checkBeforeStart(folder, QSize(100000, 100000))),
                 int(DiskSpaceGuard::Full));
        ScreenRecord engine;
        QVERIFY(RecordingSteps::prepare(engine, clip, kArea, 0));
        RecordHealth health(&engine);
        QSignalSpy full(&health, &RecordHealth::diskFull);
        QSignalSpy space(&health, &RecordHealth::diskSpaceChanged);
        QSignalSpy critical(&engine, &ScreenRecord::sig_Critical);
        // What the recording window does with it.
        connect(&health, &RecordHealth::diskFull, &engine, &ScreenRecord::stopRecord);
        QSignalSpy finished(&engine, &ScreenRecord::sigRecordFinish);
        health.prepare(folder, kArea.size());
        engine.startRecord();
        health.start();
        QTest::qWait(2500);
        QCOMPARE(full.count(), 0);
        // Something else fills the disk: a few megabytes stay free.
        QVERIFY(disk.fillLeaving(DiskSpaceGuard::kReserveBytes + 3 * 1024 * 1024));
        QVERIFY(full.wait(RecordHealth::kDiskIntervalMs + 2000));
        QVERIFY(space.count() > 0 && space.last().at(0).toBool());
        QVERIFY(finished.count() > 0 || finished.wait(20000));
        QCOMPARE(critical.count(), 0);
        const MediaInspect::Info info = MediaInspect::probe(clip.filePath);
        QVERIFY(info.opened);
        QVERIFY2(info.video.endSec > 2.0, qPrintable(QString::number(info.video.endSec)));
        QVERIFY(qAbs(info.audio.endSec - info.video.endSec) < 0.1);
        // A still screen is read at least once a second.
        QVERIFY(MediaInspect::pictures(clip.filePath).size() >= int(info.video.endSec));
        QVERIFY(ProjectData::instance()->at(0).duration > 2000);
        QVERIFY(!RecordHealth::diskFullText().isEmpty());
    }

    // An encoder too slow for a picture that changes all the time, on every route: the
    // pictures it could not take in time are counted and, above one percent, told; with an
    // encoder that keeps up, none are.
    void latePicturesAreCounted_data()
    {
        QTest::addColumn<QString>("route");
        QTest::addColumn<int>("encodeDelayMs");
        QTest::addColumn<bool>("told");
        QTest::newRow("screen grabbed 30 times a second") << "x11grab" << 100 << true;
        QTest::newRow("screen read where it changed") << "damage" << 100 << true;
        QTest::newRow("the board's own pictures") << "board" << 100 << true;
        QTest::newRow("screen grabbed 30 times a second, encoder in time")
            << "x11grab" << 0 << false;
        QTest::newRow("screen read where it changed, encoder in time") << "damage" << 0 << false;
    }
    void latePicturesAreCounted()
    {
        QFETCH(QString, route);
        QFETCH(int, encodeDelayMs);
        QFETCH(bool, told);
        QTemporaryDir dir;
        AVData clip = RecordingSteps::newProjectClip(ProjectData::instance(), dir.path());
        ScreenRecord engine;
        // The picture changes every 20 ms: a window over the area, or the board.
        int changes = 0;
        QWidget stage;
        stage.setWindowFlags(Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
        stage.setGeometry(kArea);
        stage.setAutoFillBackground(true);
        std::shared_ptr<ScenePictureSource> board;
        QTimer change;
        change.setInterval(20);
        connect(&change, &QTimer::timeout, &stage, [&]() {
            const QColor colour = QColor::fromHsv((++changes * 37) % 360, 200, 200);
            if (board) {
                ScenePictureSource::Canvas canvas = board->newCanvas();
                canvas.image.fill(colour);
                board->push(std::move(canvas), PictureSource::captureClockUs());
                return;
            }
            QPalette palette = stage.palette();
            palette.setColor(QPalette::Window, colour);
            stage.setPalette(palette);
        });
        if (route == "x11grab")
            engine.setPictureSource(
                std::make_shared<X11GrabSource>(kArea, ScreenRecord::kFrameRate));
        else if (route == "damage")
            engine.setPictureSource(std::make_shared<X11DamageSource>(kArea));
        else
            engine.setPictureSource(board = std::make_shared<ScenePictureSource>(kArea.size()));
        if (!board) {
            stage.show();
            QVERIFY(QTest::qWaitForWindowExposed(&stage));
        }
        change.start();
        QVERIFY(RecordingSteps::prepare(engine, clip, kArea, 0));
        ScreenRecord::setEncodeDelayForTesting(encodeDelayMs);
        engine.startRecord();
        QTest::qWait(3000);
        const bool stopped = RecordingSteps::stop(engine);
        ScreenRecord::setEncodeDelayForTesting(0);
        change.stop();
        QVERIFY(stopped);
        const qint64 late = engine.latePictureCount();
        const qint64 total = engine.pictureCount();
        const QString counts = QString("%1 of %2, %3 changes").arg(late).arg(total).arg(changes);
        qInfo() << qPrintable(counts);
        QVERIFY2(total >= 50, qPrintable(counts));  // three seconds of pictures
        QVERIFY2(RecordHealth::latePicturesText(late, total).isEmpty() != told, qPrintable(counts));
    }
};

QTEST_MAIN(TestRecordHealth)
#include "tst_recordhealth.moc"
