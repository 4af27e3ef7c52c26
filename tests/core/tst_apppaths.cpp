// Where the program keeps its files: the application folder of a build tree or a portable
// copy, the XDG folders of an installed copy; and every caller asks the same place.
#include "core/platform/apppaths.h"
#include "core/platform/crashhandler.h"
#include "core/platform/settings.h"
#include "core/project/projectdata.h"
#include "support/datatable.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestAppPaths : public QObject
{
    Q_OBJECT

private slots:
    void decide_data()
    {
        // environment: NAME=VALUE
        // expected: config, data, cache
        DataTable::columns<bool, QStringList, QStringList>("installed", "environment", "expected");

        QTest::newRow("build tree ignores XDG")
            << false << QStringList{"XDG_CONFIG_HOME=/x/c", "XDG_DATA_HOME=/x/d"}
            << QStringList{"/opt/app", "/opt/app", "/opt/app"};
        QTest::newRow("installed, defaults")
            << true << QStringList{}
            << QStringList{"/home/t/.config/lumora", "/home/t/.local/share/lumora",
                           "/home/t/.cache/lumora"};
        QTest::newRow("installed, variables")
            << true
            << QStringList{"XDG_CONFIG_HOME=/x/c/", "XDG_DATA_HOME=/x/d", "XDG_CACHE_HOME=/x/k"}
            << QStringList{"/x/c/lumora", "/x/d/lumora", "/x/k/lumora"};
        QTest::newRow("installed, empty and relative variables are ignored")
            << true << QStringList{"XDG_CONFIG_HOME=", "XDG_DATA_HOME=rel/d", "XDG_CACHE_HOME=/x/k"}
            << QStringList{"/home/t/.config/lumora", "/home/t/.local/share/lumora", "/x/k/lumora"};
    }

    void decide()
    {
        const auto [installed, environment, expected] =
            DataTable::fetch<bool, QStringList, QStringList>("installed", "environment",
                                                             "expected");

        QProcessEnvironment env;
        for (const QString &pair : environment)
            env.insert(pair.section('=', 0, 0), pair.section('=', 1));
        const AppPaths::Folders f = AppPaths::decide("/opt/app/", installed, env, "/home/t");
        QCOMPARE((QStringList{f.config, f.data, f.cache}), expected);
    }

    // A writable folder is a build tree or a portable copy, unless the prefix around it holds
    // the installed desktop entry (root can write to /usr/bin, yet must not put files there).
    void installedCopyIsRecognised()
    {
        QTemporaryDir prefix;
        QVERIFY(QDir(prefix.path()).mkpath("bin"));
        const QString bin = prefix.filePath("bin");
        QVERIFY(!AppPaths::isInstalled(bin));
        QVERIFY(!AppPaths::isInstalled(prefix.path()));
        QVERIFY(QDir(prefix.path()).mkpath("share/applications"));
        QFile entry(
            prefix.filePath(QStringLiteral("share/applications/") + AppPaths::kDesktopEntryName));
        QVERIFY(entry.open(QIODevice::WriteOnly));
        entry.close();
        QVERIFY(AppPaths::isInstalled(bin));
        QVERIFY(AppPaths::isInstalled(prefix.filePath("no-such-folder")));
    }

    // This test runs from the build tree: every caller lands in the application folder.
    void callersAskTheSamePlace()
    {
        const QString app = QCoreApplication::applicationDirPath();
        QVERIFY(AppPaths::usesApplicationFolder());
        QCOMPARE(AppPaths::folder(AppPaths::Kind::Config), app);
        QCOMPARE(settingsFilePath("conf.ini"), app + "/conf.ini");
        QCOMPARE(ProjectData::defaultProjectDir(), app + "/data/temp/");
        QVERIFY(dataDir("/a/b.lsn").startsWith(app + "/data/"));
        QVERIFY(cacheDir("/a/b.lsn").startsWith(app + "/cache/"));
        QCOMPARE(defaultCrashHandlerOptions().reportFolder, app);
    }
};

QTEST_GUILESS_MAIN(TestAppPaths)
#include "tst_apppaths.moc"
