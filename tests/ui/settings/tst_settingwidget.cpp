// The settings window and its version page against an update server this test runs itself on
// 127.0.0.1: what the page says for each kind of answer, what its button does then (check
// again, or open the download address, which the test catches instead of a browser), that a
// second press while checking does nothing, and that only web addresses are ever opened.
#include "core/platform/language.h"
#include "core/platform/settings.h"
#include "core/update/updatechecker.h"
#include "support/datatable.h"
#include "ui/app/startup.h"
#include "ui/settings/itemview.h"
#include "ui/settings/languagesettingswidget.h"
#include "ui/settings/settingwidget.h"
#include "ui/settings/versionwidget.h"

#include <QApplication>
#include <QDesktopServices>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

// A tiny HTTP server: every request is noted and answered with the current reply.
class UpdateServer : public QObject
{
    Q_OBJECT
public:
    struct Reply
    {
        QByteArray head;  // status line and extra headers, e.g. "302 Found\r\nLocation: ..."
        QByteArray body;
        bool silent = false;  // accepts the connection and never answers
    };

    UpdateServer()
    {
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = m_server.nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { serve(socket); });
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
    }
    bool listen() { return m_server.listen(QHostAddress::LocalHost); }
    QString address() const
    {
        return QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort());
    }

    QList<Reply> replies;      // one per request, the last one repeats
    QStringList requestLines;  // "GET /path?query"
    QStringList contentTypes;

private:
    void serve(QTcpSocket *socket)
    {
        QByteArray &buffer = m_buffers[socket];
        buffer += socket->readAll();
        if (!buffer.contains("\r\n\r\n"))
            return;
        const QList<QByteArray> lines = buffer.left(buffer.indexOf("\r\n\r\n")).split('\n');
        m_buffers.remove(socket);
        requestLines << QString::fromLatin1(lines.first().trimmed()).section(' ', 0, 1);
        for (const QByteArray &line : lines)
            if (line.toLower().startsWith("content-type:"))
                contentTypes << QString::fromLatin1(line.mid(13).trimmed());
        const Reply reply = replies.value(requestLines.size() - 1, replies.last());
        if (reply.silent)
            return;
        socket->write("HTTP/1.1 " + reply.head +
                      "\r\nContent-Type: application/json\r\n"
                      "Content-Length: " +
                      QByteArray::number(reply.body.size()) + "\r\nConnection: close\r\n\r\n" +
                      reply.body);
        socket->disconnectFromHost();
    }

    QTcpServer m_server;
    QHash<QTcpSocket *, QByteArray> m_buffers;
};

// Stands in for the browser.
class Browser : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void openUrl(const QUrl &url) { opened << url; }
};

QByteArray info(int result, const QString &version, const QString &url)
{
    return QStringLiteral(R"({"result":%1,"msg":{"apkInfo":{"downloadurl":"%2","version":"%3"}}})")
        .arg(result)
        .arg(url, version)
        .toUtf8();
}

QImage iconOf(QLabel *label)
{
    return label->pixmap().toImage().convertToFormat(QImage::Format_ARGB32);
}

QImage picture(const QString &path)
{
    return QPixmap(path).toImage().convertToFormat(QImage::Format_ARGB32);
}

}  // namespace

Q_DECLARE_METATYPE(QList<UpdateServer::Reply>)

class TestSettingWidget : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(applyApplicationStyleSheet(*qApp));
        QVERIFY(m_server.listen());
        // A server that never answers is given up on after this long.
        UpdateChecker::setTransferTimeoutMs(1500);
        for (const char *scheme : {"http", "https", "file", "javascript"})
            QDesktopServices::setUrlHandler(scheme, &m_browser, "openUrl");
    }
    void cleanupTestCase()
    {
        writeSetting("updateServer", QVariant());
        for (const char *scheme : {"http", "https", "file", "javascript"})
            QDesktopServices::unsetUrlHandler(scheme);
    }

    void versionPage_data();
    void versionPage();
    void languagePage();

private:
    UpdateServer m_server;
    Browser m_browser;
};

void TestSettingWidget::versionPage_data()
{
    // server: "@" is the test's server
    // requests: made by the first check
    // icon: ":/images/..." shown with the result
    // opens: what the press then opens; empty: it checks again
    DataTable::columns<QString, QList<UpdateServer::Reply>, int, QString, QString, QString,
                       QString>("server", "replies", "requests", "status", "icon", "button",
                                "opens");

    using R = UpdateServer::Reply;
    const QString right = ":/images/icon_right.png", warning = ":/images/icon_warning.png";
    const QString failed = "检查更新失败，请重试";
    const QString download = "https://downloads.example.edu/lumora_0.2.6.deb";
    const QByteArray newer = info(1, "0.2.6.0", download);

    QTest::newRow("up to date") << u"@"_s << QList<R>{{"200 OK", info(1, "0.2.5.0", download)}} << 1
                                << u"Lumora录课已是最新版本"_s << right << u"检查更新"_s << u""_s;
    QTest::newRow("older on the server")
        << u"@"_s << QList<R>{{"200 OK", info(1, "0.2.4.9", "")}} << 1
        << u"Lumora录课已是最新版本"_s << right << u"检查更新"_s << u""_s;
    QTest::newRow("newer with an address")
        << u"@"_s << QList<R>{{"200 OK", newer}} << 1 << u"检测有新版本"_s << warning << u"去更新"_s
        << download;
    QTest::newRow("newer without an address")
        << u"@"_s << QList<R>{{"200 OK", info(1, "0.2.6.0", "")}} << 1 << failed << warning
        << u"检查更新"_s << u""_s;
    QTest::newRow("result not 1") << u"@"_s << QList<R>{{"200 OK", info(0, "0.2.6.0", download)}}
                                  << 1 << failed << warning << u"检查更新"_s << u""_s;
    QTest::newRow("not JSON") << u"@"_s << QList<R>{{"200 OK", "<html>maintenance</html>"}} << 1
                              << failed << warning << u"检查更新"_s << u""_s;
    QTest::newRow("server error") << u"@"_s << QList<R>{{"500 Internal Server Error", newer}} << 1
                                  << failed << warning << u"检查更新"_s << u""_s;
    QTest::newRow("file address not opened")
        << u"@"_s << QList<R>{{"200 OK", info(1, "0.2.6.0", "file:///usr/bin/sh")}} << 1 << failed
        << warning << u"检查更新"_s << u""_s;
    QTest::newRow("javascript address not opened")
        << u"@"_s << QList<R>{{"200 OK", info(1, "0.2.6.0", "javascript:alert(1)")}} << 1 << failed
        << warning << u"检查更新"_s << u""_s;
    QByteArray huge = newer;
    huge.append(QByteArray(2 * 1024 * 1024, ' '));
    QTest::newRow("reply over 1 MiB")
        << u"@"_s << QList<R>{{"200 OK", huge}} << 1 << failed << warning << u"检查更新"_s << u""_s;
    QTest::newRow("redirect within http is followed")
        << u"@"_s
        << QList<R>{{"302 Found\r\nLocation: /apis/apk/moved.jspx", ""}, {"200 OK", newer}} << 2
        << u"检测有新版本"_s << warning << u"去更新"_s << download;
    QTest::newRow("redirect to another scheme")
        << u"@"_s << QList<R>{{"302 Found\r\nLocation: ftp://127.0.0.1/apkInfos", ""}} << 1
        << failed << warning << u"检查更新"_s << u""_s;
    QTest::newRow("server does not answer")
        << u"@"_s << QList<R>{{"", "", true}} << 1 << failed << warning << u"检查更新"_s << u""_s;
    QTest::newRow("nothing listening") << u"http://127.0.0.1:1"_s << QList<R>{{"200 OK", newer}}
                                       << 0 << failed << warning << u"检查更新"_s << u""_s;
    const QString noServer = "没有可用的更新服务器，无法检查更新";
    QTest::newRow("no server set") << u""_s << QList<R>{{"200 OK", newer}} << 0 << noServer
                                   << warning << u"检查更新"_s << u""_s;
    QTest::newRow("not a web address") << u"ftp://127.0.0.1"_s << QList<R>{{"200 OK", newer}} << 0
                                       << noServer << warning << u"检查更新"_s << u""_s;
}

void TestSettingWidget::versionPage()
{
    auto [server, replies, requests, status, icon, button, opens] =
        DataTable::fetch<QString, QList<UpdateServer::Reply>, int, QString, QString, QString,
                         QString>("server", "replies", "requests", "status", "icon", "button",
                                  "opens");

    m_server.replies = replies;
    m_server.requestLines.clear();
    m_server.contentTypes.clear();
    m_browser.opened.clear();
    server.replace("@", m_server.address());
    writeSetting("updateServer", server.isEmpty() ? QVariant() : QVariant(server));

    QPointer<SettingWidget> window = new SettingWidget;
    auto *menu = window->findChild<QListWidget *>("listview_menu");
    // "软件版本", "声音" (tst_soundsettings), "语言", "快捷键" (tst_whiteboardtools), "摄像头"
    // (tst_camerajourney)
    QCOMPARE(menu->count(), 5);
    auto *entry = qobject_cast<ItemView *>(menu->itemWidget(menu->item(0)));
    QVERIFY(entry && entry->isSelected());
    QCOMPARE(entry->text(), QStringLiteral("软件版本"));
    QVERIFY(!window->findChild<QWidget *>("btn_min_window")->isVisible());

    VersionWidget *page = window->versionWidget();
    auto *statusLabel = page->findChild<QLabel *>("label_title_2");
    auto *iconLabel = page->findChild<QLabel *>("label_icon");
    auto *update = page->findChild<QPushButton *>("btn_update");
    QCOMPARE(page->findChild<QLabel *>("label_version")->text(), QStringLiteral("当前版本:V0.2.5"));

    // Checking starts at once; a press meanwhile does nothing.
    QCOMPARE(statusLabel->text(), QStringLiteral("正在检查更新..."));
    QVERIFY(!page->findChild<QWidget *>("loading_view")->isHidden());
    QVERIFY(iconLabel->isHidden());
    QTest::mouseClick(update, Qt::LeftButton);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QVERIFY(QTest::qWaitFor([&] { return !page->isChecking(); }, 20000));

    QCOMPARE(m_server.requestLines.size(), requests);
    if (requests > 0) {
        QCOMPARE(m_server.contentTypes.value(0),
                 QStringLiteral("application/x-www-form-urlencoded"));
        QCOMPARE(m_server.requestLines.first(),
                 QStringLiteral("GET /apis/apk/apkInfos.jspx?apkid=com.lumora.lmrecordwindows"));
    }
    QCOMPARE(statusLabel->text(), status);
    QVERIFY(iconLabel->isVisible());
    QVERIFY(!page->findChild<QWidget *>("loading_view")->isVisible());
    QVERIFY(iconOf(iconLabel) == picture(icon));
    QCOMPARE(update->text(), button);
    if (QTest::currentDataTag() == QLatin1String("newer with an address") ||
        QTest::currentDataTag() == QLatin1String("up to date")) {
        const QString dir = qEnvironmentVariable("LUMORA_SCREENSHOTS");
        if (!dir.isEmpty())
            window->grab().save(
                QStringLiteral("%1/settings-%2.png").arg(dir, QTest::currentDataTag()));
    }

    // The press: open the download address, or check again.
    const int before = m_server.requestLines.size();
    QTest::mouseClick(update, Qt::LeftButton);
    if (!opens.isEmpty()) {
        QCOMPARE(m_browser.opened, QList<QUrl>{QUrl(opens)});
        QVERIFY(!page->isChecking());
        QTest::qWait(100);
        QCOMPARE(m_server.requestLines.size(), before);
    } else {
        QVERIFY(m_browser.opened.isEmpty());
        QVERIFY(page->isChecking());
        QCOMPARE(statusLabel->text(), QStringLiteral("正在检查更新..."));
        QVERIFY(QTest::qWaitFor([&] { return !page->isChecking(); }, 20000));
        QCOMPARE(statusLabel->text(), status);
        QVERIFY(m_browser.opened.isEmpty());
    }

    QTest::mouseClick(window->findChild<QPushButton *>("btn_close_window"), Qt::LeftButton);
    QVERIFY(QTest::qWaitFor([&] { return window.isNull(); }, 5000));  // deleted on close
}

// "语言": the choice is stored when it is clicked, shown again next time, and said to apply at
// the next start.
void TestSettingWidget::languagePage()
{
    writeSetting("language", QVariant());
    for (const char *pick : {"radio_language_english", "radio_language_system"}) {
        QPointer<SettingWidget> window = new SettingWidget;
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        auto *menu = window->findChild<QListWidget *>("listview_menu");
        auto *entry = qobject_cast<ItemView *>(menu->itemWidget(menu->item(2)));
        QCOMPARE(entry->text(), QStringLiteral("语言"));
        QTest::mouseClick(entry, Qt::LeftButton);
        LanguageSettingsWidget *page = window->languageWidget();
        QTRY_VERIFY(page->isVisible());
        QVERIFY(window->findChild<QLabel *>("label_language_note")->isVisible());
        QCOMPARE(window->findChild<QLabel *>("label_language_note")->text(),
                 QStringLiteral("重新启动程序后生效"));
        QCOMPARE(page->systemButton()->text(), QStringLiteral("跟随系统"));
        // What was chosen before is what is shown.
        const bool englishBefore = QLatin1String(pick) == QLatin1String("radio_language_system");
        QCOMPARE(page->englishButton()->isChecked(), englishBefore);
        QCOMPARE(page->systemButton()->isChecked(), !englishBefore);
        QVERIFY(!page->chineseButton()->isChecked());
        // On its round mark, where a teacher clicks.
        auto *radio = page->findChild<QRadioButton *>(pick);
        QTest::mouseClick(radio, Qt::LeftButton, {}, QPoint(8, radio->height() / 2));
        QCOMPARE(readSetting("language").toString(),
                 englishBefore ? QStringLiteral("system") : QStringLiteral("en"));
        QCOMPARE(language::english(), !englishBefore);
        window->close();
        QTRY_VERIFY(window.isNull());
    }
    writeSetting("language", QVariant());
}

QTEST_MAIN(TestSettingWidget)
#include "tst_settingwidget.moc"
