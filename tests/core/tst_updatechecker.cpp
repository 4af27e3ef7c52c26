// The update check's rules that need no server: which version is newer, which server
// addresses make a request and to where, which download addresses may reach the browser,
// and that "conf.ini" names the server.
#include "core/platform/settings.h"
#include "core/update/updatechecker.h"
#include "support/datatable.h"

#include <QtTest>

using namespace Qt::StringLiterals;

class TestUpdateChecker : public QObject
{
    Q_OBJECT

private slots:
    void newer_data()
    {
        DataTable::columns<QString, QString, bool>("remote", "installed", "newer");
        QTest::newRow("equal is not newer") << u"0.2.5.0"_s << u"0.2.5.0"_s << false;
        QTest::newRow("parts are numbers, not text") << u"0.2.10.0"_s << u"0.2.9.0"_s << true;
        QTest::newRow("an earlier part decides") << u"0.2.9.9"_s << u"0.3.0.0"_s << false;
        QTest::newRow("last part") << u"0.2.5.1"_s << u"0.2.5.0"_s << true;
        QTest::newRow("older") << u"0.2.4.9"_s << u"0.2.5.0"_s << false;
        QTest::newRow("missing parts count as 0") << u"0.3"_s << u"0.2.9.9"_s << true;
        QTest::newRow("missing parts, equal") << u"0.2.5"_s << u"0.2.5.0"_s << false;
        QTest::newRow("a fifth part is not looked at") << u"0.2.5.0.9"_s << u"0.2.5.0"_s << false;
        QTest::newRow("non-numeric part counts as 0") << u"0.2.x.1"_s << u"0.2.0.0"_s << true;
        QTest::newRow("empty remote") << u""_s << u"0.2.5.0"_s << false;
        QTest::newRow("major version") << u"1.0.0.0"_s << u"0.99.99.99"_s << true;
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
        QTest::newRow("host and port")
            << u"http://127.0.0.1:8080"_s << u"http://127.0.0.1:8080"_s + tail;
        QTest::newRow("https with a base path") << u"https://updates.example.edu/lumora/"_s
                                                << u"https://updates.example.edu/lumora"_s + tail;
        QTest::newRow("none") << u""_s << u""_s;
        QTest::newRow("ftp") << u"ftp://updates.example.edu"_s << u""_s;
        QTest::newRow("file") << u"file:///etc"_s << u""_s;
        QTest::newRow("no scheme") << u"updates.example.edu"_s << u""_s;
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
