// The Debian package as a teacher's machine gets it: scripts/package builds it; the Debian
// tools check what it ships; unpacked into a temporary root and run from there with that root
// read-only and HOME/XDG_* in a temporary folder, the program works and keeps its files in the
// user's folders. A writable build folder keeps using the application folder.
//
// Needs root (mount and PID namespaces, see tests/package/isolated) and an X display for the
// windowed steps. Slow (a Release build): CTest label "package".
#include "core/media/avrecord.h"
#include "core/project/projectdata.h"
#include "core/storage/lsnpacker.h"
#include "support/testmedia.h"

#include <QDirIterator>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMimeDatabase>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString kAppId = QStringLiteral("org.lumora.Record");

struct Result
{
    int code = -1;
    QString out;
    QString err;
};

Result run(const QString &program, const QStringList &arguments,
           const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment(),
           const QString &workDir = QString(), int timeoutMs = 120000)
{
    QProcess process;
    process.setProcessEnvironment(env);
    if (!workDir.isEmpty())
        process.setWorkingDirectory(workDir);
    process.start(program, arguments);
    Result result;
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        result.err = QStringLiteral("%1 did not finish").arg(program);
        return result;
    }
    result.code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

// Every file and folder below `dir` with its size and modification time, to see that nothing
// was written there.
QStringList listing(const QString &dir)
{
    QStringList entries;
    QDirIterator it(dir, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        const QFileInfo info = it.fileInfo();
        entries.append(QStringLiteral("%1 %2 %3")
                           .arg(info.filePath())
                           .arg(info.isDir() ? -1 : info.size())
                           .arg(info.lastModified().toMSecsSinceEpoch()));
    }
    entries.sort();
    return entries;
}

QStringList filesBelow(const QString &dir)
{
    QStringList files;
    QDirIterator it(dir, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext())
        files.append(it.next());
    return files;
}

}  // namespace

class TestPackage : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void shippedFiles();
    void commandLineFromReadOnlyRoot();
    void userFolders_data();
    void userFolders();

private:
    // Runs `arguments` through tests/package/isolated, with the unpacked root read-only when
    // `readOnlyRoot`.
    Result isolated(const QStringList &arguments, bool readOnlyRoot, bool display = false,
                    int timeoutMs = 120000);
    QString installed(const QString &relative) const { return m_root + "/usr/" + relative; }

    QTemporaryDir m_tmp;
    QString m_build;  // Release build tree of the package
    QString m_deb;
    QString m_root;  // the package unpacked
    QString m_home, m_xdg, m_work, m_scratch;
    QString m_lesson;  // a packed project with one clip
};

Result TestPackage::isolated(const QStringList &arguments, bool readOnlyRoot, bool display,
                             int timeoutMs)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", m_home);
    env.insert("XDG_CONFIG_HOME", m_xdg + "/config");
    env.insert("XDG_DATA_HOME", m_xdg + "/data");
    env.insert("XDG_CACHE_HOME", m_xdg + "/cache");
    env.insert("TMPDIR", m_scratch);
    if (!display) {
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        env.insert("QT_QPA_PLATFORM", "no-such-platform");  // any window-system use would abort
    }
    QStringList all;
    if (readOnlyRoot)
        all << "--read-only" << m_root;
    all << arguments;
    return run(QStringLiteral(LUMORA_SOURCE_DIR "/tests/package/isolated"), all, env, m_work,
               timeoutMs);
}

void TestPackage::initTestCase()
{
    QVERIFY(m_tmp.isValid());
    // The build folder scripts/package uses by default, so that a package made before is
    // brought up to date rather than built anew.
    m_build = QStringLiteral(LUMORA_SOURCE_DIR "/build/package");
    const Result built = run(QStringLiteral(LUMORA_SOURCE_DIR "/scripts/package"), {},
                             QProcessEnvironment::systemEnvironment(), QString(), 40 * 60 * 1000);
    QVERIFY2(built.code == 0, qPrintable(built.out.right(3000) + built.err.right(3000)));
    m_deb = built.out.trimmed().section('\n', -1);
    QVERIFY2(m_deb.endsWith(".deb") && QFile::exists(m_deb), qPrintable(m_deb));

    m_root = m_tmp.filePath("root");
    const Result unpacked = run("dpkg-deb", {"-x", m_deb, m_root});
    QVERIFY2(unpacked.code == 0, qPrintable(unpacked.err));

    m_home = m_tmp.filePath("home");
    m_xdg = m_tmp.filePath("xdg");
    m_work = m_tmp.filePath("work");
    m_scratch = m_tmp.filePath("scratch");
    for (const QString &dir : {m_home, m_xdg, m_work, m_scratch})
        QVERIFY(QDir().mkpath(dir));

    // A lesson of one clip, packed the way the program saves it.
    const QString projectDir = m_tmp.filePath("project");
    QVERIFY(QDir().mkpath(projectDir));
    AVData clip;
    clip.fileName = "clip.mp4";
    clip.filePath = projectDir + "/clip.mp4";
    QVERIFY(TestMedia::makeClip(clip.filePath, 2.0));
    QVERIFY(AVRecord::updateMediaInfo(clip));
    ProjectData *project = ProjectData::instance();
    project->clear();
    project->setProjectDir(projectDir);
    project->setAvDatas({clip});
    QVERIFY(project->writeIndex());
    m_lesson = m_tmp.filePath("课程.lsn");
    LsnPacker packer;
    QVERIFY(packer.compressFiles({QFileInfo(clip.filePath), QFileInfo(project->indexFilePath())},
                                 m_lesson));
}

void TestPackage::cleanupTestCase()
{
    for (const char *name : {"conf.ini", "testcrash.log"})
        QFile::remove(m_build + "/" + QLatin1String(name));
    QDir(m_build + "/dump").removeRecursively();
}

void TestPackage::shippedFiles()
{
    // lintian: no errors; warnings and notes are shown.
    const Result lint = run("lintian", {"--no-tag-display-limit", "--display-info", m_deb});
    const QStringList lines = (lint.out + lint.err).split('\n', Qt::SkipEmptyParts);
    for (const QString &line : lines)
        if (QRegularExpression("^[WI]: ").match(line).hasMatch())
            qInfo().noquote() << "lintian" << line;
    QVERIFY2(lines.filter(QRegularExpression("^E: ")).isEmpty(), qPrintable(lint.out));
    QVERIFY2(lint.code == 0, qPrintable(lint.out + lint.err));

    // Run-time dependencies: the libraries found by dpkg-shlibdeps and the tools it starts.
    const Result fields = run("dpkg-deb", {"-f", m_deb, "Depends", "Recommends"});
    QCOMPARE(fields.code, 0);
    for (const QString &needed :
         QStringList{"Depends: ffmpeg, vlc-plugin-base, ", "libqt6widgets6", "libavformat59",
                     "libvlc5", "libpipewire-0.3-modules", "libqt6dbus6",
                     "Recommends: libreoffice-impress, fonts-noto-cjk",
                     "xdg-desktop-portal, xdg-desktop-portal-gnome | xdg-desktop-portal-kde"})
        QVERIFY2(fields.out.contains(needed), qPrintable(needed + "\n" + fields.out));

    const QString desktop = installed("share/applications/" + kAppId + ".desktop");
    const QString metainfo = installed("share/metainfo/" + kAppId + ".metainfo.xml");
    const Result desktopCheck = run("desktop-file-validate", {desktop});
    QVERIFY2(desktopCheck.code == 0 && desktopCheck.out.isEmpty(), qPrintable(desktopCheck.out));
    const Result appstreamCheck = run("appstreamcli", {"validate", "--no-net", metainfo});
    QVERIFY2(appstreamCheck.code == 0, qPrintable(appstreamCheck.out));
    QSettings entry(desktop, QSettings::IniFormat);
    entry.beginGroup("Desktop Entry");
    // English for every desktop, Chinese beside it for a Chinese one.
    QCOMPARE(entry.value("Name").toString(), QString("Lumora Record"));
    QCOMPARE(entry.value("Name[zh]").toString(), QString("Lumora录课"));
    QCOMPARE(entry.value("Exec").toString(), QString("lumora_record %f"));
    QCOMPARE(entry.value("Icon").toString(), kAppId);

    // The icon at every size the theme is given, made from the logo.
    const QImage logo(QStringLiteral(LUMORA_SOURCE_DIR "/resources/images/logo.png"));
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QImage icon(installed(
            QStringLiteral("share/icons/hicolor/%1x%1/apps/%2.png").arg(size).arg(kAppId)));
        QCOMPARE(icon.size(), QSize(size, size));
        // The middle of the logo's orange square keeps its colour.
        const QColor middle = icon.pixelColor(size / 8, size / 2);
        const QColor expected = logo.pixelColor(32, 128);
        QVERIFY2(qAbs(middle.red() - expected.red()) < 24 &&
                     qAbs(middle.green() - expected.green()) < 24,
                 qPrintable(QString::number(size)));
    }

    // The shared-mime-info and desktop databases, built from the shipped files alone, make a
    // .lsn file a Lumora project that the program opens.
    const QString share = m_tmp.filePath("share");
    QVERIFY(QDir().mkpath(share + "/mime/packages"));
    QVERIFY(QDir().mkpath(share + "/applications"));
    QVERIFY(QFile::copy(installed("share/mime/packages/" + kAppId + ".xml"),
                        share + "/mime/packages/" + kAppId + ".xml"));
    QVERIFY(QFile::copy(desktop, share + "/applications/" + kAppId + ".desktop"));
    QCOMPARE(run("update-mime-database", {share + "/mime"}).code, 0);
    QCOMPARE(run("update-desktop-database", {share + "/applications"}).code, 0);
    QFile cache(share + "/applications/mimeinfo.cache");
    QVERIFY(cache.open(QIODevice::ReadOnly));
    QVERIFY(QString::fromUtf8(cache.readAll())
                .contains("application/x-lumora-project=" + kAppId + ".desktop;"));
    qputenv("XDG_DATA_DIRS", (share + ":/usr/share").toUtf8());
    const QMimeType type = QMimeDatabase().mimeTypeForFile(m_lesson);
    QCOMPARE(type.name(), QString("application/x-lumora-project"));
    QCOMPARE(type.comment(), QString("Lumora录课课件"));

    // The manual page is the Chinese --help, readable.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("LANG", "C.UTF-8");
    env.insert("MANWIDTH", "100");
    const Result manual =
        run("man", {"-l", installed("share/man/zh_CN/man1/lumora_record.1.gz")}, env);
    QCOMPARE(manual.code, 0);
    for (const QString &text :
         QStringList{"lumora_record - 录制与编辑课程", "--export <课件.lsn> <输出.mp4>",
                     "退出状态：", "130    导出被 Ctrl-C"})
        QVERIFY2(manual.out.contains(text), qPrintable(text + "\n" + manual.out));
    // And the English one, for every other desktop.
    const Result english = run("man", {"-l", installed("share/man/man1/lumora_record.1.gz")}, env);
    QCOMPARE(english.code, 0);
    for (const QString &text : QStringList{"lumora_record - record and edit lectures",
                                           "--export <lecture.lsn> <output.mp4>", "Exit status:"})
        QVERIFY2(english.out.contains(text), qPrintable(text + "\n" + english.out));
}

void TestPackage::commandLineFromReadOnlyRoot()
{
    const QStringList rootBefore = listing(m_root);
    const QString program = installed("bin/lumora_record");

    const Result version = isolated({program, "--version"}, true);
    QVERIFY2(version.code == 0, qPrintable(version.err));
    QCOMPARE(version.out, QStringLiteral("lumora_record " LUMORA_VERSION "\n"));

    const Result info = isolated({program, "--info", m_lesson}, true);
    QVERIFY2(info.code == 0, qPrintable(info.err));
    const QJsonArray clips = QJsonDocument::fromJson(info.out.toUtf8()).array();
    QCOMPARE(clips.size(), 1);
    QCOMPARE(clips.at(0).toObject().value("fileName").toString(), QString("clip.mp4"));

    const QString out = m_tmp.filePath("导出.mp4");
    const Result exported = isolated({program, "--export", m_lesson, out}, true, false, 300000);
    QVERIFY2(exported.code == 0, qPrintable(exported.err));
    AVData result;
    result.filePath = out;
    QVERIFY(AVRecord::updateMediaInfo(result));
    QVERIFY2(qAbs(result.duration - 2000) <= 100, qPrintable(QString::number(result.duration)));

    // Nothing under the root, in the working folder, the home folder or the temporary folder.
    QCOMPARE(listing(m_root), rootBefore);
    QCOMPARE(filesBelow(m_work), QStringList());
    QCOMPARE(filesBelow(m_home), QStringList());
    QCOMPARE(filesBelow(m_scratch), QStringList());
}

void TestPackage::userFolders_data()
{
    QTest::addColumn<bool>("installedCopy");
    QTest::newRow("installed, from a read-only root") << true;
    QTest::newRow("build tree") << false;
}

// The windowed program reads and rewrites "conf.ini" (the start drops a recent project that
// is gone), and a crash leaves its report and the "dump" folder: all in the user's folders for
// the installed copy, beside the program for the build tree.
void TestPackage::userFolders()
{
    QFETCH(bool, installedCopy);
    QDir(m_xdg).removeRecursively();
    QVERIFY(QDir().mkpath(m_xdg));
    const QString program =
        installedCopy ? installed("bin/lumora_record") : m_build + "/lumora_record";
    const QString configFolder = installedCopy ? m_xdg + "/config/lumora" : m_build;
    const QString dataFolder = installedCopy ? m_xdg + "/data/lumora" : m_build;
    const QString conf = configFolder + "/conf.ini";
    const QString report = dataFolder + "/testcrash.log";
    QFile::remove(report);
    QVERIFY(QDir().mkpath(configFolder));
    {
        QSettings settings(conf, QSettings::IniFormat);
        settings.setValue("recent_files", QStringList{m_tmp.filePath("gone.lsn"), m_lesson});
    }
    const QStringList rootBefore = listing(m_root);

    // Started with the lesson; once the recent list was rewritten the start is done (the crash
    // handler is installed before it), and a SIGSEGV is a crash.
    const QString script = QStringLiteral(R"SH(
        "$1" "$2" & pid=$!
        for i in $(seq 600); do grep -q gone.lsn "$3" || break; sleep 0.1; done
        kill -SEGV $pid; wait $pid; echo "status $?"
        for i in $(seq 300); do
          viewer=$(grep -l -a -e 'crash[-]report' /proc/[0-9]*/cmdline 2>/dev/null | head -n 1)
          [ -n "$viewer" ] && break; sleep 0.1
        done
        [ -n "$viewer" ] && echo "viewer $(tr '\0' ' ' < "$viewer")"
    )SH");
    const Result crashed = isolated({"bash", "-c", script, "crash", program, m_lesson, conf},
                                    installedCopy, true, 180000);
    QVERIFY2(crashed.out.contains("status 139\n"), qPrintable(crashed.out + crashed.err));
    QVERIFY2(
        crashed.out.contains(QStringLiteral("viewer %1 --crash-report %2 ").arg(program, report)),
        qPrintable(crashed.out));

    QSettings settings(conf, QSettings::IniFormat);
    QCOMPARE(settings.value("recent_files").toStringList(), QStringList{m_lesson});
    QFile file(report);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readLine().startsWith("APP Version: " LUMORA_VERSION));
    QVERIFY(QFileInfo(dataFolder + "/dump").isDir());

    QCOMPARE(filesBelow(m_work), QStringList());
    QCOMPARE(filesBelow(m_home), QStringList());
    if (installedCopy) {
        QCOMPARE(listing(m_root), rootBefore);
    } else {
        for (const char *kind : {"config", "data", "cache"})
            QVERIFY(
                !QFileInfo::exists(QStringLiteral("%1/%2/lumora").arg(m_xdg, QLatin1String(kind))));
    }
}

QTEST_MAIN(TestPackage)
#include "tst_package.moc"
