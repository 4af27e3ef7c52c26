// The slide-show container: the board it makes of the slides, what the agent may and may not
// send, and that the agent it started never outlives it.
#include "support/datatable.h"
#include "support/screenpixels.h"
#include "support/slideshow.h"
#include "ui/slides/pptcontainer.h"
#include "ui/whiteboard/whiteboardview.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

namespace {

QString sizeMessage(const QString &value)
{
    return QStringLiteral("{\"cmd_type\":\"ppt_size\",\"value\":\"%1\"}").arg(value);
}

QByteArray pictureLine(const char *type, int page, int width, int height, qint64 bytes)
{
    return QStringLiteral("{\"cmd_type\":\"%1\",\"value\":{\"page\":%2,\"width\":%3,"
                          "\"height\":%4,\"bytes\":%5}}\n")
        .arg(QLatin1String(type))
        .arg(page)
        .arg(width)
        .arg(height)
        .arg(bytes)
        .toUtf8();
}

// An agent that sends what the test says (LUMORA_TEST_AGENT_SENDS, a file) as soon as it is
// connected to the window's server, then waits to be ended.
QString writeScriptedAgent(const QString &dir)
{
    const QString path = dir + "/scripted-agent";
    QFile script(path);
    if (!script.open(QIODevice::WriteOnly))
        return QString();
    script.write("#!/usr/bin/env python3\n"
                 "import os, socket, sys, time\n"
                 "name = 'lumora-slides-%d-%s' % (os.getppid(), sys.argv[2])\n"
                 "s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)\n"
                 "s.connect(os.path.join(os.environ.get('TMPDIR', '/tmp'), name))\n"
                 "s.sendall(open(os.environ['LUMORA_TEST_AGENT_SENDS'], 'rb').read())\n"
                 "time.sleep(60)\n");
    script.close();
    script.setPermissions(script.permissions() | QFile::ExeOwner);
    return path;
}

}  // namespace

class TestPptContainer : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }
    void fitsTheSlides_data();
    void fitsTheSlides();
    void ignoresMalformedMessages_data();
    void ignoresMalformedMessages();
    void picturesFromTheAgent_data();
    void picturesFromTheAgent();
    void slidesFromTheRealAgent();
    void failedAgentIsReported_data();
    void failedAgentIsReported();
    void silentAgentIsEnded();

private:
    QTemporaryDir m_dir;
};

void TestPptContainer::fitsTheSlides_data()
{
    // slides: the board in the container; picture: the size the slides are recorded at
    DataTable::columns<QString, QSize, QRect, QSize>("pptSize", "container", "slides", "picture");
    QTest::newRow("4:3 into 16:9")
        << "1024_768" << QSize(1280, 720) << QRect(160, 0, 960, 720) << QSize(1440, 1080);
    QTest::newRow("16:9 into 16:10")
        << "1920_1080" << QSize(1280, 800) << QRect(0, 40, 1280, 720) << QSize(1920, 1080);
    QTest::newRow("16:9 in whole points")
        << "794_447" << QSize(794, 447) << QRect(0, 0, 794, 447) << QSize(1920, 1080);
    QTest::newRow("odd shape: even pixels")
        << "1000_700" << QSize(1280, 720) << QRect(126, 0, 1028, 720) << QSize(1542, 1080);
    QTest::newRow("portrait") << "540_960" << QSize(1280, 720) << QRect(437, 0, 405, 720)
                              << QSize(606, 1080);
}

void TestPptContainer::fitsTheSlides()
{
    const auto [pptSize, container, slides, picture] =
        DataTable::fetch<QString, QSize, QRect, QSize>("pptSize", "container", "slides", "picture");
    PptContainer c;
    c.resize(container);
    c.show();
    c.handleMsg(sizeMessage(pptSize));
    QTRY_COMPARE(c.board()->boardRect(), slides);
    QCOMPARE(c.board()->pictureSize(), picture);
    // The container keeps the fit when it is resized back and forth.
    c.resize(container / 2);
    c.resize(container);
    QTRY_COMPARE(c.board()->boardRect(), slides);
}

void TestPptContainer::ignoresMalformedMessages_data()
{
    QTest::addColumn<QString>("message");
    QTest::newRow("size with one part") << sizeMessage("1024");
    QTest::newRow("height 0") << sizeMessage("1024_0");
    QTest::newRow("width 0") << sizeMessage("0_768");
    QTest::newRow("size not numbers") << sizeMessage("wide_tall");
    QTest::newRow("negative size") << sizeMessage("-1024_-768");
    QTest::newRow("huge size") << sizeMessage("99999999_1");
    QTest::newRow("a second size") << sizeMessage("800_600");
    QTest::newRow("not json") << "ppt_pages 5";
    QTest::newRow("json array") << "[\"ppt_pages\", 5]";
    QTest::newRow("json number") << "5";
    QTest::newRow("cut off") << "{\"cmd_type\":\"ppt_pages\",\"value\":5";
    QTest::newRow("pages again") << "{\"cmd_type\":\"ppt_pages\",\"value\":9}";
    QTest::newRow("pages as a path") << "{\"cmd_type\":\"ppt_pages\",\"value\":\"/etc/passwd\"}";
    QTest::newRow("unknown type") << "{\"cmd_type\":\"run\",\"value\":\"rm -rf /\"}";
}

void TestPptContainer::ignoresMalformedMessages()
{
    QFETCH(QString, message);
    PptContainer c;
    c.resize(1280, 720);
    c.show();
    c.handleMsg(sizeMessage("1024_768"));
    c.handleMsg("{\"cmd_type\":\"ppt_pages\",\"value\":3}");
    c.handleMsg(message);
    QTest::qWait(50);
    QCOMPARE(c.pptSize(), QSize(1024, 768));
    QCOMPARE(c.board()->boardRect(), QRect(160, 0, 960, 720));
    QCOMPARE(c.pageCount(), 3);
    QCOMPARE(c.board()->pageCount(), 3);
    QCOMPARE(c.curPage(), 1);
}

// What an agent sends for its pictures, good and bad. A picture the container did not ask for
// (or whose bytes do not match its line) ends the opening with a message; nothing else of it
// is taken.
void TestPptContainer::picturesFromTheAgent_data()
{
    // sends: after "ppt_size" 960x540 points and "ppt_pages" 3 (the container then asks for
    // page 1 at 1920x1080); inPlace: the first slide is shown; colour: of page 1's picture
    DataTable::columns<QByteArray, bool, QColor>("sends", "inPlace", "colour");
    const qint64 full = 1920LL * 1080 * 4;
    QByteArray blue;
    for (int i = 0; i < 1920 * 1080; ++i)
        blue.append("\xbf\x4f\x1f\xff", 4);  // 0xff1f4fbf in the machine's byte order
    QTest::newRow("the page asked for") << pictureLine("page_picture", 1, 1920, 1080, full) + blue
                                        << true << QColor(0x1f, 0x4f, 0xbf);
    QTest::newRow("a page that could not be rendered")
        << pictureLine("page_failed", 1, 1920, 1080, 0) << true << QColor(0x30, 0x30, 0x33);
    QTest::newRow("a page not asked for")
        << pictureLine("page_picture", 3, 1920, 1080, full) + blue << false << QColor();
    QTest::newRow("another size") << pictureLine("page_picture", 1, 64, 36, 64 * 36 * 4) << false
                                  << QColor();
    QTest::newRow("bytes not of the size")
        << pictureLine("page_picture", 1, 1920, 1080, 1 << 30) << false << QColor();
    QTest::newRow("a huge picture")
        << pictureLine("page_picture", 1, 100000, 100000, 40000000000LL) << false << QColor();
}

void TestPptContainer::picturesFromTheAgent()
{
    const auto [sends, inPlace, colour] =
        DataTable::fetch<QByteArray, bool, QColor>("sends", "inPlace", "colour");
    QFile script(m_dir.filePath("sends"));
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write(sizeMessage("960_540").toUtf8() + "\n{\"cmd_type\":\"ppt_pages\",\"value\":3}\n" +
                 sends);
    script.close();
    qputenv("LUMORA_TEST_AGENT_SENDS", script.fileName().toUtf8());
    const QString usualAgent = PptContainer::agentProgram();
    PptContainer::setAgentProgram(writeScriptedAgent(m_dir.path()));

    SlideShow::MessageBoxAnswerer answerer;
    PptContainer c;
    c.resize(800, 450);
    c.show();
    QSignalSpy failed(&c, &PptContainer::sig_PageFailed);
    c.openPptFile(m_dir.filePath("any.pptx"));
    QPointer<QProcess> agent = c.agentProcess();
    QVERIFY(QTest::qWaitFor([&] { return c.slidesInPlace() || !answerer.shown.isEmpty(); }, 20000));
    PptContainer::setAgentProgram(usualAgent);
    qunsetenv("LUMORA_TEST_AGENT_SENDS");
    QCOMPARE(c.slidesInPlace(), inPlace);
    if (!inPlace) {
        QCOMPARE(answerer.shown,
                 QStringList{"警告/打开ppt文件失败！\n幻灯片放映程序发来的内容有误"});
        QVERIFY(c.board()->pagePicture(1).isNull());
        QTRY_VERIFY_WITH_TIMEOUT(!agent || agent->state() == QProcess::NotRunning, 10000);
        return;
    }
    QCOMPARE(answerer.shown, QStringList());
    QCOMPARE(failed.size(), colour == QColor(0x30, 0x30, 0x33) ? 1 : 0);
    const QImage page = c.board()->pagePicture(1);
    QCOMPARE(page.size(), QSize(1920, 1080));
    QCOMPARE(page.pixelColor(10, 10), colour);
    // Shown on the board.
    const QRect board = c.board()->boardRect();
    const QPoint probe = c.board()->mapToGlobal(board.topLeft() + QPoint(8, 8));
    QTRY_VERIFY(ScreenPixels::near(ScreenPixels::desktop().pixelColor(probe), colour, 12));
}

// The real agent: the slides on the board, the pages around the one shown asked for ahead, the
// agent started again when it ends during the lesson, and ended with the container.
void TestPptContainer::slidesFromTheRealAgent()
{
    QVERIFY(SlideShow::ensureDesktop());
    QString error;
    QVERIFY2(SlideShow::prepareContainer(m_dir.path(), &error), qPrintable(error));
    QVERIFY2(SlideShow::makeDeck(m_dir.path(), 8, "eight", &error), qPrintable(error));

    auto *c = new PptContainer;
    c->resize(800, 450);
    c->show();
    c->openPptFile(m_dir.filePath("eight.pptx"));
    QPointer<QProcess> agent = c->agentProcess();
    QVERIFY(agent);
    QTRY_VERIFY_WITH_TIMEOUT(c->slidesInPlace(), 120000);
    QCOMPARE(c->pageCount(), 8);
    QCOMPARE(agent->state(), QProcess::Running);
    const QPoint probe = c->mapToGlobal(QPoint(c->width() / 10, c->height() / 2));
    QTRY_VERIFY(ScreenPixels::near(ScreenPixels::desktop().pixelColor(probe),
                                   SlideShow::slideColour(1), 12));
    // The next pages come without being turned to; the ones further on do not.
    QTRY_VERIFY_WITH_TIMEOUT(c->hasPage(2) && c->hasPage(3), 10000);
    QVERIFY(!c->hasPage(6));
    const QImage third = c->board()->pagePicture(3);
    QVERIFY(SlideShow::near(third.pixelColor(third.width() / 10, third.height() / 2),
                            SlideShow::slideColour(3), 12));

    // The agent ends in the middle of the lesson: a new one renders the pages still to come.
    QSignalSpy ended(c, &PptContainer::sig_AgentEnded);
    agent->kill();
    QVERIFY(ended.wait(10000));
    QCOMPARE(ended.first().first().toBool(), true);
    c->keepPagesAround(6);
    QTRY_VERIFY_WITH_TIMEOUT(c->hasPage(6), 20000);
    const QImage sixth = c->board()->pagePicture(6);
    QVERIFY(SlideShow::near(sixth.pixelColor(sixth.width() / 10, sixth.height() / 2),
                            SlideShow::slideColour(6), 12));
    QVERIFY(!c->hasPage(2));  // let go: more than two pages away and not shown
    agent = c->agentProcess();
    QVERIFY(agent);
    delete c;
    // Told to close, it ends at once (its process object goes with it).
    QTRY_VERIFY_WITH_TIMEOUT(!agent || agent->state() == QProcess::NotRunning, 5000);
}

// Whatever stops the slide show, the teacher is told at once and why, instead of after 20
// seconds of waiting for slides that will not come.
void TestPptContainer::failedAgentIsReported_data()
{
    // soffice: what LUMORA_SOFFICE names for the agent ("" the installed LibreOffice);
    // withinMs: how soon after the open the message must come
    DataTable::columns<QString, QString, QString, int>("agent", "soffice", "reason", "withinMs");
    QTest::newRow("slide-show program missing")
        << "/nonexistent/lumora_slide_agent"
        << ""
        << "找不到幻灯片放映程序 lumora_slide_agent，请重新安装 Lumora录课" << 1000;
    QTest::newRow("LibreOffice not installed")
        << ""
        << "/nonexistent/soffice"
        << "未安装 LibreOffice，请先安装软件包 libreoffice-impress" << 8000;
    QTest::newRow("conversion too long") << ""
                                         << "hanging"
                                         << "转换演示文稿的时间过长" << 10000;
    QTest::newRow("damaged file") << ""
                                  << ""
                                  << "文件无法打开：可能已损坏、设有密码或不是演示文稿" << 60000;
}

void TestPptContainer::failedAgentIsReported()
{
    auto [agentProgram, soffice, reason, withinMs] =
        DataTable::fetch<QString, QString, QString, int>("agent", "soffice", "reason", "withinMs");
    const QString usualAgent = PptContainer::agentProgram();
    if (!agentProgram.isEmpty())
        PptContainer::setAgentProgram(agentProgram);
    if (soffice == "hanging") {
        soffice = m_dir.filePath("hanging-soffice");
        QFile script(soffice);
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\nexec sleep 60\n");
        script.close();
        script.setPermissions(script.permissions() | QFile::ExeOwner);
        qputenv("LUMORA_CONVERT_TIMEOUT_MS", "1500");
    }
    if (!soffice.isEmpty())
        qputenv("LUMORA_SOFFICE", soffice.toUtf8());

    PptContainer c;
    c.resize(800, 450);
    c.show();
    SlideShow::MessageBoxAnswerer answerer;
    QElapsedTimer clock;
    clock.start();
    c.openPptFile(m_dir.filePath("broken.pptx"));
    QPointer<QProcess> agent = c.agentProcess();
    QTRY_VERIFY_WITH_TIMEOUT(!answerer.shown.isEmpty(), 60000);
    const qint64 tookMs = clock.elapsed();
    qunsetenv("LUMORA_SOFFICE");
    qunsetenv("LUMORA_CONVERT_TIMEOUT_MS");
    PptContainer::setAgentProgram(usualAgent);
    QCOMPARE(answerer.shown, QStringList{"警告/打开ppt文件失败！\n" + reason});
    QVERIFY2(tookMs <= withinMs, qPrintable(QString::number(tookMs)));
    QTRY_VERIFY(!agent || agent->state() == QProcess::NotRunning);
    QVERIFY(!c.slidesInPlace());
}

void TestPptContainer::silentAgentIsEnded()
{
    // An agent that hangs: it never connects.
    const QString hanging = m_dir.filePath("hanging-agent");
    QFile script(hanging);
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write("#!/bin/sh\nexec sleep 120\n");
    script.close();
    script.setPermissions(script.permissions() | QFile::ExeOwner);
    const QString agentProgram = PptContainer::agentProgram();
    PptContainer::setAgentProgram(hanging);

    PptContainer c;
    c.resize(800, 450);
    c.show();
    SlideShow::MessageBoxAnswerer answerer;
    QElapsedTimer clock;
    clock.start();
    c.openPptFile(m_dir.filePath("single.odp"));
    QPointer<QProcess> agent = c.agentProcess();
    QVERIFY(agent);
    QTRY_COMPARE_WITH_TIMEOUT(answerer.shown,
                              QStringList{"警告/打开ppt文件失败！\n幻灯片放映程序没有响应"}, 60000);
    // About 20 seconds of waiting, then the agent is ended too.
    QVERIFY(clock.elapsed() >= 19000);
    QTRY_VERIFY_WITH_TIMEOUT(!agent || agent->state() == QProcess::NotRunning, 10000);
    PptContainer::setAgentProgram(agentProgram);
}

QTEST_MAIN(TestPptContainer)
#include "tst_pptcontainer.moc"
