#include "core/platform/commandline.h"

#include <QCoreApplication>

#include <cstdio>

namespace {

void print(FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

}  // namespace

CommandLine::CommandLine()
    : m_helpOption(QStringList{QStringLiteral("h"), QStringLiteral("help")},
                   QCoreApplication::translate("CommandLine", "显示帮助。"))
    , m_versionOption(QStringList{QStringLiteral("v"), QStringLiteral("version")},
                      QCoreApplication::translate("CommandLine", "显示版本。"))
    , m_crashReportOption(QStringLiteral("crash-report"),
                          QCoreApplication::translate("CommandLine", "告知上次运行出错，FILE 为错误报告。"),
                          QStringLiteral("FILE"))
{
    m_parser.setApplicationDescription(QCoreApplication::translate("CommandLine", "Lumora录课：录制与编辑课程。"));
    m_parser.addOption(m_helpOption);
    m_parser.addOption(m_versionOption);
    m_parser.addOption(m_crashReportOption);
    m_parser.addPositionalArgument(QStringLiteral("file"),
                                   QCoreApplication::translate("CommandLine", "要打开的课件 (*.lsn)。"),
                                   QStringLiteral("[FILE.lsn]"));
}

void CommandLine::addConsoleCommand(const QCommandLineOption &option, ConsoleRun run)
{
    m_parser.addOption(option);
    m_consoleCommands.append({option, std::move(run)});
}

bool CommandLine::parse(const QStringList &arguments)
{
    m_parsed = m_parser.parse(arguments);
    return m_parsed;
}

bool CommandLine::isConsoleCommand() const
{
    if (!m_parsed || m_parser.isSet(m_helpOption) || m_parser.isSet(m_versionOption))
        return true;
    for (const auto &command : m_consoleCommands) {
        if (m_parser.isSet(command.first))
            return true;
    }
    return false;
}

int CommandLine::runConsoleCommand() const
{
    if (!m_parsed) {
        print(stderr, m_parser.errorText() + QLatin1Char('\n'));
        return 2;
    }
    if (m_parser.isSet(m_helpOption)) {
        print(stdout, m_parser.helpText());
        return 0;
    }
    if (m_parser.isSet(m_versionOption)) {
        print(stdout, versionText() + QLatin1Char('\n'));
        return 0;
    }
    for (const auto &command : m_consoleCommands) {
        if (m_parser.isSet(command.first))
            return command.second(*this);
    }
    return 1;
}

QString CommandLine::projectFile() const
{
    const QStringList files = m_parser.positionalArguments();
    return files.isEmpty() ? QString() : files.first();
}

QString CommandLine::crashReportFile() const
{
    return m_parser.value(m_crashReportOption);
}

QString CommandLine::versionText()
{
    return QStringLiteral("lumora_record %1").arg(QStringLiteral(LUMORA_VERSION));
}
