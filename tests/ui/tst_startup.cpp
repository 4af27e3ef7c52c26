// Start of the program: the command line, a second copy, the crash report viewer, the style.
#include "core/platform/language.h"
#include "support/datatable.h"
#include "support/x11windows.h"
#include "ui/app/startup.h"

#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QString windowTitles(qint64 pid)
{
    QStringList titles;
    for (const X11Windows::Window &w : X11Windows::ofProcess(pid))
        titles.append(w.title);
    return titles.join(QLatin1Char('|'));
}

// Closes every window the process shows and waits for it to end. Asked again while it runs:
// a window under a message box does not close until the box has gone.
bool closeAndWait(QProcess &process)
{
    for (int attempt = 0; attempt < 20; ++attempt) {
        for (const X11Windows::Window &w : X11Windows::ofProcess(process.processId()))
            X11Windows::requestClose(w.id);
        if (process.waitForFinished(1000))
            return true;
    }
    return false;
}

}  // namespace

class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void consoleCommands_data()
    {
        // output: expected standard output, a pattern
        // error: expected standard error, a pattern
        DataTable::columns<QStringList, int, QString, QString>("arguments", "exitCode", "output",
                                                               "error");

        QTest::newRow("version") << QStringList{"--version"} << 0
                                 << u"^lumora_record 0\\.2\\.5\\.0\\n$"_s << u"^$"_s;
        QTest::newRow("short version")
            << QStringList{"-v"} << 0 << u"^lumora_record 0\\.2\\.5\\.0\\n$"_s << u"^$"_s;
        // Every option and every exit status is explained, in Chinese.
        QTest::newRow("help") << QStringList{"--help"} << 0
                              << u"^用法：lumora_record \\[选项\\] \\[课件\\.lsn\\]\\n[\\s\\S]*"
                                 u"\\n  --info <课件\\.lsn> +以[\\s\\S]*"
                                 u"\\n  --export <课件\\.lsn> <输出\\.mp4>\\n +把课件[\\s\\S]*"
                                 u"\\n  --loudness <LUFS> +导出时[\\s\\S]*"
                                 u"\\n  --no-loudness +导出时[\\s\\S]*"
                                 u"\\n  --crash-report <报告文件> +由[\\s\\S]*退出状态：\\n"
                                 u"  0 +成功[\\s\\S]*\\n  2 +命令行有误[\\s\\S]*\\n  130 +导出被"_s
                              << u"^$"_s;
        QTest::newRow("unknown option")
            << QStringList{"--no-such-option"} << 2 << u"^$"_s
            << u"^未知选项：no-such-option。运行 lumora_record --help 查看用法。\\n$"_s;
        QTest::newRow("report option without its file")
            << QStringList{"--crash-report"} << 2 << u"^$"_s
            << u"^选项 --crash-report 缺少参数。"_s;
        // On a desktop in English, the same in English.
        QTest::newRow("help in English")
            << QStringList{"--help", "LANGUAGE=en_GB"} << 0
            << u"^Usage: lumora_record \\[options\\] \\[lecture\\.lsn\\]\\n[\\s\\S]*"
               u"\\n  --export <lecture\\.lsn> <output\\.mp4>\\n +Exports[\\s\\S]*Exit status:\\n"_s
            << u"^$"_s;
        QTest::newRow("unknown option in English")
            << QStringList{"--no-such-option", "LANGUAGE=en_GB"} << 2 << u"^$"_s
            << u"^Unknown option: no-such-option\\. Run lumora_record --help for the usage\\.\\n$"_s;
    }

    // These run without any display.
    void consoleCommands()
    {
        auto [arguments, exitCode, output, error] =
            DataTable::fetch<QStringList, int, QString, QString>("arguments", "exitCode", "output",
                                                                 "error");
        // A last "LANGUAGE=..." is the desktop's language, not an argument.
        QString desktopLanguage;
        if (arguments.last().startsWith(u"LANGUAGE="_s))
            desktopLanguage = arguments.takeLast().mid(9);

        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        if (!desktopLanguage.isEmpty())
            env.insert(u"LANGUAGE"_s, desktopLanguage);
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(LUMORA_RECORD_BIN), arguments);
        QVERIFY(process.waitForFinished(30000));
        const QString out = QString::fromLocal8Bit(process.readAllStandardOutput());
        const QString err = QString::fromLocal8Bit(process.readAllStandardError());
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QVERIFY2(process.exitCode() == exitCode, qPrintable(err));
        QVERIFY2(QRegularExpression(output).match(out).hasMatch(), qPrintable(out));
        QVERIFY2(QRegularExpression(error).match(err).hasMatch(), qPrintable(err));
        // One language: no English words besides the program's own names.
        const QRegularExpression english(
            QStringLiteral("\\b(?!lumora|lsn|mp4|help|version|info|export|crash|report|loudness|"
                           "LUFS|EBU|"
                           "JSON|MP4|Ctrl|SIGTERM|testcrash|log|conf|ini|data|cache|"
                           "dump|config|local|share|XDG_\\w+)[A-Za-z]{3,}\\b"),
            QRegularExpression::CaseInsensitiveOption);
        QString said = out + err;
        if (!desktopLanguage.isEmpty()) {
            const QRegularExpression han(u"\\p{Han}"_s);
            QVERIFY2(!han.match(said).hasMatch(), qPrintable(said));
            return;
        }
        for (const QString &argument : arguments)
            said.remove(argument.mid(2));
        QVERIFY2(!english.match(said).hasMatch(), qPrintable(english.match(said).captured()));
    }

    void secondCopyIsRefused()
    {
        QProcess first;
        first.start(QStringLiteral(LUMORA_RECORD_BIN), {});
        QVERIFY(first.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(windowTitles(first.processId()) == QStringLiteral("Lumora录课"),
                                 30000);

        QProcess second;
        second.start(QStringLiteral(LUMORA_RECORD_BIN), {});
        QVERIFY(second.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(windowTitles(second.processId()) == QStringLiteral("警告"), 30000);
        QVERIFY(closeAndWait(second));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QVERIFY(QString::fromUtf8(second.readAllStandardError())
                    .contains(QStringLiteral("程序正在运行中,请勿重复打开")));

        // The first copy goes on, and ends normally when its window is closed.
        QCOMPARE(first.state(), QProcess::Running);
        QVERIFY(closeAndWait(first));
        QCOMPARE(first.exitStatus(), QProcess::NormalExit);
        QCOMPARE(first.exitCode(), 0);
        QVERIFY(!QString::fromUtf8(first.readAllStandardError())
                     .contains(QStringLiteral("请勿重复打开")));
    }

    // A project file on the command line opens the editor's frame window; one that is not
    // there is reported over it.
    void projectFileArgument()
    {
        QProcess process;
        process.start(QStringLiteral(LUMORA_RECORD_BIN),
                      {QStringLiteral("/tmp/no-such-lesson.lsn")});
        QVERIFY(process.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(
            windowTitles(process.processId()).split('|').contains(QStringLiteral("警告")), 30000);
        QVERIFY(
            windowTitles(process.processId()).split('|').contains(QStringLiteral("Lumora录课")));
        QVERIFY(closeAndWait(process));
        QCOMPARE(process.exitCode(), 0);
    }

    // The interface follows the desktop's language unless the teacher chose one.
    void languageRule_data()
    {
        DataTable::columns<int, QStringList, bool>("choice", "uiLanguages", "english");
        const int system = int(language::Choice::System);
        QTest::newRow("Chinese desktop") << system << QStringList{"zh-CN", "en"} << false;
        QTest::newRow("Taiwanese desktop") << system << QStringList{"zh-Hant-TW"} << false;
        QTest::newRow("English desktop") << system << QStringList{"en-US"} << true;
        QTest::newRow("German desktop, Chinese second")
            << system << QStringList{"de", "zh"} << true;
        QTest::newRow("no language at all") << system << QStringList{} << true;
        QTest::newRow("chose Chinese on an English desktop")
            << int(language::Choice::Chinese) << QStringList{"en-GB"} << false;
        QTest::newRow("chose English on a Chinese desktop")
            << int(language::Choice::English) << QStringList{"zh-CN"} << true;
    }

    void languageRule()
    {
        const auto [choice, uiLanguages, english] =
            DataTable::fetch<int, QStringList, bool>("choice", "uiLanguages", "english");
        QCOMPARE(language::englishFor(language::Choice(choice), uiLanguages), english);
    }

    // Qt's own buttons speak the program's language too (the test desktop is Chinese).
    void qtWordsAreChinese()
    {
        QVERIFY(!language::english());
        QVERIFY(language::install(*qApp));
        QMessageBox box;
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        QCOMPARE(box.button(QMessageBox::Ok)->text(), QStringLiteral("确定"));
        QCOMPARE(box.button(QMessageBox::Cancel)->text(), QStringLiteral("取消"));
    }

    // The copy started by a crashed one tells the user even while the crashed one is still
    // there (it is not refused as a second copy).
    void crashReportViewer()
    {
        QTemporaryDir dir;
        const QString report = dir.filePath(QStringLiteral("testcrash.log"));
        QProcess running;
        running.start(QStringLiteral(LUMORA_RECORD_BIN), {});
        QVERIFY(running.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(!windowTitles(running.processId()).isEmpty(), 30000);

        QProcess viewer;
        viewer.start(QStringLiteral(LUMORA_RECORD_BIN), {QStringLiteral("--crash-report"), report});
        QVERIFY(viewer.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(!windowTitles(viewer.processId()).isEmpty(), 30000);
        QVERIFY(windowTitles(viewer.processId()) != QStringLiteral("警告"));
        QVERIFY(closeAndWait(viewer));
        QCOMPARE(viewer.exitCode(), 0);
        QVERIFY(QString::fromUtf8(viewer.readAllStandardError()).contains(report));

        QVERIFY(closeAndWait(running));
    }

    void styleSheetRules_data()
    {
        DataTable::columns<QString, QString>("selector", "declarations");

        QTest::newRow("frame") << u"QWidget#base_window"_s << u"background:#28282a;"_s;
        QTest::newRow("tool buttons")
            << u"QToolButton"_s << u"color:#F3F3F3; background:transparent; font-size:12px;"_s;
        QTest::newRow("slider handle") << u"QSlider::handle:Horizontal"_s
                                       << u"height: 16px; width:16px; border-image: "
                                          u"url(:/images/slider_handle.png); margin: -8 0px;"_s;
        QTest::newRow("count-down") << u"QLabel#count_down_widget"_s
                                    << u"background-color: rgba(0, 0, 0, 30%); border-radius: 100; "
                                       u"color: #ffffff; font-size: 120px;"_s;
        QTest::newRow("export dialog") << u"QDialog#ExportDialog"_s
                                       << u"background: #1b1b1c; border: 1px solid #464648; "
                                          u"border-radius: 9px; color:#f3f3f3; font-size: 12px;"_s;
        QTest::newRow("prompt labels") << u"QWidget#SavePromptWindow QLabel"_s
                                       << u"background:transparent; font-size: 14px;"_s;
        QTest::newRow("progress chunk") << u"QWidget#ExportProgressDialog QProgressBar::chunk"_s
                                        << u"border-radius:8px; background:#f2733d;"_s;
        QTest::newRow("menu item hover")
            << u"QMenu QWidget#menu_item:hover"_s << u"background:#f2733d;"_s;
        QTest::newRow("around the slides")
            << u"QWidget#view_ppt_container"_s << u"background:#000000;"_s;
    }

    void styleSheetRules()
    {
        const auto [selector, declarations] =
            DataTable::fetch<QString, QString>("selector", "declarations");

        auto *app = qobject_cast<QApplication *>(QCoreApplication::instance());
        QVERIFY(applyApplicationStyleSheet(*app));
        QString sheet = app->styleSheet();
        sheet.remove(QRegularExpression(QStringLiteral("/\\*[\\s\\S]*?\\*/")));
        QMap<QString, QString> rules;
        int count = 0;
        const QRegularExpression rule(QStringLiteral("([^{}]+)\\{([^{}]*)\\}"));
        for (auto it = rule.globalMatch(sheet); it.hasNext();) {
            const QRegularExpressionMatch m = it.next();
            rules.insert(m.captured(1).trimmed(), m.captured(2).trimmed());
            ++count;
        }
        QCOMPARE(count, 79);
        QCOMPARE(rules.size(), 79);
        QCOMPARE(rules.value(selector), declarations);
        // Every picture the style sheet names exists.
        for (auto it =
                 QRegularExpression(QStringLiteral("url\\((:/images/[^)]+)\\)")).globalMatch(sheet);
             it.hasNext();)
            QVERIFY2(QFile::exists(it.next().captured(1)), "picture named by the style sheet");
    }

    void missingStyleSheet()
    {
        auto *app = qobject_cast<QApplication *>(QCoreApplication::instance());
        app->setStyleSheet(QStringLiteral("QLabel { color: red; }"));
        QVERIFY(!applyApplicationStyleSheet(*app, QStringLiteral(":/no-such.qss")));
        QCOMPARE(app->styleSheet(), QStringLiteral("QLabel { color: red; }"));
        app->setStyleSheet(QString());
    }
};

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
