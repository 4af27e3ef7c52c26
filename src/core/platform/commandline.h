#pragma once
// The program's command line: an optional packed project file, --help, --version,
// --crash-report FILE, and commands that run without a display (added with
// addConsoleCommand). The help and the errors are Chinese throughout, and the help says what
// each exit status means (the manual page is made from it). Main thread only.
//
// main() parses first, before any application object exists; a console command (and
// --help, --version, a bad command line) then runs under a QCoreApplication, everything else
// under a QApplication.
#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QList>
#include <QStringList>

#include <functional>

class CommandLine
{
public:
    // Runs a console command; returns the process exit code.
    using ConsoleRun = std::function<int(const CommandLine &)>;

    CommandLine();

    // Registers an option that, when given, runs `run` instead of opening a window.
    // `moreArguments` names the positional arguments it takes after its value, for the help
    // ("<输出.mp4>").
    void addConsoleCommand(const QCommandLineOption &option, ConsoleRun run,
                           const QString &moreArguments = QString());

    // Registers an option that changes what a console command does (the help lists it after
    // the commands).
    void addCommandOption(const QCommandLineOption &option);

    // Parses the whole argument list (program name first). False when it is not valid;
    // runConsoleCommand() then reports the error.
    bool parse(const QStringList &arguments);

    // True when the command line asks for something that needs no display.
    bool isConsoleCommand() const;
    // Prints help, version or the parse error, or runs the console command that was given.
    int runConsoleCommand() const;

    // The first positional argument (the packed project file), empty when none.
    QString projectFile() const;
    // The report named by --crash-report, empty when the option is absent.
    QString crashReportFile() const;
    bool isSet(const QString &name) const { return m_parser.isSet(name); }
    QString value(const QString &name) const { return m_parser.value(name); }
    QStringList positionalArguments() const { return m_parser.positionalArguments(); }

    QString helpText() const;
    // The reason the command line was refused, one line.
    QString errorText() const;
    static QString versionText();

private:
    QCommandLineParser m_parser;
    QCommandLineOption m_helpOption;
    QCommandLineOption m_versionOption;
    QCommandLineOption m_crashReportOption;
    struct ConsoleCommand
    {
        QCommandLineOption option;
        ConsoleRun run;
        QString moreArguments;
    };
    QList<ConsoleCommand> m_consoleCommands;
    QList<QCommandLineOption> m_commandOptions;
    QStringList m_arguments;
    bool m_parsed = false;
};
