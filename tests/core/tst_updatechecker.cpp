// The update check's rules that need no server: which version is newer, which server
// addresses make a request and to where, which download addresses may reach the browser,
// and that "conf.ini" names the server.
#include "core/platform/settings.h"
#include "core/update/updatechecker.h"
#include "support/datatable.h"

#include <QtTest>

class TestUpdateChecker : public QObject
{
    Q_OBJECT

private slots:
    void newer_data()
    {
        DataTable::columns<QString, QString, bool>("remote", "installed", "newer");
        QTest::newRow("equal is not newer") << "0.2.5.0"
                                            << "0.2.5.0" << false;
        QTest::newRow("parts are numbers, not text") << "0.2.10.0"
                                                     << "0.2.9.0" << true;
        QTest::newRow("an earlier part decides") << "0.2.9.9"
                                                 << "0.3.0.0" << false;
        QTest::newRow("last part") << "0.2.5.1"
                                   << "0.2.5.0" << true;
        QTest::newRow("older") << "0.2.4.9"
                               << "0.2.5.0" << false;
        QTest::newRow("missing parts count as 0") << "0.3"
                                                  << "0.2.9.9" << true;
        QTest::newRow("missing parts, equal") << "0.2.5"
                                              << "0.2.5.0" << false;
        QTest::newRow("a fifth part is not looked at") << "0.2.5.0.9"
                                                       << "0.2.5.0" << false;
        QTest::newRow("non-numeric part counts as 0") << "0.2.x.1"
                                                      << "0.2.0.0" << true;
        QTest::newRow("empty remote") << ""
                                      << "0.2.5.0" << false;
        QTest::newRow("major version") << "1.0.0.0"
                                       << "0.99.99.99" << true;
    }
    void newer()
    {
        const auto [remote, installed, newer] =
            DataTable::fetch<QString, QString, bool>("remote", "installed", "newer");
        QCOMPARE(UpdateChecker::isNewerVersion(remote, installed), newer);
    }

    void requestUrl_data()
    {
        // url: empty: no request is made
        DataTable::columns<QString, QString>("server", "url");
        const QString tail = "/apis/apk/apkInfos.jspx?apkid=com.lumora.lmrecordwindows";
        QTest::newRow("host and port") << "http://127.0.0.1:8080"
                                       << "http://127.0.0.1:8080" + tail;
        QTest::newRow("https with a base path") << "https://updates.example.edu/lumora/"
                                                << "https://updates.example.edu/lumora" + tail;
        QTest::newRow("none") << ""
                              << "";
        QTest::newRow("ftp") << "ftp://updates.example.edu"
                             << "";
        QTest::newRow("file") << "file:///etc"
                              << "";
        QTest::newRow("no scheme") << "updates.example.edu"
                                   << "";
    }
    void requestUrl()
    {
        const auto [server, url] = DataTable::fetch<QString, QString>("server", "url");
        QCOMPARE(UpdateChecker::requestUrl(server).toString(), url);
    }

    void webAddress_data()
    {
        DataTable::columns<QString, bool>("address", "web");
        QTest::newRow("https") << "https://downloads.example.edu/lumora_0.2.6.deb" << true;
        QTest::newRow("http") << "http://downloads.example.edu/x.deb" << true;
        QTest::newRow("file") << "file:///usr/bin/sh" << false;
        QTest::newRow("javascript") << "javascript:alert(1)" << false;
        QTest::newRow("no host") << "https://" << false;
        QTest::newRow("relative") << "/downloads/x.deb" << false;
        QTest::newRow("empty") << "" << false;
    }
    void webAddress()
    {
        const auto [address, web] = DataTable::fetch<QString, bool>("address", "web");
        QCOMPARE(UpdateChecker::isWebAddress(address), web);
    }

    void serverFromSettings()
    {
        writeSetting("updateServer", "https://updates.example.edu");
        QCOMPARE(UpdateChecker::serverAddress(), QStringLiteral("https://updates.example.edu"));
        writeSetting("updateServer", QVariant());
        // Back to the address the program was built with.
        QVERIFY(UpdateChecker::serverAddress() != QStringLiteral("https://updates.example.edu"));
    }
};

QTEST_GUILESS_MAIN(TestUpdateChecker)
#include "tst_updatechecker.moc"
