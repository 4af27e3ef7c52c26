// `lumora_record --export FILE.lsn OUT.mp4` run as its own process, without a display:
// exit statuses, the output (index first, a chapter per clip title), the one-line failures,
// Ctrl-C and the temporary folder.
#include "core/media/avrecord.h"
#include "core/project/projectdata.h"
#include "core/storage/lsnpacker.h"
#include "support/datatable.h"
#include "support/mediareadback.h"
#include "support/mp4boxes.h"
#include "support/mp4chapters.h"
#include "support/testmedia.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

class TestExportCommand : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void exitStatus_data();
    void exitStatus();
    void ctrlCCancels();

private:
    // Packs a project of `files` (each used whole, titled by its file name) into `lsn`.
    bool pack(const QStringList &files, const QString &lsn);
    void start(QProcess &process, const QStringList &arguments);

    QTemporaryDir m_dir;
    QString m_tmp;  // the child's temporary folder, to see that it is cleaned up
};

bool TestExportCommand::pack(const QStringList &files, const QString &lsn)
{
    const QString projectDir = m_dir.filePath("project-" + QFileInfo(lsn).baseName());
    QDir().mkpath(projectDir);
    ProjectData *project = ProjectData::instance();
    project->clear();
    project->setProjectDir(projectDir);
    QList<AVData> clips;
    QFileInfoList members;
    for (const QString &file : files) {
        AVData clip;
        clip.fileName = QFileInfo(file).fileName();
        clip.title = QFileInfo(file).completeBaseName();
        clip.filePath = projectDir + "/" + clip.fileName;
        QFile::remove(clip.filePath);
        if (!QFile::copy(file, clip.filePath))
            return false;
        if (!AVRecord::updateMediaInfo(clip)) {
            clip.duration = clip.endTime = 1000;
            clip.videoWidth = 1280;
            clip.videoHeight = 720;
        }
        clips.append(clip);
        members.append(QFileInfo(clip.filePath));
    }
    project->setAvDatas(clips);
    if (!project->writeIndex())
        return false;
    members.append(QFileInfo(project->indexFilePath()));
    LsnPacker packer;
    return packer.compressFiles(members, lsn);
}

void TestExportCommand::start(QProcess &process, const QStringList &arguments)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    env.insert("QT_QPA_PLATFORM", "no-such-platform");  // any window-system use would abort
    env.insert("TMPDIR", m_tmp);
    process.setProcessEnvironment(env);
    process.start(LUMORA_RECORD_BIN, arguments);
}

void TestExportCommand::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_tmp = m_dir.filePath("tmp");
    QVERIFY(QDir().mkpath(m_tmp));
    QVERIFY(TestMedia::makeClip(m_dir.filePath("red.mp4"), 1, QSize(640, 360), true, 25,
                                "color=c=red"));
    QVERIFY(TestMedia::makeClip(m_dir.filePath("blue.mp4"), 1, QSize(640, 360), false, 25,
                                "color=c=blue"));
    QVERIFY(TestMedia::makeClip(m_dir.filePath("long.mp4"), 20, QSize(1280, 720), true, 25));
    QFile text(m_dir.filePath("broken.mp4"));
    QVERIFY(text.open(QIODevice::WriteOnly));
    text.write("no video in here");
    text.close();
    QVERIFY(
        pack({m_dir.filePath("red.mp4"), m_dir.filePath("blue.mp4")}, m_dir.filePath("good.lsn")));
    QVERIFY(pack({m_dir.filePath("red.mp4"), m_dir.filePath("broken.mp4")},
                 m_dir.filePath("broken.lsn")));
    QVERIFY(
        pack({m_dir.filePath("long.mp4"), m_dir.filePath("red.mp4")}, m_dir.filePath("long.lsn")));
    QFile notPacked(m_dir.filePath("notpacked.lsn"));
    QVERIFY(notPacked.open(QIODevice::WriteOnly));
    notPacked.write("plain text, not a packed project");
}

void TestExportCommand::exitStatus_data()
{
    // arguments: after "--export"; "@" is the test folder
    // lufs: the loudness of the output's sound; 0 for that of the recording (left as it is)
    DataTable::columns<QStringList, int, bool, double>("arguments", "status", "writesOutput",
                                                       "lufs");

    QTest::newRow("a good project")
        << QStringList{"@/good.lsn", "@/good.mp4"} << 0 << true << -16.0;
    QTest::newRow("a level of its own")
        << QStringList{"@/good.lsn", "@/good-20.mp4", "--loudness", "-20"} << 0 << true << -20.0;
    QTest::newRow("the level left as it is")
        << QStringList{"@/good.lsn", "@/good-own.mp4", "--no-loudness"} << 0 << true << 0.0;
    QTest::newRow("a level that is no number")
        << QStringList{"@/good.lsn", "@/bad-level.mp4", "--loudness", "loud"} << 2 << false << 0.0;
    QTest::newRow("a level out of range")
        << QStringList{"@/good.lsn", "@/bad-level.mp4", "--loudness", "3"} << 2 << false << 0.0;
    QTest::newRow("a level and none")
        << QStringList{"@/good.lsn", "@/bad-level.mp4", "--loudness", "-20", "--no-loudness"} << 2
        << false << 0.0;
    QTest::newRow("a clip that is no video")
        << QStringList{"@/broken.lsn", "@/broken-export.mp4"} << 2 << false << 0.0;
    QTest::newRow("not a packed project")
        << QStringList{"@/notpacked.lsn", "@/notpacked.mp4"} << 2 << false << 0.0;
    QTest::newRow("missing project file")
        << QStringList{"@/none.lsn", "@/none.mp4"} << 2 << false << 0.0;
    QTest::newRow("output folder missing")
        << QStringList{"@/good.lsn", "@/no/such/folder/out.mp4"} << 2 << false << 0.0;
    QTest::newRow("output missing from the command")
        << QStringList{"@/good.lsn"} << 2 << false << 0.0;
}

void TestExportCommand::exitStatus()
{
    auto [arguments, status, writesOutput, lufs] = DataTable::fetch<QStringList, int, bool, double>(
        "arguments", "status", "writesOutput", "lufs");
    for (QString &argument : arguments)
        argument.replace("@", m_dir.path());
    const QStringList files = arguments.filter(m_dir.path());
    const QString out = files.size() > 1 ? files.at(1) : QString();

    QProcess process;
    start(process, QStringList{"--export"} + arguments);
    QVERIFY(process.waitForFinished(240000));
    const QString errors = QString::fromUtf8(process.readAllStandardError());
    const QString output = QString::fromUtf8(process.readAllStandardOutput());
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), status);
    if (status == 0) {
        QCOMPARE(errors, QString());
        QVERIFY2(output.contains("100%"), qPrintable(output));
    } else {
        // One line, and it says what went wrong.
        QCOMPARE(errors.count('\n'), 1);
        QVERIFY(errors.trimmed().size() > 4);
    }
    QCOMPARE(QFile::exists(out), writesOutput);
    if (writesOutput) {
        const MediaReadback::StreamsInfo info = MediaReadback::streams(out);
        QCOMPARE(info.videoCodec, QStringLiteral("h264"));
        QCOMPARE(info.audioCodec, QStringLiteral("aac"));
        QVERIFY(std::abs(info.durationSeconds - 2.0) < 0.05);
        const QStringList boxes = Mp4Boxes::topLevel(out);
        QVERIFY2(boxes.indexOf("moov") >= 0 && boxes.indexOf("moov") < boxes.indexOf("mdat"),
                 qPrintable(boxes.join(' ')));
        QCOMPARE(Mp4Chapters::summary(out), (QStringList{"red@0.0", "blue@1.0"}));
        const double own = TestMedia::measureLoudness(m_dir.filePath("red.mp4")).integratedLufs;
        const TestMedia::Loudness level = TestMedia::measureLoudness(out);
        QVERIFY(level.ok);
        QVERIFY2(std::abs(level.integratedLufs - (lufs < 0 ? lufs : own)) <= 1.0,
                 qPrintable(QString("%1 LUFS, recorded at %2").arg(level.integratedLufs).arg(own)));
    }
    if (!out.isEmpty())
        QVERIFY(!QFile::exists(out + ".part"));
    QCOMPARE(QDir(m_tmp).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
}

void TestExportCommand::ctrlCCancels()
{
    const QString out = m_dir.filePath("long.mp4.out.mp4");
    QProcess process;
    start(process, {"--export", m_dir.filePath("long.lsn"), out});
    QVERIFY(process.waitForStarted());
    // Plain progress lines (standard output is no terminal here); interrupt after the first.
    QVERIFY(QTest::qWaitFor([&] { return process.canReadLine(); }, 120000));
    const QString firstLine = QString::fromUtf8(process.readLine());
    QVERIFY2(firstLine.contains('%'), qPrintable(firstLine));
    ::kill(pid_t(process.processId()), SIGINT);
    QVERIFY(process.waitForFinished(120000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 130);
    QVERIFY(!QFile::exists(out));
    QVERIFY(!QFile::exists(out + ".part"));
    QCOMPARE(QDir(m_tmp).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
}

QTEST_GUILESS_MAIN(TestExportCommand)
#include "tst_exportcommand.moc"
