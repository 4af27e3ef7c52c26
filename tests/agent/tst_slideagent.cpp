// The slide-show agent alone, with the test playing the recording window's local server: real
// LibreOffice, real Poppler, the pictures it sends.
#include "core/slides/slideprotocol.h"
#include "support/datatable.h"
#include "support/screenpixels.h"
#include "support/slideshow.h"

#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <cstring>

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
        process.start(agent, {file, QString::number(kContainerId)});
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
            // A picture's line counts once its bytes have come too.
            const int complete = int(messages.size()) - (pictureBytes > 0 ? 1 : 0);
            for (int i = read; i < complete; ++i) {
                if (messages.at(i).value("cmd_type").toString() == type) {
                    read = i + 1;
                    return messages.at(i);
                }
            }
            if (!socket || !socket->waitForReadyRead(50)) {
                QCoreApplication::processEvents();
                continue;
            }
            reader.append(socket->readAll());
            for (;;) {
                if (pictureBytes > 0) {
                    QByteArray bytes;
                    if (!reader.nextBytes(pictureBytes, &bytes))
                        break;
                    const QJsonObject value = messages.last().value("value").toObject();
                    QImage picture(value.value("width").toInt(), value.value("height").toInt(),
                                   QImage::Format_RGB32);
                    std::memcpy(picture.bits(), bytes.constData(), size_t(bytes.size()));
                    pictures.append(picture);
                    pictureBytes = 0;
                    continue;
                }
                QByteArray line;
                if (!reader.next(&line))
                    break;
                messages.append(QJsonDocument::fromJson(line).object());
                if (messages.last().value("cmd_type").toString() == "page_picture")
                    pictureBytes = messages.last().value("value")["bytes"].toInteger();
            }
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
    QList<QImage> pictures;  // of the "page_picture" messages, in order
    int read = 0;
    SlideProtocol::LineReader reader;
    qint64 pictureBytes = 0;  // of the picture coming next
};

}  // namespace

class TestSlideAgent : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void rendersPagesAndCloses();
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

void TestSlideAgent::rendersPagesAndCloses()
{
    AgentRun run(m_agent, m_dir.filePath("lesson.pptx"));
    QVERIFY(run.connected());
    // LibreOffice converts first, and the agent says so while it does.
    QVERIFY(!run.waitFor("ppt_converting", 10000).isEmpty());
    const QJsonObject size = run.waitFor("ppt_size", 120000);
    QVERIFY2(!size.isEmpty(), qPrintable(run.output()));
    const QStringList wh = size.value("value").toString().split('_');
    QCOMPARE(wh.size(), 2);
    // The slides are 16:9.
    QVERIFY(qAbs(wh.at(0).toDouble() / wh.at(1).toDouble() - 16.0 / 9.0) < 0.02);
    QCOMPARE(run.waitFor("ppt_pages", 5000).value("value").toInt(), 3);

    // Pages at the sizes asked for: the slide fitted in, black around a slide of another shape.
    run.send("render 2 1920 1080");
    run.send("render 3 800 800");
    QVERIFY(!run.waitFor("page_picture", 20000).isEmpty());
    QVERIFY(!run.waitFor("page_picture", 20000).isEmpty());
    QCOMPARE(run.pictures.size(), 2);
    const QImage second = run.pictures.at(0);
    QCOMPARE(second.size(), QSize(1920, 1080));
    QVERIFY(SlideShow::near(second.pixelColor(192, 540), SlideShow::slideColour(2), 12));
    // The page's number in white in the middle, sharp: pure white inside its strokes.
    QVERIFY(ScreenPixels::countNear(second.copy(760, 340, 400, 400), Qt::white, 4) > 2000);
    const QImage third = run.pictures.at(1);
    QCOMPARE(third.size(), QSize(800, 800));
    QCOMPARE(third.pixelColor(400, 20), QColor(Qt::black));
    QVERIFY(SlideShow::near(third.pixelColor(80, 400), SlideShow::slideColour(3), 12));

    // A page that does not exist is said to have failed; malformed words, unknown words and
    // over-long lines are ignored.
    run.send("render 9 640 360");
    QCOMPARE(run.waitFor("page_failed", 5000).value("value")["page"].toInt(), 9);
    for (const QByteArray &word : {QByteArray("render 1 0 0"), QByteArray("render 1 99999 2"),
                                   QByteArray("render x 640 360"), QByteArray("render 1 640"),
                                   QByteArray("rm -rf /"), QByteArray(10000, 'x')})
        run.send(word);
    run.send("render 1 640 360");
    QCOMPARE(run.waitFor("page_picture", 10000).value("value")["page"].toInt(), 1);
    QCOMPARE(run.count("page_picture") + run.count("page_failed"), 4);
    QVERIFY(
        SlideShow::near(run.pictures.last().pixelColor(64, 180), SlideShow::slideColour(1), 12));

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
    QVERIFY(!run.waitFor("ppt_pages", 20000).isEmpty());
    QCOMPARE(run.count("ppt_converting"), 0);
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
    QVERIFY(!run.waitFor("ppt_pages", 120000).isEmpty());
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
    QCOMPARE(run.count("ppt_pages"), 0);
}

QTEST_MAIN(TestSlideAgent)
#include "tst_slideagent.moc"
