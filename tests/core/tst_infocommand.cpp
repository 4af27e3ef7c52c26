#include "core/project/projectdata.h"
#include "core/storage/lsnpacker.h"
#include "core/storage/projectindex.h"
#include "support/datatable.h"
#include "support/foldersnapshot.h"
#include "support/lsnbytes.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

// The index QSettings writes for these clips, and the objects QSettings reads back from it.
QByteArray writtenIndex(const QStringList &titles, QList<QJsonObject> *readBack)
{
    QTemporaryDir dir;
    ProjectData *p = ProjectData::instance();
    p->reset();
    p->setProjectDir(dir.path());
    for (const QString &title : titles) {
        AVData d;
        d.title = title;
        d.fileName = title.left(3) + ".mp4";
        d.duration = 3000000000LL;
        d.endTime = 1234;
        d.videoWidth = 1920;
        d.videoHeight = 1080;
        p->insert(-1, d);
    }
    p->writeIndex();
    *readBack = ProjectData::readIndexObjects(p->indexFilePath());
    return LsnBytes::readFile(p->indexFilePath());
}

const QStringList kTrickyTitles{
    "第一节 讲座",
    "commas, semicolons; \"quotes\" and \\backslashes\\",
    "@Variant(not really) @Invalid()",
    "0123456789abcdefABCDEF after escapes",
    "tab\tnew line\nreturn\r and = [General]",
};

}  // namespace

class TestInfoCommand : public QObject
{
    Q_OBJECT
private slots:
    void indexReadLikeQSettings_data()
    {
        QTest::addColumn<QStringList>("titles");
        QTest::newRow("no clips") << QStringList{};
        QTest::newRow("one clip") << QStringList{"第一节"};
        QTest::newRow("two clips") << QStringList{"a", "b"};
        QTest::newRow("tricky titles") << kTrickyTitles;
        for (int i = 0; i < kTrickyTitles.size(); ++i)
            QTest::addRow("alone: %d", i) << QStringList{kTrickyTitles.at(i)};
    }
    void indexReadLikeQSettings()
    {
        QFETCH(QStringList, titles);
        QList<QJsonObject> expected;
        const QByteArray ini = writtenIndex(titles, &expected);
        QCOMPARE(expected.size(), titles.size());
        QList<QJsonObject> clips;
        QString error;
        QVERIFY2(parseProjectIndex(ini, &clips, &error), qPrintable(error));
        QCOMPARE(clips, expected);
        for (int i = 0; i < titles.size(); ++i)
            QCOMPARE(clips.at(i).value("title").toString(), titles.at(i));
    }

    void hostileIndexRefused_data()
    {
        QTest::addColumn<QByteArray>("ini");
        const QByteArray head = "[General]\navDatas=";
        QTest::newRow("list count beyond the bytes")
            << head + "@Variant(\\0\\0\\0\\t\\xff\\xff\\xff\\xf0\\0\\0\\0\\x8f\\0\\0\\0\\x2{})";
        QTest::newRow("element that is not an object")
            << head + "@Variant(\\0\\0\\0\\t\\0\\0\\0\\x1\\0\\0\\0\\n\\0\\0\\0\\x2{})";
        QTest::newRow("nested list")
            << head + "@Variant(\\0\\0\\0\\t\\0\\0\\0\\x1\\0\\0\\0\\t\\xff\\xff\\xff\\xff)";
        QTest::newRow("json length past the end")
            << head + "@Variant(\\0\\0\\0\\x8f\\0\\0\\x10\\0{})";
        QTest::newRow("json that is not an object")
            << head + "@Variant(\\0\\0\\0\\x8f\\0\\0\\0\\x2[])";
        QTest::newRow("bytes after the value")
            << head + "@Variant(\\0\\0\\0\\x8f\\0\\0\\0\\x2{}xyz)";
        QTest::newRow("escape at the end") << head + "@Variant(\\";
        QTest::newRow("unknown escape") << head + "@Variant(\\q)";
        QTest::newRow("hex escape too long") << head + "@Variant(\\x123456)";
        QTest::newRow("unterminated quote") << head + "\"@Variant(\\0\\0\\0\\x8f";
        QTest::newRow("payload beyond latin-1") << head + "@Variant(讲)";
        QTest::newRow("plain text") << head + "hello";
    }
    void hostileIndexRefused()
    {
        QFETCH(QByteArray, ini);
        QList<QJsonObject> clips{QJsonObject{{"stale", 1}}};
        QString error;
        QVERIFY(!parseProjectIndex(ini, &clips, &error));
        QVERIFY(clips.isEmpty());
        QVERIFY(!error.isEmpty());
    }

    void infoCommand_data()
    {
        // arguments: "%f" is the packed file
        // bytes: empty: no file is made
        // titles: expected clips on success
        DataTable::columns<QStringList, QByteArray, int, QStringList>("arguments", "bytes",
                                                                      "exitCode", "titles");

        m_dir.reset(new QTemporaryDir);
        QList<QJsonObject> ignored;
        const QByteArray index = writtenIndex(kTrickyTitles, &ignored);
        QByteArray media(3 * 1024 * 1024 + 17, 'm');
        const QByteArray good =
            LsnBytes::pack({{"a.mp4", media}, {"pro.lsnc", index}, {"a.mp4_1.jpg", "jpg"}});
        QTest::newRow("project") << QStringList{"--info", "%f"} << good << 0 << kTrickyTitles;
        QTest::newRow("empty project")
            << QStringList{"--info", "%f"}
            << LsnBytes::pack({{"pro.lsnc", "[General]\navDatas=@Invalid()\n"}}) << 0
            << QStringList{};
        QTest::newRow("no index") << QStringList{"--info", "%f"}
                                  << LsnBytes::pack({{"a.mp4", media}}) << 2 << QStringList{};
        QTest::newRow("missing file")
            << QStringList{"--info", "/nonexistent/x.lsn"} << QByteArray() << 2 << QStringList{};
        QTest::newRow("a folder") << QStringList{"--info", m_dir->path()} << QByteArray() << 2
                                  << QStringList{};
        QTest::newRow("no file named")
            << QStringList{"--info"} << QByteArray() << 2 << QStringList{};
        QTest::newRow("cut inside the media")
            << QStringList{"--info", "%f"} << good.left(good.size() / 2) << 2 << QStringList{};
        for (const LsnBytes::HostileFile &h : LsnBytes::hostileFiles(m_dir->path()))
            QTest::newRow(h.name) << QStringList{"--info", "%f"} << h.bytes << 2 << QStringList{};
    }
    void infoCommand()
    {
        auto [arguments, bytes, exitCode, titles] =
            DataTable::fetch<QStringList, QByteArray, int, QStringList>("arguments", "bytes",
                                                                        "exitCode", "titles");
        const QString file = m_dir->filePath("课件.lsn");
        QFile::remove(file);
        if (!bytes.isEmpty() || arguments.contains("%f"))
            QVERIFY(LsnBytes::writeFile(file, bytes));
        arguments.replaceInStrings("%f", file);
        QVERIFY(QDir().mkpath(m_dir->filePath("home")));

        // No display, and a home and working folder of its own, to see that nothing is written.
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XAUTHORITY"})
            env.remove(name);
        env.insert("HOME", m_dir->filePath("home"));
        env.insert("XDG_CONFIG_HOME", m_dir->filePath("home/.config"));
        env.insert("XDG_CACHE_HOME", m_dir->filePath("home/.cache"));
        const QString appDir = QFileInfo(LUMORA_RECORD_BIN).absolutePath();
        const auto before = FolderSnapshot::contents(m_dir->path());
        const QStringList appBefore =
            FolderSnapshot::paths(appDir + "/data") + FolderSnapshot::paths(appDir + "/cache");
        const bool confBefore = QFileInfo::exists(appDir + "/conf.ini");

        QProcess p;
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(m_dir->filePath("home"));
        p.start(LUMORA_RECORD_BIN, arguments);
        QVERIFY(p.waitForFinished(60000));
        const QByteArray out = p.readAllStandardOutput();
        const QByteArray err = p.readAllStandardError();
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QVERIFY2(p.exitCode() == exitCode, err.constData());

        QCOMPARE(FolderSnapshot::contents(m_dir->path()), before);
        QCOMPARE(FolderSnapshot::paths(appDir + "/data") + FolderSnapshot::paths(appDir + "/cache"),
                 appBefore);
        QCOMPARE(QFileInfo::exists(appDir + "/conf.ini"), confBefore);
        if (exitCode != 0) {
            QVERIFY(out.isEmpty());
            QCOMPARE(err.count('\n'), 1);
            QVERIFY(err.endsWith('\n'));
            return;
        }
        QVERIFY2(err.isEmpty(), err.constData());
        QJsonParseError parseError;
        const QJsonDocument doc = QJsonDocument::fromJson(out, &parseError);
        QVERIFY2(doc.isArray(), qPrintable(parseError.errorString()));
        const QJsonArray clips = doc.array();
        QCOMPARE(clips.size(), titles.size());
        for (int i = 0; i < titles.size(); ++i) {
            QCOMPARE(clips.at(i).toObject().value("title").toString(), titles.at(i));
            QCOMPARE(clips.at(i).toObject().value("duration").toInteger(), 3000000000LL);
            QCOMPARE(clips.at(i).toObject().value("videoSize").toString(), QString("1920x1080"));
        }
    }

    // `--info` reads the piece headers and the index, not the media: on a pack of a few hundred
    // MB it reads less than 1 % of the bytes (counted by the kernel for the process).
    void infoReadsOnlyHeaders()
    {
        QTemporaryDir dir;
        const QString media = dir.filePath("lecture.mp4");
        QFile sparse(media);
        QVERIFY(sparse.open(QIODevice::WriteOnly) && sparse.resize(300LL * 1024 * 1024));
        sparse.close();
        QList<QJsonObject> ignored;
        QVERIFY(LsnBytes::writeFile(dir.filePath("pro.lsnc"), writtenIndex({"第一节"}, &ignored)));
        const QString pack = dir.filePath("big.lsn");
        LsnPacker packer;
        QVERIFY(
            packer.compressFiles({QFileInfo(media), QFileInfo(dir.filePath("pro.lsnc"))}, pack));
        QFile::remove(media);
        const qint64 size = QFileInfo(pack).size();

        // The child is left unreaped after it ends (WNOWAIT) so that its counts can be read.
        const QByteArray bin = LUMORA_RECORD_BIN, file = QFile::encodeName(pack);
        char *argv[] = {const_cast<char *>(bin.constData()), const_cast<char *>("--info"),
                        const_cast<char *>(file.constData()), nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        pid_t pid = 0;
        QCOMPARE(posix_spawn(&pid, argv[0], &actions, nullptr, argv, environ), 0);
        posix_spawn_file_actions_destroy(&actions);
        siginfo_t info{};
        QCOMPARE(waitid(P_PID, id_t(pid), &info, WEXITED | WNOWAIT), 0);
        QFile io(QStringLiteral("/proc/%1/io").arg(pid));
        const bool opened = io.open(QIODevice::ReadOnly);
        const QByteArray counts = opened ? io.readAll() : QByteArray();
        int status = 0;
        waitpid(pid, &status, 0);
        QVERIFY(opened);
        QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        qint64 rchar = -1;
        for (const QByteArray &line : counts.split('\n'))
            if (line.startsWith("rchar:"))
                rchar = line.mid(6).trimmed().toLongLong();
        QVERIFY2(rchar >= 0 && rchar < size / 100,
                 qPrintable(QStringLiteral("read %1 of %2 bytes").arg(rchar).arg(size)));
    }

private:
    QScopedPointer<QTemporaryDir> m_dir;
};

QTEST_GUILESS_MAIN(TestInfoCommand)
#include "tst_infocommand.moc"
