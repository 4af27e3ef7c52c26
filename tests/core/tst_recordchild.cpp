// The recording engine in a child process (this same program started with --record-child):
// killed with SIGKILL, its file size limited as on a full disk, or without its display or its
// sound server. What the child reports and what its file holds.
#include "core/project/projectdata.h"
#include "core/record/mp4rewrite.h"
#include "core/record/scenepicturesource.h"
#include "core/record/screenrecord.h"
#include "support/childrun.h"
#include "support/datatable.h"
#include "support/mediainspect.h"
#include "support/mp4boxes.h"
#include "support/testtone.h"

#include <QApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QTimer>
#include <QtTest>

#include <algorithm>

#include <csignal>
#include <sys/resource.h>

using namespace Qt::StringLiterals;

namespace {

constexpr QRect kStageRect(0, 0, 320, 240);

// tst_screenrecord --record-child <file> <ms> [--fsize <bytes> | --scene]
// Records <ms> milliseconds (0: until killed) of kStageRect into <file> and prints one line per
// event: "prepared", "recording", "warning <text>", "critical <text>", "fail", "finish",
// "clips <json>". With --scene the pictures are not grabbed but drawn, as the whiteboard's are:
// a picture of another grey every 300 ms.
int recordChild(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QString file = QString::fromLocal8Bit(argv[2]);
    const int ms = QString::fromLocal8Bit(argv[3]).toInt();
    if (argc > 5 && qstrcmp(argv[4], "--fsize") == 0) {
        // Writes beyond the limit fail with EFBIG, as on a full disk.
        std::signal(SIGXFSZ, SIG_IGN);
        const rlim_t limit = QString::fromLocal8Bit(argv[5]).toULongLong();
        rlimit rl{limit, limit};
        setrlimit(RLIMIT_FSIZE, &rl);
    }
    auto say = [](const QString &line) {
        fprintf(stdout, "%s\n", line.toUtf8().constData());
        fflush(stdout);
    };
    ProjectData projectData;
    ProjectData *project = &projectData;
    project->setProjectDir(QFileInfo(file).absolutePath() + "/");
    AVData clip = project->newClip(QFileInfo(file).fileName());
    project->insert(0, clip);

    ScreenRecord engine(project);
    const bool scene = argc > 4 && qstrcmp(argv[4], "--scene") == 0;
    auto source = std::make_shared<ScenePictureSource>(QSize(640, 360));
    QTimer draw;
    if (scene) {
        engine.setPictureSource(source);
        QObject::connect(&draw, &QTimer::timeout, [&source, shade = 0]() mutable {
            ScenePictureSource::Canvas canvas = source->newCanvas();
            canvas.image.fill(QColor(shade, shade, shade));
            shade = (shade + 40) % 240;
            source->push(std::move(canvas), PictureSource::captureClockUs());
        });
        draw.start(300);
    }
    QObject::connect(&engine, &ScreenRecord::sig_Warning,
                     [&](const QString &t) { say("warning " + t); });
    QObject::connect(&engine, &ScreenRecord::sig_Critical,
                     [&](const QString &t) { say("critical " + t); });
    QObject::connect(&engine, &ScreenRecord::sigRecordFail, [&]() {
        say("fail");
        app.exit(2);
    });
    QObject::connect(
        &engine, &ScreenRecord::sigRecordFinish, &app,
        [&]() {
            QJsonArray clips;
            for (const AVData &d : project->avDatas())
                clips.append(d.toJson());
            say("clips " + QString::fromUtf8(QJsonDocument(clips).toJson(QJsonDocument::Compact)));
            say("finish");
            app.exit(0);
        },
        Qt::QueuedConnection);
    QTimer poll;
    QObject::connect(&engine, &ScreenRecord::sig_PrepareComplete, [&]() { say("prepared"); });
    QObject::connect(&poll, &QTimer::timeout, &engine, [&]() {
        if (!engine.isCapturing())
            return;
        poll.stop();
        QTimer::singleShot(1000, &engine, [&]() {
            if (engine.state() != ScreenRecord::Prepared)
                return;
            engine.startRecord();
            say("recording");
            if (ms > 0)
                QTimer::singleShot(ms, &engine, [&]() { engine.stopRecord(); });
        });
    });
    poll.start(20);
    engine.setRecordRect(kStageRect);
    engine.prepareRecord(clip);
    QTimer::singleShot(120000, &app, [&]() { app.exit(3); });
    return app.exec();
}

// Runs the child; with killAfterMs > 0 kills it that long after it started recording.
ChildRun::Result runChild(const QStringList &args, const QProcessEnvironment &env,
                          int killAfterMs = 0)
{
    ChildRun::Options options;
    options.program = QCoreApplication::applicationFilePath();
    options.arguments = QStringList{"--record-child"} + args;
    options.environment = env;
    if (killAfterMs > 0) {
        options.killLine = QStringLiteral("recording");
        options.killAfterMs = killAfterMs;
    }
    options.timeoutMs = 180000;
    return ChildRun::run(options);
}

QProcessEnvironment childEnvironment()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    return env;
}

}  // namespace

class TestRecordChild : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY2(!qEnvironmentVariableIsEmpty("DISPLAY"), "needs the test X server");
    }

    void childReportsProblems_data();
    void childReportsProblems();
    void killedRecordingStillPlays();
    void killedBoardRecordingStillPlays();
    void writeErrorEndsRecordingWithFailure();
};

void TestRecordChild::childReportsProblems_data()
{
    DataTable::columns<QString, QString, QStringList, bool>("variable", "value", "expected",
                                                            "silentTrack");
    QTest::newRow("no sound server")
        << u"PULSE_SERVER"_s << u"unix:/nonexistent/lumora"_s
        << QStringList{"warning 未发现音频输入设备！", "finish"} << true;
    QTest::newRow("no display") << u"DISPLAY"_s << u":1999"_s
                                << QStringList{"critical 无法录制！", "fail"} << false;
}

void TestRecordChild::childReportsProblems()
{
    const auto [variable, value, expected, silentTrack] =
        DataTable::fetch<QString, QString, QStringList, bool>("variable", "value", "expected",
                                                              "silentTrack");
    QTemporaryDir dir;
    const QString file = dir.filePath("rec.mp4");
    QProcessEnvironment env = childEnvironment();
    env.insert(variable, value);
    const ChildRun::Result run = runChild({file, "2000"}, env);
    for (const QString &line : expected)
        QVERIFY2(run.lines.contains(line), qPrintable(run.lines.join(" | ")));
    if (!silentTrack)
        return;
    const MediaInspect::Info info = MediaInspect::probe(file);
    QCOMPARE(info.audio.codec, QString("aac"));
    QVERIFY(qAbs(info.video.endSec - 2.0) <= 0.3);
    QVERIFY(qAbs(info.audio.endSec - info.video.endSec) <= 0.045);
    QCOMPARE(MediaInspect::peak(file), 0.0);
}

void TestRecordChild::killedRecordingStillPlays()
{
    QTemporaryDir dir;
    const QString file = dir.filePath("killed.mp4");
    const ChildRun::Result run = runChild({file, "0"}, childEnvironment(), 5000);
    QCOMPARE(run.status, QProcess::CrashExit);
    QVERIFY(run.lines.contains("recording"));
    // Never finished: the file is still the fragmented one as written.
    QVERIFY2(Mp4Boxes::topLevel(file).contains("moof"),
             qPrintable(Mp4Boxes::topLevel(file).join(' ')));
    const MediaInspect::Info info = MediaInspect::probe(file);
    QVERIFY(info.opened);
    QVERIFY2(info.video.endSec >= 4.0 && info.video.endSec <= 5.3,
             qPrintable(QString::number(info.video.endSec)));
    QVERIFY(info.audio.present);
    // The sound does not wait for the next picture of a still screen to reach the disk.
    QVERIFY2(info.audio.endSec >= 4.0, qPrintable(QString::number(info.audio.endSec)));
    // A still screen: a picture at least once a second.
    QVERIFY(MediaInspect::pictures(file).size() >= 4);
}

void TestRecordChild::killedBoardRecordingStillPlays()
{
    // Pictures only when the drawn scene changed: what was written before the kill plays, and
    // the repair that recovery makes of it keeps its pictures and their times.
    QTemporaryDir dir;
    const QString file = dir.filePath("board.mp4");
    const ChildRun::Result run = runChild({file, "0", "--scene"}, childEnvironment(), 5000);
    QCOMPARE(run.status, QProcess::CrashExit);
    QVERIFY(run.lines.contains("recording"));
    QVERIFY(Mp4Boxes::topLevel(file).contains("moof"));
    const MediaInspect::Info killed = MediaInspect::probe(file);
    QVERIFY2(killed.video.endSec >= 3.5 && killed.video.endSec <= 5.3,
             qPrintable(QString::number(killed.video.endSec)));
    const QList<MediaInspect::Picture> pictures = MediaInspect::pictures(file);
    QVERIFY2(pictures.size() >= 10 && pictures.size() <= 20,
             qPrintable(QString::number(pictures.size())));
    QVERIFY(Mp4Rewrite::rewriteAsRegular(file));
    QVERIFY(!Mp4Boxes::topLevel(file).contains("moof"));
    const QList<MediaInspect::Picture> repaired = MediaInspect::pictures(file);
    QCOMPARE(repaired.size(), pictures.size());
    for (int i = 0; i < repaired.size(); ++i)
        QVERIFY(qAbs(repaired.at(i).sec - pictures.at(i).sec) < 0.001);
    // The last picture lasts as long as the sound written after it, no longer.
    const double end = MediaInspect::probe(file).video.endSec;
    QVERIFY2(end >= killed.video.endSec - 0.001 &&
                 end <= std::max(killed.video.endSec, killed.audio.endSec) + 0.001,
             qPrintable(QString("%1 (killed: picture to %2, sound to %3)")
                            .arg(end)
                            .arg(killed.video.endSec)
                            .arg(killed.audio.endSec)));
}

void TestRecordChild::writeErrorEndsRecordingWithFailure()
{
    // The file may not grow beyond 32 kB, as on a full disk: the recording must end soon with
    // the failure, not run on for its 20 s writing into nothing.
    TestTone tone;  // sound makes the file grow quickly
    QVERIFY(tone.isHeard());
    QTemporaryDir dir;
    const QString file = dir.filePath("full.mp4");
    QElapsedTimer clock;
    clock.start();
    const ChildRun::Result run = runChild({file, "20000", "--fsize", "32768"}, childEnvironment());
    QVERIFY2(run.lines.contains("critical 无法录制！"), qPrintable(run.lines.join(" | ")));
    QVERIFY(run.lines.contains("fail"));
    QVERIFY(!run.lines.contains("finish"));
    QVERIFY2(clock.elapsed() < 18000, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(QFileInfo(file).size() <= 32768);
    // What was written before the disk filled up still plays.
    QVERIFY(MediaInspect::pictures(file).size() > 0);
}

int main(int argc, char **argv)
{
    if (argc > 3 && qstrcmp(argv[1], "--record-child") == 0)
        return recordChild(argc, argv);
    QApplication app(argc, argv);
    TestRecordChild test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_recordchild.moc"
