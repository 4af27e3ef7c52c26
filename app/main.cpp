// Entry of lumora_record: parses the command line, runs a command that needs no display under
// a QCoreApplication, or starts the windowed program.
#include "core/export/exportcommand.h"
#include "core/platform/commandline.h"
#include "core/platform/crashhandler.h"
#include "core/platform/language.h"
#include "core/platform/session.h"
#include "core/storage/infocommand.h"
#include "ui/app/startup.h"

#include <QApplication>
#include <QDebug>
#include <QTextStream>

#include <optional>

namespace {

QStringList argumentList(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    return arguments;
}

// Commands that run without a display are registered here.
void addConsoleCommands(CommandLine &commandLine)
{
    // An option that takes a packed project file.
    const auto projectOption = [](const char *name, const char *description) {
        return QCommandLineOption(name, QCoreApplication::translate("CommandLine", description),
                                  QCoreApplication::translate("CommandLine", "课件.lsn"));
    };
    commandLine.addConsoleCommand(
        projectOption("info",
                      QT_TRANSLATE_NOOP("CommandLine", "以一个 JSON 数组输出课件中的片段。\n"
                                                       "不需要显示器，不写任何文件。")),
        [](const CommandLine &cl) {
            QTextStream out(stdout), err(stderr);
            return runInfoCommandLine(
                {QCoreApplication::arguments().value(0), "--info", cl.value("info")}, out, err);
        });
    commandLine.addConsoleCommand(
        projectOption("export",
                      QT_TRANSLATE_NOOP("CommandLine", "把课件导出为一个 MP4 文件。不需要显示器；\n"
                                                       "在终端上显示进度，按 Ctrl-C 取消。")),
        [](const CommandLine &cl) {
            QStringList arguments = QStringList{QCoreApplication::arguments().value(0), "--export",
                                                cl.value("export")} +
                                    cl.positionalArguments();
            if (cl.isSet("loudness"))
                arguments += {"--loudness", cl.value("loudness")};
            if (cl.isSet("no-loudness"))
                arguments += "--no-loudness";
            return runExportCommandLine(arguments);
        },
        QCoreApplication::translate("CommandLine", "<输出.mp4>"));
    commandLine.addCommandOption(QCommandLineOption(
        "loudness",
        QCoreApplication::translate("CommandLine", "导出时把声音统一到这个响度（EBU R128，\n"
                                                   "默认 -16 LUFS）。"),
        "LUFS"));
    commandLine.addCommandOption(QCommandLineOption(
        "no-loudness", QCoreApplication::translate("CommandLine", "导出时保留声音原来的响度。")));
}

int runWindowed(int argc, char *argv[], const CommandLine &commandLine)
{
    // On a Wayland desktop the windows run through XWayland; only the picture is taken through
    // the desktop portal. The slide-show agent inherits the choice, so its window can be
    // embedded.
    const QString platform = session::preferX11Windows();
    QApplication app(argc, argv);
    if (!platform.isEmpty())
        qInfo() << "Wayland session: windows through" << platform;
    language::install(app);
    // The crashed copy may still be there while its report is shown.
    if (!commandLine.crashReportFile().isEmpty())
        return showCrashReport(commandLine.crashReportFile());
    if (refuseSecondInstance())
        return 0;
    applyApplicationStyleSheet(app);
    installCrashHandler();
    qDebug() << "release mode";
    openFirstWindow(commandLine.projectFile());
    qDebug() << "argc:" << argc;
    return app.exec();
}

}  // namespace

int main(int argc, char *argv[])
{
    QCoreApplication::setApplicationName(QString::fromLatin1(kProgramName));
    QCoreApplication::setApplicationVersion(QStringLiteral(LUMORA_VERSION));

    std::optional<CommandLine> commandLine;
    {
        // The command line's texts (the help, the errors) are made in the interface's
        // language, so its translation is installed first; a command that needs no display
        // runs under this application, the windows under one of their own.
        QCoreApplication app(argc, argv);
        language::install(app);
        commandLine.emplace();
        addConsoleCommands(*commandLine);
        commandLine->parse(argumentList(argc, argv));
        if (commandLine->isConsoleCommand())
            return commandLine->runConsoleCommand();
    }
    return runWindowed(argc, argv, *commandLine);
}
