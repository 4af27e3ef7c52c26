// The slide-show agent alone, with the test playing the recording window's local server: real
// LibreOffice, real Poppler, its real window on the test display.
#include "core/slides/slideprotocol.h"
#include "support/datatable.h"
#include "support/slideshow.h"
#include "ui/slides/x11windowsearch.h"

#include <QGuiApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

constexpr quint64 kContainerId = 4242;

// One run of the agent, as the window that starts it sees it.
class AgentRun
{
public:
    // Without `listen`, no window waits for the agent (it went away before the agent started).
    explicit AgentRun(const QString &agent, const QString &file, bool listen = true)
    {
        const QString name =
            SlideProtocol::serverName(QCoreApplication::applicationPid(), kContainerId);
        QLocalServer::removeServer(name);
        if (listen)
            server.listen(name);
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(agent, {file, QString::number(kContainerId), QStringLiteral("1")});
    }
    ~AgentRun()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(3000);
        }
    }

    bool connected(int ms = 10000)
    {
        if (!socket && server.waitForNewConnection(ms))
            socket = server.nextPendingConnection();
        return socket != nullptr;
    }
    // Waits for the next message of `type` (others are kept in `messages`).
    QJsonObject waitFor(const QString &type, int ms)
    {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < ms) {
            for (int i = read; i < messages.size(); ++i) {
                if (messages.at(i).value("cmd_type").toString() == type) {
                    read = i + 1;
                    return messages.at(i);
                }
            }
            if (!socket || !socket->waitForReadyRead(50)) {
                QCoreApplication::processEvents();
                continue;
            }
            while (socket->canReadLine())
                messages.append(QJsonDocument::fromJson(socket->readLine()).object());
        }
        return {};
    }
    int count(const QString &type) const
    {
        int n = 0;
        for (const QJsonObject &m : messages)
            n += m.value("cmd_type").toString() == type;
        return n;
    }
    void send(const QByteArray &word)
    {
        socket->write(word + '\n');
        socket->waitForBytesWritten(1000);
    }
    bool ended(int ms)
    {
        return process.state() == QProcess::NotRunning || process.waitForFinished(ms);
    }
    QString output() { return QString::fromUtf8(process.readAll()); }

    QLocalServer server;
    QLocalSocket *socket = nullptr;
    QProcess process;
    QList<QJsonObject> messages;
    int read = 0;
};

// The colour near the top-left corner of the agent's window (inside the slide).
QColor slideColourShown(quint32 window)
{
    QTest::qWait(300);
    const QImage picture = QGuiApplication::primaryScreen()->grabWindow(window).toImage();
    if (picture.isNull())
        return {};
    return picture.pixelColor(picture.width() / 10, picture.height() / 2);
}

}  // namespace

class TestSlideAgent : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void showsTurnsAndCloses();
    void reopeningUsesTheCache();
    void endsWithoutHeartbeat();
    void endsWhenNoWindowWaits();
    void refusesBadFiles_data();
    void refusesBadFiles();

private:
    QTemporaryDir m_dir;
    QString m_agent;
};

void TestSlideAgent::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QString error;
    QVERIFY2(SlideShow::makePresentations(m_dir.path(), &error), qPrintable(error));
    m_agent = SlideShow::copyAgent(m_dir.path());
    QVERIFY(!m_agent.isEmpty());
}

void TestSlideAgent::showsTurnsAndCloses()
{
    AgentRun run(m_agent, m_dir.filePath("lesson.pptx"));
    QVERIFY(run.connected());
    // LibreOffice converts first, and the agent says so while it does.
    QVERIFY(!run.waitFor("ppt_converting", 10000).isEmpty());
    const QJsonObject hwnd = run.waitFor("window_hwnd", 120000);
    QVERIFY2(!hwnd.isEmpty(), qPrintable(run.output()));
    const QJsonObject size = run.waitFor("ppt_size", 5000);
    const QJsonObject page = run.waitFor("ppt_page", 5000);
    const QStringList wh = size.value("value").toString().split('_');
    QCOMPARE(wh.size(), 2);
    // The slides are 16:9.
    QVERIFY(qAbs(wh.at(0).toDouble() / wh.at(1).toDouble() - 16.0 / 9.0) < 0.02);
    QCOMPARE(page.value("value").toInt(), 1);

    const quint32 id = quint32(hwnd.value("value").toDouble());
    X11WindowSearch::TopLevel shown;
    QTRY_VERIFY_WITH_TIMEOUT(
        [&]() {
            for (const auto &w : X11WindowSearch::topLevels())
                if (w.id == id && w.viewable)
                    shown = w;
            return shown.id != 0;
        }(),
        10000);
    QCOMPARE(shown.title, QStringLiteral("lesson.pptx - 幻灯片放映"));
    QCOMPARE(shown.pid, run.process.processId());
    QTRY_VERIFY_WITH_TIMEOUT(SlideShow::near(slideColourShown(id), SlideShow::slideColour(1)),
                             5000);

    run.send("next_page");
    QCOMPARE(run.waitFor("ppt_page", 5000).value("value").toInt(), 2);
    QTRY_VERIFY_WITH_TIMEOUT(SlideShow::near(slideColourShown(id), SlideShow::slideColour(2)),
                             5000);
    // Unknown words and over-long lines are ignored.
    run.send("rm -rf /");
    run.send(QByteArray(10000, 'x'));
    run.send("previous_page");
    QCOMPARE(run.waitFor("ppt_page", 5000).value("value").toInt(), 1);

    run.send("close");
    QVERIFY(run.ended(5000));
    QCOMPARE(run.process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(run.process.exitCode(), 0);
}

void TestSlideAgent::reopeningUsesTheCache()
{
    // The first test converted lesson.pptx; the second opening shows it from the cache,
    // without LibreOffice.
    QElapsedTimer clock;
    clock.start();
    AgentRun run(m_agent, m_dir.filePath("lesson.pptx"));
    QVERIFY(run.connected());
    QVERIFY(!run.waitFor("ppt_page", 20000).isEmpty());
    QCOMPARE(run.count("ppt_converting"), 0);
    QVERIFY(run.count("window_hwnd") == 1);
    QVERIFY(QFile::exists(m_dir.filePath("cache/slides")));

    // The window going away (the program killed) ends the agent.
    delete run.socket;
    run.socket = nullptr;
    QVERIFY(run.ended(5000));
    QVERIFY(run.output().contains("slides from the cache"));
    QCOMPARE(run.process.exitCode(), 0);
}

void TestSlideAgent::endsWithoutHeartbeat()
{
    AgentRun run(m_agent, m_dir.filePath("single.odp"));
    QVERIFY(run.connected());
    QVERIFY(!run.waitFor("ppt_page", 120000).isEmpty());
    // Heartbeats keep it running past its 10 seconds...
    for (int i = 0; i < 12; ++i) {
        run.send("heartbeat");
        QTest::qWait(1000);
    }
    QCOMPARE(run.process.state(), QProcess::Running);
    // ... and without them it ends, not earlier than 10 seconds after the last one.
    QElapsedTimer clock;
    clock.start();
    run.send("heartbeat");
    QVERIFY(!run.ended(9000));
    QVERIFY(run.ended(15000));
    QVERIFY(clock.elapsed() >= 10000);
    QVERIFY(run.output().contains("no heartbeat"));
}

// Started for a window that is already gone: it keeps trying for its 5 seconds, then ends by
// itself with the status that says so.
void TestSlideAgent::endsWhenNoWindowWaits()
{
    AgentRun run(m_agent, m_dir.filePath("single.odp"), false);
    QElapsedTimer clock;
    clock.start();
    QVERIFY(run.ended(15000));
    QVERIFY2(clock.elapsed() >= 4500 && clock.elapsed() <= 9000,
             qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(run.process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(run.process.exitCode(), int(SlideProtocol::kExitNoWindow));
    QVERIFY(run.output().contains(u"无法连接到录课窗口"_s));
}

void TestSlideAgent::refusesBadFiles_data()
{
    DataTable::columns<QString, QString>("file", "message");
    QTest::newRow("cut-off pptx") << u"broken.pptx"_s << u"无法转换演示文稿"_s;
    QTest::newRow("text named pptx") << u"notes.pptx"_s << u"文件不是演示文稿"_s;
    QTest::newRow("missing") << u"missing.pptx"_s << u"无法打开文件"_s;
}

void TestSlideAgent::refusesBadFiles()
{
    const auto [file, message] = DataTable::fetch<QString, QString>("file", "message");
    QFile notes(m_dir.filePath("notes.pptx"));
    QVERIFY(notes.open(QIODevice::WriteOnly));
    notes.write("These are my notes, not slides.\n");
    notes.close();

    AgentRun run(m_agent, m_dir.filePath(file));
    QVERIFY(run.connected());
    QVERIFY(run.ended(120000));
    const QString output = run.output();
    QVERIFY2(output.contains(message), qPrintable(output));
    QCOMPARE(run.process.exitCode(), 1);
    QCOMPARE(run.count("window_hwnd"), 0);
}

QTEST_MAIN(TestSlideAgent)
#include "tst_slideagent.moc"
