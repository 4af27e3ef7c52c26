// Entry of lumora_record: parses the command line, runs a command that needs no display under
// a QCoreApplication, or starts the windowed program.
#include "core/export/exportcommand.h"
#include "core/platform/commandline.h"
#include "core/platform/crashhandler.h"
#include "core/storage/infocommand.h"
#include "ui/app/startup.h"

#include <QApplication>
#include <QDebug>
#include <QTextStream>

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
    commandLine.addConsoleCommand(
        QCommandLineOption("info", "Print the clips of a packed project as JSON.", "FILE.lsn"),
        [](const CommandLine &cl) {
            QTextStream out(stdout), err(stderr);
            return runInfoCommandLine(
                {QCoreApplication::arguments().value(0), "--info", cl.value("info")}, out, err);
        });
    commandLine.addConsoleCommand(
        QCommandLineOption("export", "Export a packed project as one MP4 file: --export FILE.lsn OUT.mp4.",
                           "FILE.lsn"),
        [](const CommandLine &cl) {
            return runExportCommandLine(QStringList{QCoreApplication::arguments().value(0), "--export",
                                                    cl.value("export")} +
                                        cl.positionalArguments());
        });
}

int runConsole(int argc, char *argv[], const CommandLine &commandLine)
{
    QCoreApplication app(argc, argv);
    return commandLine.runConsoleCommand();
}

int runWindowed(int argc, char *argv[], const CommandLine &commandLine)
{
    QApplication app(argc, argv);
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

    CommandLine commandLine;
    addConsoleCommands(commandLine);
    commandLine.parse(argumentList(argc, argv));
    if (commandLine.isConsoleCommand())
        return runConsole(argc, argv, commandLine);
    return runWindowed(argc, argv, commandLine);
}
