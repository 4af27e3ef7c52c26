// The slide-show container: fitting the slides into it, what the agent's messages may and may
// not change, and that the agent it started never outlives it.
#include "support/datatable.h"
#include "support/screenpixels.h"
#include "support/slideshow.h"
#include "support/x11windows.h"
#include "ui/slides/pptcontainer.h"
#include "ui/slides/pptshowwidget.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>
#include <QtTest>

namespace {

QString sizeMessage(const QString &value)
{
    return QStringLiteral("{\"cmd_type\":\"ppt_size\",\"value\":\"%1\"}").arg(value);
}

}  // namespace

class TestPptContainer : public QObject
{
    Q_OBJECT
private slots:
    void fitsTheSlides_data();
    void fitsTheSlides();
    void ignoresMalformedMessages_data();
    void ignoresMalformedMessages();
    void embeddedSlideShow();
    void failedAgentIsReported_data();
    void failedAgentIsReported();
    void searchGivesUpAndEndsTheAgent();

private:
    QTemporaryDir m_dir;
};

void TestPptContainer::fitsTheSlides_data()
{
    DataTable::columns<QString, QSize, QRect>("pptSize", "container", "slides");
    QTest::newRow("4:3 into 16:9") << "1024_768" << QSize(1280, 720) << QRect(160, 0, 960, 720);
    QTest::newRow("16:9 into 16:10") << "1920_1080" << QSize(1280, 800) << QRect(0, 40, 1280, 720);
    QTest::newRow("same shape") << "794_447" << QSize(794, 447) << QRect(0, 0, 794, 447);
}

void TestPptContainer::fitsTheSlides()
{
    const auto [pptSize, container, slides] =
        DataTable::fetch<QString, QSize, QRect>("pptSize", "container", "slides");
    PptContainer c;
    c.resize(container);
    c.handleMsg(sizeMessage(pptSize));
    QCOMPARE(c.pptShowWidget()->geometry(), slides);
    // The container keeps the fit when it is resized back and forth.
    c.resize(container / 2);
    c.show();
    c.resize(container);
    QTRY_COMPARE(c.pptShowWidget()->geometry(), slides);
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
    QTest::newRow("not json") << "ppt_page 5";
    QTest::newRow("json array") << "[\"ppt_page\", 5]";
    QTest::newRow("json number") << "5";
    QTest::newRow("cut off") << "{\"cmd_type\":\"ppt_page\",\"value\":5";
    QTest::newRow("page 0") << "{\"cmd_type\":\"ppt_page\",\"value\":0}";
    QTest::newRow("negative page") << "{\"cmd_type\":\"ppt_page\",\"value\":-4}";
    QTest::newRow("page as a path") << "{\"cmd_type\":\"ppt_page\",\"value\":\"/etc/passwd\"}";
    QTest::newRow("same page again") << "{\"cmd_type\":\"ppt_page\",\"value\":2}";
    QTest::newRow("unknown type") << "{\"cmd_type\":\"run\",\"value\":\"rm -rf /\"}";
    QTest::newRow("window id negative") << "{\"cmd_type\":\"window_hwnd\",\"value\":-1}";
    QTest::newRow("window id text") << "{\"cmd_type\":\"window_hwnd\",\"value\":\"x\"}";
}

void TestPptContainer::ignoresMalformedMessages()
{
    QFETCH(QString, message);
    PptContainer c;
    c.resize(1280, 720);
    c.handleMsg(sizeMessage("1024_768"));
    QSignalSpy pages(&c, &PptContainer::sig_PageChanged);
    c.handleMsg("{\"cmd_type\":\"ppt_page\",\"value\":2}");
    c.handleMsg("{\"cmd_type\":\"window_hwnd\",\"value\":77}");
    QCOMPARE(pages.size(), 1);

    c.handleMsg(message);
    QCOMPARE(c.pptSize(), QSize(1024, 768));
    QCOMPARE(c.pptShowWidget()->geometry(), QRect(160, 0, 960, 720));
    QCOMPARE(c.curPage(), 2);
    QCOMPARE(c.agentWindow(), 77u);
    QCOMPARE(pages.size(), 1);
}

// The slide show embedded: it stays in place when the window manager takes it back late or
// the slide show sizes it anew, and the agent that shows it ends with the container.
void TestPptContainer::embeddedSlideShow()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(SlideShow::ensureDesktop());
    QString error;
    QVERIFY2(SlideShow::prepareContainer(m_dir.path(), &error), qPrintable(error));

    auto *c = new PptContainer;
    c->resize(800, 450);
    c->show();
    c->openPptFile(m_dir.filePath("single.odp"));
    QPointer<QProcess> agent = c->agentProcess();
    QVERIFY(agent);
    QTRY_VERIFY_WITH_TIMEOUT(c->isEmbedded(), 120000);
    QVERIFY(c->canvas());
    QCOMPARE(agent->state(), QProcess::Running);

    // The agent's window, as the container holds it.
    quint32 slides = 0;
    quint32 parent = 0;
    for (QWindow *w : QGuiApplication::allWindows()) {
        if (w->flags().testFlag(Qt::ForeignWindow) && w->parent()) {
            slides = quint32(w->winId());
            parent = quint32(w->parent()->winId());
        }
    }
    QVERIFY(slides != 0 && parent != 0);
    QTRY_VERIFY_WITH_TIMEOUT(X11Windows::isShownIn(slides, parent), 10000);
    // Beside the page number in the middle.
    const QPoint probe = c->mapToGlobal(QPoint(c->width() / 10, c->height() / 2));
    const auto slideShown = [&] {
        return ScreenPixels::near(ScreenPixels::desktop().pixelColor(probe),
                                  SlideShow::slideColour(1), 12);
    };
    QTRY_VERIFY_WITH_TIMEOUT(slideShown(), 10000);
    QVERIFY(X11Windows::takeToRoot(slides));
    // The window manager may still frame it once after it came back (it answers the map on
    // the root late), so it comes back for good only after that.
    const auto inPlace = [&] { return X11Windows::isShownIn(slides, parent) && slideShown(); };
    QVERIFY(QTest::qWaitFor(inPlace, 10000));
    QTest::qWait(1000);
    QVERIFY(inPlace());
    // The slide show sizes its window anew, smaller: it is put back at its size.
    QCOMPARE(QProcess::execute("xdotool",
                               {"windowsize", QString::number(slides),
                                QString::number(c->width() / 4), QString::number(c->height() / 4)}),
             0);
    QTest::qWait(1500);
    QVERIFY(inPlace());
    delete c;
    // Told to close, it ends at once (its process object goes with it).
    QTRY_VERIFY_WITH_TIMEOUT(!agent || agent->state() == QProcess::NotRunning, 5000);
}

// Whatever stops the slide show, the teacher is told at once and why, instead of after 20
// seconds of searching for a window that will not come.
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
    QVERIFY(!c.isEmbedded());
}

void TestPptContainer::searchGivesUpAndEndsTheAgent()
{
    // An agent that hangs: it never connects and never shows a window.
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
                              QStringList{"警告/打开ppt文件失败！\n幻灯片放映窗口没有出现"}, 60000);
    // About 20 seconds of searching (1000 ticks of 20 ms), then the agent is ended too.
    QVERIFY(clock.elapsed() >= 19000);
    QTRY_VERIFY_WITH_TIMEOUT(!agent || agent->state() == QProcess::NotRunning, 10000);
    PptContainer::setAgentProgram(agentProgram);
}

QTEST_MAIN(TestPptContainer)
#include "tst_pptcontainer.moc"
