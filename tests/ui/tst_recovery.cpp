// Getting a lecture back after the program was killed. The program runs as real child
// processes (this test program in a child mode, from a private folder so that its working
// folders and settings are its own), is ended with SIGKILL, and is started again through the
// real start-up: the question, "恢复" / "丢弃", the editor on the recovered project, its save and
// export.
#include "core/media/avdatasmanager.h"
#include "core/media/avrecord.h"
#include "core/project/projectdata.h"
#include "core/record/screenrecord.h"
#include "core/recovery/projectfolderkeeper.h"
#include "core/recovery/projectrecovery.h"
#include "core/storage/saveopenmanager.h"
#include "support/childrun.h"
#include "support/datatable.h"
#include "support/foldersnapshot.h"
#include "support/mediainspect.h"
#include "support/mp4boxes.h"
#include "support/testmedia.h"
#include "ui/app/startup.h"
#include "ui/editor/maincontentwidget.h"

#include <QApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <csignal>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

void say(const QString &line)
{
    fprintf(stdout, "%s\n", line.toUtf8().constData());
    fflush(stdout);
}

QString clipsJson()
{
    QJsonArray clips;
    for (const AVData &d : ProjectData::instance()->avDatas())
        clips.append(d.toJson());
    return QString::fromUtf8(QJsonDocument(clips).toJson(QJsonDocument::Compact));
}

MainContentWidget *findEditor()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *editor = w->findChild<MainContentWidget *>())
            return editor;
    return nullptr;
}

// --edit-child <clipA> <clipB> [open-only]: packs clip A into lecture.lsn, opens it in the
// editor through the start-up, imports clip B at the end and deletes 1.0-2.5 s of clip A (with
// "open-only", changes nothing); prints "edited" and waits to be killed.
int editChild(int argc, char **argv)
{
    const QString clipA = QString::fromLocal8Bit(argv[2]);
    const QString clipB = QString::fromLocal8Bit(argv[3]);
    const QString lsn = QDir::current().absoluteFilePath("lecture.lsn");
    ProjectData *project = ProjectData::instance();
    project->setProjectDir(QDir::current().absoluteFilePath("pack") + "/");
    QDir().mkpath(project->projectDir());
    AVData a = project->newClip("a.mp4");
    QFile::copy(clipA, a.filePath);
    AVRecord::updateMediaInfo(a);
    project->insert(0, a);
    SaveOpenManager saver(QCoreApplication::instance());
    bool saved = false, finished = false;
    QObject::connect(&saver, &SaveOpenManager::sig_SaveFinished, [&](bool ok) {
        saved = ok;
        finished = true;
    });
    saver.saveProject(lsn, false);
    if (!QTest::qWaitFor([&] { return finished; }, 60000) || !saved)
        return 3;
    QDir(project->projectDir()).removeRecursively();

    openFirstWindow(lsn);
    if (!QTest::qWaitFor([&] { return project->filePath() == lsn && project->count() == 1; },
                         60000))
        return 4;
    MainContentWidget *editor = findEditor();
    if (argc > 4 && qstrcmp(argv[4], "open-only") == 0) {
        // Long enough for the editor to have made its pictures in the working folder.
        QTest::qWait(2500);
        say("edited " + clipsJson());
        return QCoreApplication::exec();
    }
    AvDatasManager *importer = editor->avDatasManager();
    const ClipAtResult end = project->clipAt(project->at(0).length());
    if (importer->addVideoFile(clipB, end.clip, end.offset) != 1 ||
        !QTest::qWaitFor([&] { return project->count() == 2 && !importer->isBusy(); }, 120000))
        return 5;
    if (importer->removeAvDataRange(project->at(0), 1000, 2500) != 1 ||
        !QTest::qWaitFor([&] { return project->count() == 3 && !importer->isBusy(); }, 120000))
        return 6;
    // The editor shows the change once its success message has gone.
    QTest::qWait(2500);
    say("edited " + clipsJson());
    return QCoreApplication::exec();
}

// --record-child <ms> <slideMs>: what a recording window does in a new project whose packed
// file will be rec.lsn: the folder is taken (marked, its index kept), a clip goes in at the
// playhead and the engine records into it; with slideMs > 0 every slideMs a new slide clip is
// started. Prints "recording" once recording has started, then "slide" per new clip;
// killed by the parent.
int recordChild(char **argv)
{
    const int slideMs = QString::fromLocal8Bit(argv[3]).toInt();
    ProjectData *project = ProjectData::instance();
    project->setFilePath(QDir::current().absoluteFilePath("rec.lsn"));
    ProjectFolderKeeper keeper(project);
    AVData clip = project->newClip();
    clip.title = slideMs > 0 ? "幻灯片 1" : "录屏";
    project->insert(0, clip);

    ScreenRecord engine;
    QObject::connect(&engine, &ScreenRecord::sigRecordFail, [] { QCoreApplication::exit(2); });
    QTimer poll, slides;
    int slide = 1;
    QObject::connect(&slides, &QTimer::timeout, [&] {
        engine.startNextClip(QStringLiteral("幻灯片 %1").arg(++slide));
        say("slide");
    });
    // The file begins when recording starts, however late its first picture comes: the slides
    // and the parent's kill count from there.
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!engine.isCapturing())
            return;
        poll.stop();
        engine.startRecord();
        say("recording");
        if (slideMs > 0)
            slides.start(slideMs);
    });
    poll.start(20);
    engine.setRecordRect(QRect(0, 0, 320, 240));
    engine.prepareRecord(clip);
    return QCoreApplication::exec();
}

// --mark-child: marks the current folder as this process's and waits to be killed.
int markChild()
{
    WorkingFolderMark::forThisProcess(QString()).write(QDir::currentPath());
    say("marked");
    return QCoreApplication::exec();
}

// --start-child <answer> [save]: starts the program's first window as main() does, pressing
// the button `answer` (or the only one) of every message box; prints what each box said, which
// window opened and the project it holds; with "save", saves it and prints "saved <0|1>".
int startChild(int argc, char **argv)
{
    const QString answer = QString::fromUtf8(argv[2]);
    const bool save = argc > 3 && qstrcmp(argv[3], "save") == 0;
    QTimer boxes;
    QObject::connect(&boxes, &QTimer::timeout, [&] {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            auto *box = qobject_cast<QMessageBox *>(w);
            if (!box || !box->isVisible())
                continue;
            say("box " + box->windowTitle() + "|" + box->text());
            QAbstractButton *press = box->buttons().value(0);
            for (QAbstractButton *b : box->buttons())
                if (b->text() == answer)
                    press = b;
            press->click();
        }
    });
    boxes.start(50);
    QWidget *first = openFirstWindow(QString());
    MainContentWidget *editor = first ? first->findChild<MainContentWidget *>() : nullptr;
    ProjectData *project = ProjectData::instance();
    say(QStringLiteral("window ") + (editor ? "editor" : "home"));
    say(QStringLiteral("modified %1").arg(project->isModified() ? 1 : 0));
    say("file " + project->filePath());
    say("clips " + clipsJson());
    // Ended without tearing the windows down (their workers may still be making pictures),
    // as a kill would end it.
    if (!editor || !save)
        ::_exit(0);
    QObject::connect(editor, &MainContentWidget::sig_SaveProFinished, [](bool ok) {
        say(QStringLiteral("saved %1").arg(ok ? 1 : 0));
        ::_exit(0);
    });
    editor->slotMenuSave();
    return QCoreApplication::exec();
}

// Runs this program in a child mode in `dir`. With killLine, SIGKILLs it killAfterMs after it
// printed that line (a line that never comes fails the run).
ChildRun::Result runChild(const QString &program, const QString &dir, const QStringList &args,
                          const QString &killLine = QString(), int killAfterMs = 0)
{
    ChildRun::Options options;
    options.program = program;
    options.arguments = args;
    options.workingDirectory = dir;
    options.killLine = killLine;
    options.killAfterMs = killAfterMs;
    return ChildRun::run(options);
}

// The clips a child printed as "clips <JSON array>".
QJsonArray clipsOf(const ChildRun::Result &run)
{
    return QJsonDocument::fromJson(run.value("clips").toUtf8()).array();
}

}  // namespace

class TestRecovery : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup() { m_dir.reset(); }

    void interruptedIsTold_data();
    void interruptedIsTold();
    void killedEditRecoversAndSaves();
    void killedWithNothingNewIsNotOffered();
    void killedScreenRecordingPlaysAndExports();
    void killedSlideShowKeepsEverySlide();
    void discardAndUnreadableIndex_data();
    void discardAndUnreadableIndex();

private:
    // The private folder of one case: the program's folder (hard link of this test program) and
    // its working directory.
    QString dir() const { return m_dir->path(); }
    QString program() const { return dir() + "/tst_recovery"; }
    QString tempFolder() const { return dir() + "/data/temp/"; }

    std::unique_ptr<QTemporaryDir> m_dir;
    QTemporaryDir m_media;
    QString m_clipA, m_clipB;
};

void TestRecovery::initTestCase()
{
    QVERIFY2(!qEnvironmentVariableIsEmpty("DISPLAY"), "needs the test X server");
    m_clipA = m_media.filePath("a.mp4");
    m_clipB = m_media.filePath("b.mp4");
    QVERIFY(TestMedia::makeClip(m_clipA, 4.0));
    QVERIFY(TestMedia::makeClip(m_clipB, 3.0, QSize(320, 240), true, 25, "color=c=blue"));
}

void TestRecovery::init()
{
    // Beside this program, so that a hard link gives the child its own application folder.
    m_dir = std::make_unique<QTemporaryDir>(QCoreApplication::applicationDirPath() +
                                            "/recovery-XXXXXX");
    QVERIFY(m_dir->isValid());
    const QByteArray self = QFile::encodeName(QCoreApplication::applicationFilePath());
    if (::link(self.constData(), QFile::encodeName(program()).constData()) != 0)
        QVERIFY(QFile::copy(QCoreApplication::applicationFilePath(), program()));
}

// Which folders count as interrupted: the mark's process, the index.
void TestRecovery::interruptedIsTold_data()
{
    // mark: "none", "this process", "reused pid", "other boot", "killed process", "running process"
    // index: "clips", "empty", "garbage", "zero bytes"
    DataTable::columns<QString, QString, bool, bool>("mark", "index", "found", "readable");
    QTest::newRow("no mark") << u"none"_s << u"clips"_s << false << true;
    QTest::newRow("the running program's own folder")
        << u"this process"_s << u"clips"_s << false << true;
    QTest::newRow("another running copy") << u"running process"_s << u"clips"_s << false << true;
    QTest::newRow("killed copy") << u"killed process"_s << u"clips"_s << true << true;
    QTest::newRow("pid reused by another process") << u"reused pid"_s << u"clips"_s << true << true;
    QTest::newRow("before a power cut") << u"other boot"_s << u"clips"_s << true << true;
    QTest::newRow("killed with no clips") << u"killed process"_s << u"empty"_s << false << true;
    QTest::newRow("unreadable index") << u"other boot"_s << u"garbage"_s << true << false;
    // The first index of a project names no clips and is not forced to the disk.
    QTest::newRow("index emptied by a power cut")
        << u"other boot"_s << u"zero bytes"_s << false << true;
}

void TestRecovery::interruptedIsTold()
{
    const auto [mark, index, found, readable] =
        DataTable::fetch<QString, QString, bool, bool>("mark", "index", "found", "readable");
    const QString folder = dir() + "/work";
    QDir().mkpath(folder);
    if (index == "garbage" || index == "zero bytes") {
        QFile file(folder + "/pro.lsnc");
        QVERIFY(file.open(QIODevice::WriteOnly));
        if (index == "garbage")
            file.write("[General]\navDatas=@Variant(\\0\\0\\0\\t\\xff\\xff)\n");
    } else {
        ProjectData *project = ProjectData::instance();
        project->reset();
        project->setProjectDir(folder + "/");
        if (index == "clips")
            project->insert(0, project->newClip("a.mp4"));
        QVERIFY(project->writeIndex());
        project->reset();
    }
    QProcess child;  // a process that runs while the folder is looked at, or was killed
    if (mark.endsWith("process") && mark != "this process") {
        child.setWorkingDirectory(folder);
        child.start(program(), {"--mark-child"});
        QVERIFY(child.waitForReadyRead(20000));
        if (mark == "killed process") {
            ::kill(pid_t(child.processId()), SIGKILL);
            QVERIFY(child.waitForFinished());
        }
    } else if (mark != "none") {
        WorkingFolderMark m = WorkingFolderMark::forThisProcess(QStringLiteral("/x/lecture.lsn"));
        if (mark == "reused pid")
            m.startTicks -= 1;
        if (mark == "other boot")
            m.bootId = "00000000-0000-0000-0000-000000000000";
        QVERIFY(m.write(folder));
    }
    const QList<InterruptedProject> list = ProjectRecovery::findInterrupted({folder});
    if (child.state() != QProcess::NotRunning) {
        child.kill();
        child.waitForFinished();
    }
    QCOMPARE(list.size(), found ? 1 : 0);
    if (!found)
        return;
    QCOMPARE(list.first().indexReadable, readable);
    QCOMPARE(list.first().clips.size(), readable ? 1 : 0);
    if (!readable)
        QVERIFY(!list.first().indexError.isEmpty());
}

void TestRecovery::killedEditRecoversAndSaves()
{
    const ChildRun::Result edit =
        runChild(program(), dir(), {"--edit-child", m_clipA, m_clipB}, "edited", 600);
    QCOMPARE(edit.status, QProcess::CrashExit);
    const QJsonArray before = QJsonDocument::fromJson(edit.value("edited").toUtf8()).array();
    QCOMPARE(before.size(), 3);  // a.mp4 0-1.0 s, a.mp4 2.5-4.0 s, then b
    const QString lsn = dir() + "/lecture.lsn";
    const QByteArray packedBefore =
        FolderSnapshot::contents(dir()).value(QDir(dir()).relativeFilePath(lsn));

    const ChildRun::Result start = runChild(program(), dir(), {"--start-child", "恢复", "save"});
    QVERIFY2(
        start.lines.contains("box 提示|上次未保存的项目“lecture”（3 个片段）可以恢复，是否恢复？"),
        qPrintable(start.lines.join('\n')));
    QCOMPARE(start.value("window"), QString("editor"));
    QCOMPARE(start.value("modified"), QString("1"));
    QCOMPARE(start.value("file"), lsn);
    const QJsonArray after = clipsOf(start);
    QCOMPARE(after.size(), before.size());
    for (int i = 0; i < before.size(); ++i)
        for (const char *key : {"uuid", "fileName", "beginTime", "endTime", "position"})
            QCOMPARE(after[i][key], before[i][key]);
    QCOMPARE(start.value("saved"), QString("1"));

    // "保存" wrote the edited project over the packed file it came from.
    QVERIFY(FolderSnapshot::contents(dir()).value(QDir(dir()).relativeFilePath(lsn)) !=
            packedBefore);
    QProcess info;
    info.start(LUMORA_RECORD_BIN, {"--info", lsn});
    QVERIFY(info.waitForFinished(30000));
    const QJsonArray saved = QJsonDocument::fromJson(info.readAllStandardOutput()).array();
    QCOMPARE(saved.size(), 3);
    for (int i = 0; i < 3; ++i)
        QCOMPARE(saved[i]["endTime"], before[i]["endTime"]);
}

// A project that was only opened: its packed file holds everything, so nothing is offered and
// the working folder goes; the packed file stays as it was.
void TestRecovery::killedWithNothingNewIsNotOffered()
{
    const ChildRun::Result open =
        runChild(program(), dir(), {"--edit-child", m_clipA, m_clipB, "open-only"}, "edited", 300);
    QCOMPARE(open.status, QProcess::CrashExit);
    const QString lsn = dir() + "/lecture.lsn";
    const QByteArray packed = FolderSnapshot::contents(dir()).value("lecture.lsn");
    QVERIFY(!packed.isEmpty());
    // The child's working folder for the packed file: data/<md5 of its path> beside it.
    const QString working = dir() + "/data/" + QDir(dataDir(lsn)).dirName() + "/";
    const QList<InterruptedProject> left = ProjectRecovery::findInterrupted({working});
    QCOMPARE(left.size(), 1);
    QVERIFY(left.first().heldByPackedFile);

    const ChildRun::Result start = runChild(program(), dir(), {"--start-child", "恢复"});
    QVERIFY2(start.value("box").isEmpty(), qPrintable(start.lines.join('\n')));
    QCOMPARE(start.value("window"), QString("home"));
    QVERIFY(!QFileInfo::exists(working));
    QCOMPARE(FolderSnapshot::contents(dir()).value("lecture.lsn"), packed);
}

void TestRecovery::killedScreenRecordingPlaysAndExports()
{
    const ChildRun::Result record =
        runChild(program(), dir(), {"--record-child", "0", "0"}, "recording", 8000);
    QCOMPARE(record.status, QProcess::CrashExit);

    const ChildRun::Result start = runChild(program(), dir(), {"--start-child", "恢复", "save"});
    QVERIFY2(start.value("window") == "editor", qPrintable(start.lines.join('\n')));
    const QJsonArray clips = clipsOf(start);
    QCOMPARE(clips.size(), 1);
    const qint64 lengthMs = clips[0]["endTime"].toInteger() - clips[0]["beginTime"].toInteger();
    QVERIFY2(lengthMs >= 7000 && lengthMs <= 8600, qPrintable(QString::number(lengthMs)));
    QCOMPARE(clips[0]["duration"].toInteger(), clips[0]["endTime"].toInteger());
    QCOMPARE(clips[0]["videoSize"].toString(), QString("320x240"));
    // Rewritten as a normal stop would have; the picture plays to its end.
    const QString file = tempFolder() + clips[0]["fileName"].toString();
    QVERIFY2(!Mp4Boxes::topLevel(file).contains("moof"),
             qPrintable(Mp4Boxes::topLevel(file).join(' ')));
    // A still screen: a picture at least once a second.
    QVERIFY(MediaInspect::pictures(file).size() >= 7);
    QCOMPARE(start.value("saved"), QString("1"));

    // The saved project exports cleanly.
    const QString out = dir() + "/out.mp4";
    QProcess exporter;
    exporter.setProcessChannelMode(QProcess::ForwardedChannels);
    exporter.start(LUMORA_RECORD_BIN, {"--export", dir() + "/rec.lsn", out});
    QVERIFY(exporter.waitForFinished(180000));
    QCOMPARE(exporter.exitCode(), 0);
    const MediaInspect::Info exported = MediaInspect::probe(out);
    QVERIFY(exported.video.present && exported.audio.present);
    QVERIFY2(qAbs(exported.video.endSec * 1000 - lengthMs) <= 100,
             qPrintable(QString::number(exported.video.endSec)));
}

void TestRecovery::killedSlideShowKeepsEverySlide()
{
    // Slides of 2.5 s; killed 2 s into the third.
    const ChildRun::Result record =
        runChild(program(), dir(), {"--record-child", "0", "2500"}, "recording", 7000);
    QCOMPARE(record.status, QProcess::CrashExit);
    QCOMPARE(record.lines.count("slide"), 2);

    const ChildRun::Result start = runChild(program(), dir(), {"--start-child", "恢复"});
    const QJsonArray clips = clipsOf(start);
    QCOMPARE(clips.size(), 3);
    qint64 position = 0;
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(clips[i]["title"].toString(), QStringLiteral("幻灯片 %1").arg(i + 1));
        const qint64 length = clips[i]["endTime"].toInteger() - clips[i]["beginTime"].toInteger();
        // The slide killed 2 s in keeps what reached the disk: a still screen writes a picture
        // at least once a second, so its clip may end up to a second before the kill.
        QVERIFY2(length >= (i < 2 ? 2200 : 600) && length <= (i < 2 ? 2900 : 2400),
                 qPrintable(QStringLiteral("slide %1: %2 ms").arg(i + 1).arg(length)));
        QCOMPARE(clips[i]["position"].toInteger(), position);
        position += length;
    }
    // One file holds the slides; its end is the end of the last one.
    QCOMPARE(clips[2]["endTime"].toInteger(), clips[2]["duration"].toInteger());
}

void TestRecovery::discardAndUnreadableIndex_data()
{
    QTest::addColumn<bool>("garbage");
    QTest::newRow("discard") << false;
    QTest::newRow("unreadable index") << true;
}

void TestRecovery::discardAndUnreadableIndex()
{
    QFETCH(bool, garbage);
    const ChildRun::Result record =
        runChild(program(), dir(), {"--record-child", "0", "0"}, "recording", 1500);
    QCOMPARE(record.status, QProcess::CrashExit);
    if (garbage) {
        QFile index(tempFolder() + "pro.lsnc");
        QVERIFY(index.open(QIODevice::WriteOnly));
        index.write("[General]\navDatas=@Variant(\\0\\0\\0\\t\\0\\0\\0\\x2)\n");
    }
    const QMap<QString, QByteArray> folder = FolderSnapshot::contents(tempFolder());
    QVERIFY(!folder.isEmpty());

    const ChildRun::Result start = runChild(program(), dir(), {"--start-child", "丢弃"});
    QCOMPARE(start.value("window"), QString("home"));
    if (garbage) {
        QVERIFY2(start.value("box").startsWith("警告|上次未保存的项目无法读取（"),
                 qPrintable(start.lines.join('\n')));
        QCOMPARE(FolderSnapshot::contents(tempFolder()), folder);
    } else {
        QVERIFY(start.value("box").startsWith("提示|"));
        QVERIFY(!QFileInfo::exists(tempFolder()));
    }
}

int main(int argc, char **argv)
{
    const QByteArray mode = argc > 1 ? QByteArray(argv[1]) : QByteArray();
    if (mode == "--record-child" && argc > 3) {
        QCoreApplication app(argc, argv);
        return recordChild(argv);
    }
    if (mode == "--mark-child") {
        QCoreApplication app(argc, argv);
        return markChild();
    }
    if ((mode == "--edit-child" && argc > 3) || (mode == "--start-child" && argc > 2)) {
        QApplication app(argc, argv);
        return mode == "--edit-child" ? editChild(argc, argv) : startChild(argc, argv);
    }
    QApplication app(argc, argv);
    TestRecovery test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_recovery.moc"
