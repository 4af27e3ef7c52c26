#include "core/project/projectdata.h"
#include "core/project/recentfiles.h"
#include "core/storage/lsnpacker.h"
#include "core/storage/saveopenmanager.h"
#include "support/datatable.h"
#include "support/foldersnapshot.h"
#include "support/lsnbytes.h"
#include "support/smalldisk.h"

#include <QBuffer>
#include <QImage>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <unistd.h>

namespace {

QByteArray noise(int size, quint32 seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator gen(seed);
    for (int i = 0; i < size; ++i)
        bytes[i] = char(gen.bounded(256));
    return bytes;
}

// Runs one save or open and waits for its final signal.
struct Run
{
    QList<int> maxima;
    QList<int> progress;
    bool saved = false;
    int finals = 0;
    QString error;
};

Run save(ProjectData *project, const QString &path, bool saveAs)
{
    Run run;
    SaveOpenManager manager(nullptr, project);
    QObject receiver;
    QObject::connect(
        &manager, &LsnPacker::sig_UpdateMaxProgress, &receiver, [&](int m) { run.maxima << m; },
        Qt::QueuedConnection);
    QObject::connect(
        &manager, &LsnPacker::sig_UpdateProgress, &receiver, [&](int v) { run.progress << v; },
        Qt::QueuedConnection);
    QObject::connect(&manager, &SaveOpenManager::sig_SaveFinished, &receiver, [&](bool ok) {
        run.saved = ok;
        ++run.finals;
    });
    manager.saveProject(path, saveAs);
    const bool ended = QTest::qWaitFor([&] { return run.finals > 0; }, 60000);
    QCoreApplication::processEvents();  // the queued progress signals
    run.error = ended ? manager.errorText() : QStringLiteral("no final signal");
    return run;
}

// What an open handed over before its outcome.
struct EarlyRead
{
    int count = 0;
    bool beforeOutcome = false;
    QList<AVData> clips;
    QImage cover;
};

// 1: opened, 0: failed, -1: no final signal.
int open(ProjectData *project, const QString &path, EarlyRead *early = nullptr)
{
    int result = -1;
    SaveOpenManager manager(nullptr, project);
    if (early)
        QObject::connect(&manager, &SaveOpenManager::sig_ProjectRead,
                         [&](const QList<AVData> &clips, const QImage &cover) {
                             ++early->count;
                             early->beforeOutcome = result < 0;
                             early->clips = clips;
                             early->cover = cover;
                         });
    QObject::connect(&manager, &SaveOpenManager::sig_OpenSuccess, [&] { result = 1; });
    QObject::connect(&manager, &SaveOpenManager::sig_OpenFailed, [&] { result = 0; });
    manager.openProject(path);
    return QTest::qWaitFor([&] { return result >= 0; }, 60000) ? result : -1;
}

AVData clip(const QString &fileName, const QString &title)
{
    AVData d;
    d.fileName = fileName;
    d.title = title;
    d.duration = 4000;
    d.endTime = 4000;
    return d;
}

// The child of killedSaveLeavesWholeFile: saves the project made of every *.mp4 of `dir` over
// `file` and kills itself with SIGKILL at `step`: "packing" (after the first progress),
// "packed", "synced" or "replaced".
int saveChild(const QString &dir, const QString &file, const QString &step)
{
    ProjectData project;
    project.setProjectDir(dir);
    for (const QString &name : QDir(dir).entryList({"*.mp4"}, QDir::Files, QDir::Name))
        project.insert(-1, clip(name, name));
    const QMap<QString, SaveOpenManager::SaveStep> steps{
        {"packed", SaveOpenManager::SaveStep::Packed},
        {"synced", SaveOpenManager::SaveStep::Synced},
        {"replaced", SaveOpenManager::SaveStep::Replaced}};
    SaveOpenManager::setStepHook([&](SaveOpenManager::SaveStep reached) {
        if (steps.contains(step) && steps.value(step) == reached)
            std::raise(SIGKILL);
    });
    SaveOpenManager manager(nullptr, &project);
    QObject::connect(
        &manager, &LsnPacker::sig_UpdateProgress, &manager,
        [&] {
            if (step == QLatin1String("packing"))
                std::raise(SIGKILL);
        },
        Qt::DirectConnection);
    QEventLoop loop;
    QObject::connect(&manager, &SaveOpenManager::sig_SaveFinished, &loop,
                     [&](bool ok) { loop.exit(ok ? 0 : 1); });
    manager.saveProject(file, false);
    return loop.exec();
}

}  // namespace

class TestSaveOpenManager : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        // This program started again as the child of killedSaveLeavesWholeFile.
        const QStringList child = qEnvironmentVariable("LUMORA_SAVE_CHILD").split('\n');
        if (child.size() == 3)
            ::_exit(saveChild(child.at(0), child.at(1), child.at(2)));
    }

    void init()
    {
        m_tmp.reset(new QTemporaryDir);
        m_path = m_tmp->filePath("课程 一.lsn");
        removeFolders();
        RecentFiles::instance()->clear();
        m_project.reset(new ProjectData);
        ProjectData *p = m_project.get();
        p->setProjectDir(m_tmp->filePath("project") + "/");
        QVERIFY(QDir().mkpath(p->projectDir()));
        const QDir dir(p->projectDir());
        QVERIFY(LsnBytes::writeFile(dir.filePath("x.mp4"), noise(20480 * 30 + 9, 1)));
        QVERIFY(LsnBytes::writeFile(dir.filePath("x.mp4_1.jpg"), noise(700, 2)));
        QVERIFY(LsnBytes::writeFile(dir.filePath("讲座 2.mp4"), noise(20481, 3)));
        QVERIFY(LsnBytes::writeFile(dir.filePath("y.txt"), "not part of the project"));
        m_cover.clear();
        QBuffer cover(&m_cover);
        QVERIFY(cover.open(QIODevice::WriteOnly));
        QImage picture(16, 9, QImage::Format_RGB32);
        picture.fill(Qt::darkCyan);
        QVERIFY(picture.save(&cover, "PNG"));
        QVERIFY(LsnBytes::writeFile(dir.filePath("Cover.png"), m_cover));
        p->insert(-1, clip("x.mp4", "第一节"));
        p->insert(-1, clip("讲座 2.mp4", "第二节"));
    }
    void cleanup() { removeFolders(); }

    void saveAsThenOpen()
    {
        ProjectData *p = m_project.get();
        const QString uuid0 = p->at(0).uuid;
        const Run run = save(m_project.get(), m_path, true);
        QVERIFY2(run.saved, qPrintable(run.error));
        QCOMPARE(run.finals, 1);
        QVERIFY(QFileInfo(m_path).isFile());
        QVERIFY(!QFileInfo::exists(m_path + "_tmp"));
        QVERIFY(!QFileInfo::exists(m_path + "_tmp2"));
        QCOMPARE(p->filePath(), m_path);
        QCOMPARE(p->projectDir(), dataDir(m_path));
        QCOMPARE(QFileInfo(p->at(0).filePath).canonicalFilePath(),
                 QFileInfo(dataDir(m_path) + "x.mp4").canonicalFilePath());
        QCOMPARE(FolderSnapshot::names(dataDir(m_path)),
                 FolderSnapshot::names(m_tmp->filePath("project")));
        QCOMPARE(RecentFiles::instance()->files().first().filePath, m_path);
        QCOMPARE(LsnBytes::readFile(RecentFile(m_path).coverPath()), m_cover);

        // Progress counts the bytes of the packed files, rises, and ends at its maximum.
        const qint64 total = 20480 * 30 + 9 + 700 + 20481 + m_cover.size() +
                             QFileInfo(dataDir(m_path) + "pro.lsnc").size();
        QCOMPARE(run.maxima, QList<int>{int(total)});
        QVERIFY(run.progress.size() >= 2);
        QVERIFY(std::is_sorted(run.progress.begin(), run.progress.end()));
        QCOMPARE(run.progress.last(), int(total));

        // Reopen: older files of the working folder are gone; only packed files come back.
        QVERIFY(LsnBytes::writeFile(dataDir(m_path) + "stale.mp4", "old"));
        RecentFiles::instance()->add(RecentFile(m_tmp->filePath("other.lsn")));
        p->reset();
        EarlyRead early;
        QCOMPARE(open(m_project.get(), m_path, &early), 1);
        QCOMPARE(p->count(), 2);
        // The clips and the cover came out first, as the opened project holds them.
        QCOMPARE(early.count, 1);
        QVERIFY(early.beforeOutcome);
        QCOMPARE(early.clips.size(), 2);
        for (int i = 0; i < 2; ++i) {
            QCOMPARE(early.clips.at(i).uuid, p->at(i).uuid);
            QCOMPARE(early.clips.at(i).filePath, p->at(i).filePath);
        }
        QCOMPARE(early.cover.size(), QSize(16, 9));
        QCOMPARE(p->at(0).uuid, uuid0);
        QCOMPARE(p->at(1).title, QString("第二节"));
        QCOMPARE(p->filePath(), m_path);
        QCOMPARE(p->projectDir(), dataDir(m_path));
        QCOMPARE(FolderSnapshot::names(dataDir(m_path)),
                 (QStringList{"Cover.png", "pro.lsnc", "x.mp4", "x.mp4_1.jpg", "讲座 2.mp4"}));
        QCOMPARE(LsnBytes::readFile(p->at(0).filePath), noise(20480 * 30 + 9, 1));
        QCOMPARE(RecentFiles::instance()->files().first().filePath, m_path);
        QCOMPARE(RecentFiles::instance()->files().size(), 2);
    }

    void saveOverSameFile_data()
    {
        DataTable::columns<bool, bool>("earlierFile", "staleBackup");
        QTest::newRow("first save") << false << false;
        QTest::newRow("over an earlier file") << true << false;
        QTest::newRow("over an earlier file and a stale backup") << true << true;
        QTest::newRow("stale backup only") << false << true;
    }
    void saveOverSameFile()
    {
        const auto [earlierFile, staleBackup] =
            DataTable::fetch<bool, bool>("earlierFile", "staleBackup");
        if (earlierFile)
            QVERIFY(LsnBytes::writeFile(m_path, "earlier"));
        if (staleBackup)
            QVERIFY(LsnBytes::writeFile(m_path + "_tmp2", "stale backup"));
        const QString dirBefore = m_project.get()->projectDir();
        const Run run = save(m_project.get(), m_path, false);
        QVERIFY2(run.saved, qPrintable(run.error));
        QVERIFY(!QFileInfo::exists(m_path + "_tmp"));
        QVERIFY(!QFileInfo::exists(m_path + "_tmp2"));
        QCOMPARE(m_project.get()->projectDir(), dirBefore);
        LsnPacker check;
        QVERIFY(check.uncompressFile(m_path, m_tmp->filePath("check")));
        QCOMPARE(FolderSnapshot::names(m_tmp->filePath("check")),
                 (QStringList{"Cover.png", "pro.lsnc", "x.mp4", "x.mp4_1.jpg", "讲座 2.mp4"}));
        QCOMPARE(RecentFiles::instance()->files().first().filePath, m_path);
    }

    // A save stopped at any moment leaves the whole earlier or the whole new file; what an
    // interrupted save left behind goes at the next save, also one that fails.
    void killedSaveLeavesWholeFile_data()
    {
        DataTable::columns<QString, bool>("step", "newFile");
        QTest::newRow("while packing") << "packing" << false;
        QTest::newRow("packed, not yet synced") << "packed" << false;
        QTest::newRow("synced, not yet renamed") << "synced" << false;
        QTest::newRow("renamed, folder not yet synced") << "replaced" << true;
    }
    void killedSaveLeavesWholeFile()
    {
        const auto [step, newFile] = DataTable::fetch<QString, bool>("step", "newFile");
        const QStringList earlier{"Cover.png", "pro.lsnc", "x.mp4", "x.mp4_1.jpg", "讲座 2.mp4"};
        QVERIFY(save(m_project.get(), m_path, false).saved);
        const QString projectDir = m_project.get()->projectDir();
        QVERIFY(LsnBytes::writeFile(QDir(projectDir).filePath("z.mp4"), noise(5000, 5)));

        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("LUMORA_SAVE_CHILD", QStringList{projectDir, m_path, step}.join('\n'));
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), {});
        QVERIFY(child.waitForFinished(60000));
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);

        LsnPacker check;
        QVERIFY2(check.uncompressFile(m_path, m_tmp->filePath("check")),
                 qPrintable(check.errorText()));
        QStringList expected = earlier;
        if (newFile)
            expected.insert(4, "z.mp4");
        QCOMPARE(FolderSnapshot::names(m_tmp->filePath("check")), expected);
        QCOMPARE(QFileInfo::exists(m_path + "_tmp"), !newFile);

        // The next save fails (its index cannot be written) but still clears the leftover.
        const QString index = QDir(projectDir).filePath("pro.lsnc");
        QVERIFY(QFile::remove(index) && QDir().mkdir(index));
        const QByteArray before = LsnBytes::readFile(m_path);
        QVERIFY(!save(m_project.get(), m_path, false).saved);
        QVERIFY(!QFileInfo::exists(m_path + "_tmp"));
        QCOMPARE(LsnBytes::readFile(m_path), before);
    }

    void saveAsMakesFreshCopy_data()
    {
        QTest::addColumn<int>("saves");
        QTest::newRow("stale files under the new name") << 1;
        QTest::newRow("save as twice to the same name") << 2;
    }
    void saveAsMakesFreshCopy()
    {
        QFETCH(int, saves);
        QVERIFY(QDir().mkpath(dataDir(m_path)));
        QVERIFY(LsnBytes::writeFile(dataDir(m_path) + "stale.mp4", "an earlier project"));
        QVERIFY(LsnBytes::writeFile(dataDir(m_path) + "x.mp4", "an earlier x"));
        for (int i = 0; i < saves; ++i) {
            const Run run = save(m_project.get(), m_path, true);
            QVERIFY2(run.saved, qPrintable(run.error));
        }
        QCOMPARE(
            FolderSnapshot::names(dataDir(m_path)),
            (QStringList{"Cover.png", "pro.lsnc", "x.mp4", "x.mp4_1.jpg", "y.txt", "讲座 2.mp4"}));
        QCOMPARE(LsnBytes::readFile(dataDir(m_path) + "x.mp4"), noise(20480 * 30 + 9, 1));
        QCOMPARE(m_project.get()->projectDir(), dataDir(m_path));
        // Nothing but the working folder is left in the data folder for this name.
        const QString md5 = QDir(dataDir(m_path)).dirName();
        const QStringList siblings =
            QDir(dataDir(m_path) + "..").entryList({md5 + "*"}, QDir::AllEntries);
        QCOMPARE(siblings, QStringList{md5});
    }

    void saveAsFailedCopyKeepsProject()
    {
        // A link to nothing cannot be copied (not even by root).
        ProjectData *p = m_project.get();
        QVERIFY(
            QFile::link(m_tmp->filePath("nowhere"), QDir(p->projectDir()).filePath("dangling")));
        QVERIFY(QDir().mkpath(dataDir(m_path)));
        QVERIFY(LsnBytes::writeFile(dataDir(m_path) + "earlier.mp4", "earlier work"));
        const auto before = FolderSnapshot::contents(dataDir(m_path));
        const QString dirBefore = p->projectDir();

        const Run run = save(m_project.get(), m_path, true);
        QVERIFY(!run.saved);
        QCOMPARE(run.finals, 1);
        QVERIFY(!run.error.isEmpty());
        QCOMPARE(p->projectDir(), dirBefore);
        QVERIFY(p->filePath().isEmpty());
        QVERIFY(!QFileInfo::exists(m_path));
        QVERIFY(!QFileInfo::exists(m_path + "_tmp"));
        QCOMPARE(FolderSnapshot::contents(dataDir(m_path)), before);
        QVERIFY(RecentFiles::instance()->files().isEmpty());
    }

    // A save that cannot be written says why, names the file the teacher chose and keeps
    // what was there.
    void failedWriteKeepsEarlierFile_data()
    {
        DataTable::columns<QString, QString>("where", "message");
        QTest::newRow("folder that takes no file (not even from root)") << "proc"
                                                                        << "无法写入文件：%1";
        QTest::newRow("disk without room") << "small disk"
                                           << "磁盘空间不足：%1";
    }
    void failedWriteKeepsEarlierFile()
    {
        const auto [where, message] = DataTable::fetch<QString, QString>("where", "message");
        QString path = QStringLiteral("/proc/课程 一.lsn");
        std::unique_ptr<SmallDisk> disk;
        if (where == "small disk") {
            const QString mount = m_tmp->filePath("small");
            QVERIFY(QDir().mkpath(mount));
            disk = std::make_unique<SmallDisk>(mount, 1);
            if (!disk->isMounted())
                QSKIP("mounting a tmpfs needs root");
            path = mount + "/课程 一.lsn";
            QVERIFY(LsnBytes::writeFile(path, "earlier"));
            // The project's files (about 640 kB) do not fit in what is left.
            QVERIFY(disk->fillLeaving(400 * 1024));
        }
        const Run run = save(m_project.get(), path, false);
        QVERIFY(!run.saved);
        QCOMPARE(run.error, message.arg(path));
        QVERIFY(m_project.get()->filePath().isEmpty());
        QVERIFY(!QFileInfo::exists(path + "_tmp"));
        if (disk)
            QCOMPARE(LsnBytes::readFile(path), QByteArray("earlier"));
    }

    void failedOpenKeepsEverything_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray index = "[General]\navDatas=@Invalid()\n";
        QTest::newRow("not a project") << QByteArray("hello");
        QTest::newRow("member escapes the folder")
            << LsnBytes::pack({{"pro.lsnc", index}, {"../escaped.mp4", "x"}});
        QTest::newRow("no pro.lsnc") << LsnBytes::pack({{"x.mp4", "x"}});
        // QSettings would reserve room for four billion values and abort.
        QTest::newRow("index with a hostile list count") << LsnBytes::pack(
            {{"pro.lsnc", "[General]\navDatas=@Variant(\\0\\0\\0\\t\\xff\\xff\\xff"
                          "\\xf0\\0\\0\\0\\x8f\\0\\0\\0\\x2{})\n"}});
        QTest::newRow("index that is not an index")
            << LsnBytes::pack({{"pro.lsnc", "[General]\navDatas=\"@Variant(\\0\n"}});
    }
    void failedOpenKeepsEverything()
    {
        QFETCH(QByteArray, bytes);
        QVERIFY(save(m_project.get(), m_path, true).saved);
        ProjectData *p = m_project.get();
        QVERIFY(LsnBytes::writeFile(dataDir(m_path) + "unsaved.mp4", "recorded since"));
        const auto before = FolderSnapshot::contents(dataDir(m_path));
        const auto recentBefore = RecentFiles::instance()->files();
        const QString uuid = p->at(0).uuid;
        QVERIFY(LsnBytes::writeFile(m_path, bytes));

        QCOMPARE(open(m_project.get(), m_path), 0);
        QCOMPARE(FolderSnapshot::contents(dataDir(m_path)), before);
        QVERIFY(!QFileInfo::exists(m_tmp->filePath("escaped.mp4")));
        QVERIFY(!QFileInfo::exists(QFileInfo(dataDir(m_path) + "..").absoluteFilePath() +
                                   "/escaped.mp4"));
        QCOMPARE(p->count(), 2);
        QCOMPARE(p->at(0).uuid, uuid);
        QCOMPARE(p->projectDir(), dataDir(m_path));
        QCOMPARE(RecentFiles::instance()->files(), recentBefore);
    }

    void filesToPack_data()
    {
        DataTable::columns<QStringList, QStringList, QStringList>("entries", "clipNames",
                                                                  "expected");
        QTest::newRow("derived files go with their clip")
            << QStringList{"x.mp4", "x.mp4_1.jpg", "x.mp4_wave.png",
                           "y.txt", "Cover.png",   "pro.lsnc"}
            << QStringList{"x.mp4"}
            << QStringList{"Cover.png", "pro.lsnc", "x.mp4", "x.mp4_1.jpg", "x.mp4_wave.png"};
        QTest::newRow("a clip without a file name selects nothing")
            << QStringList{"a.mp4", "y.txt", "pro.lsnc"} << QStringList{"", "a.mp4"}
            << QStringList{"pro.lsnc", "a.mp4"};
        QTest::newRow("two clips sharing a prefix take a file once")
            << QStringList{"a.mp4", "a.mp4_2.mp4", "b.mp4"} << QStringList{"a.mp4", "a.mp4_2.mp4"}
            << QStringList{"a.mp4", "a.mp4_2.mp4"};
    }
    void filesToPack()
    {
        const auto [entries, clipNames, expected] =
            DataTable::fetch<QStringList, QStringList, QStringList>("entries", "clipNames",
                                                                    "expected");
        QTemporaryDir dir;
        for (const QString &e : entries)
            QVERIFY(LsnBytes::writeFile(dir.filePath(e), "x"));
        QList<AVData> clips;
        for (const QString &n : clipNames)
            clips << clip(n, n);
        QStringList got;
        for (const QFileInfo &info : SaveOpenManager::filesToPack(dir.path(), clips))
            got << info.fileName();
        QCOMPARE(got.size(), QSet<QString>(got.begin(), got.end()).size());
        // The cover and the index lead, in that order; the rest follows in any order.
        const qsizetype leading = expected.count("Cover.png") + expected.count("pro.lsnc");
        QCOMPARE(got.mid(0, leading), expected.mid(0, leading));
        QStringList rest = got.mid(leading), wanted = expected.mid(leading);
        rest.sort();
        wanted.sort();
        QCOMPARE(rest, wanted);
    }

    void copyDirectory_data()
    {
        // expectedFiles: under the target
        DataTable::columns<bool, bool, bool, bool, QStringList>(
            "intoSubFolder", "sourceExists", "targetHasFile", "expectedResult", "expectedFiles");
        QTest::newRow("flat copy")
            << false << true << false << true << QStringList{"a.txt", "sub", "sub/b.txt"};
        QTest::newRow("into a sub-folder")
            << true << true << false << true
            << QStringList{"src", "src/a.txt", "src/sub", "src/sub/b.txt"};
        QTest::newRow("missing source") << false << false << false << false << QStringList{};
        QTest::newRow("existing target file is a failure")
            << false << true << true << false << QStringList{"a.txt", "sub", "sub/b.txt"};
    }
    void copyDirectory()
    {
        const auto [intoSubFolder, sourceExists, targetHasFile, expectedResult, expectedFiles] =
            DataTable::fetch<bool, bool, bool, bool, QStringList>("intoSubFolder", "sourceExists",
                                                                  "targetHasFile", "expectedResult",
                                                                  "expectedFiles");
        QTemporaryDir tmp;
        const QString src = tmp.filePath("src");
        if (sourceExists) {
            QVERIFY(QDir().mkpath(src + "/sub"));
            QVERIFY(LsnBytes::writeFile(src + "/a.txt", "a"));
            QVERIFY(LsnBytes::writeFile(src + "/sub/b.txt", "b"));
        }
        const QString to = tmp.filePath("to/deeper");
        if (targetHasFile) {
            QVERIFY(QDir().mkpath(to));
            QVERIFY(LsnBytes::writeFile(to + "/a.txt", "kept"));
        }
        QCOMPARE(SaveOpenManager::copyDirectory(src, to, intoSubFolder), expectedResult);
        QCOMPARE(FolderSnapshot::contents(to).keys(), expectedFiles);
        if (targetHasFile)
            QCOMPARE(LsnBytes::readFile(to + "/a.txt"), QByteArray("kept"));
        else if (expectedResult)
            QCOMPARE(LsnBytes::readFile(to + (intoSubFolder ? "/src" : "") + "/sub/b.txt"),
                     QByteArray("b"));
    }

private:
    void removeFolders()
    {
        if (m_path.isEmpty())
            return;
        QDir(dataDir(m_path)).removeRecursively();
        QDir(cacheDir(m_path)).removeRecursively();
    }

    QScopedPointer<QTemporaryDir> m_tmp;
    QScopedPointer<ProjectData> m_project;  // each test saves and opens a project of its own
    QByteArray m_cover;                     // the project's "Cover.png"
    QString m_path;
};

QTEST_GUILESS_MAIN(TestSaveOpenManager)
#include "tst_saveopenmanager.moc"
