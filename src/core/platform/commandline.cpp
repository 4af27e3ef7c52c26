#include "core/platform/commandline.h"

#include <QCoreApplication>
#include <QRegularExpression>

#include <cstdio>

namespace {

// The texts of this file, in the translation context "CommandLine".
struct CommandLineText
{
    Q_DECLARE_TR_FUNCTIONS(CommandLine)
};

void print(FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

// Columns a terminal gives the text: wide (CJK, full-width) characters take two.
int displayWidth(const QString &text)
{
    int width = 0;
    for (const QChar c : text) {
        const ushort u = c.unicode();
        const bool wide = (u >= 0x1100 && u <= 0x115F) || (u >= 0x2E80 && u <= 0xA4CF) ||
                          (u >= 0xAC00 && u <= 0xD7A3) || (u >= 0xF900 && u <= 0xFAFF) ||
                          (u >= 0xFE30 && u <= 0xFE4F) || (u >= 0xFF00 && u <= 0xFF60) ||
                          (u >= 0xFFE0 && u <= 0xFFE6);
        width += wide ? 2 : 1;
    }
    return width;
}

// One help row: the syntax in the left column, the description (lines separated by '\n')
// beside it; a syntax too wide for the column puts the description on the next line.
QString helpRow(const QString &syntax, const QString &description)
{
    constexpr int kIndent = 2;
    constexpr int kColumn = 32;
    const QString pad(kColumn, QLatin1Char(' '));
    QString row = QString(kIndent, QLatin1Char(' ')) + syntax;
    const int used = kIndent + displayWidth(syntax);
    const QStringList lines = description.split(QLatin1Char('\n'));
    if (used + 2 <= kColumn)
        row += QString(kColumn - used, QLatin1Char(' '));
    else
        row += QLatin1Char('\n') + pad;
    row += lines.join(QLatin1Char('\n') + pad);
    return row + QLatin1Char('\n');
}

QString optionSyntax(const QCommandLineOption &option, const QString &moreArguments)
{
    QStringList names;
    for (const QString &name : option.names())
        names.append((name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name);
    QString syntax = names.join(QStringLiteral(", "));
    if (!option.valueName().isEmpty())
        syntax += QStringLiteral(" <%1>").arg(option.valueName());
    if (!moreArguments.isEmpty())
        syntax += QLatin1Char(' ') + moreArguments;
    return syntax;
}

}  // namespace

CommandLine::CommandLine()
    : m_helpOption(QStringList{QStringLiteral("h"), QStringLiteral("help")},
                   CommandLineText::tr("显示本帮助并退出。")),
      m_versionOption(QStringList{QStringLiteral("v"), QStringLiteral("version")},
                      CommandLineText::tr("显示版本并退出。")),
      m_crashReportOption(
          QStringLiteral("crash-report"),
          CommandLineText::tr(
              "由出错的程序启动：告知用户程序出错了，\n<报告文件> 为它写下的错误报告。"),
          CommandLineText::tr("报告文件"))
{
    m_parser.setApplicationDescription(CommandLineText::tr("Lumora录课：录制与编辑课程。"));
    m_parser.addOption(m_helpOption);
    m_parser.addOption(m_versionOption);
    m_parser.addOption(m_crashReportOption);
    m_parser.addPositionalArgument(QStringLiteral("file"),
                                   CommandLineText::tr("要打开的课件 (*.lsn)。"),
                                   CommandLineText::tr("[课件.lsn]"));
}

void CommandLine::addConsoleCommand(const QCommandLineOption &option, ConsoleRun run,
                                    const QString &moreArguments)
{
    m_parser.addOption(option);
    m_consoleCommands.append({option, std::move(run), moreArguments});
}

void CommandLine::addCommandOption(const QCommandLineOption &option)
{
    m_parser.addOption(option);
    m_commandOptions.append(option);
}

bool CommandLine::parse(const QStringList &arguments)
{
    m_arguments = arguments;
    m_parsed = m_parser.parse(arguments);
    return m_parsed;
}

bool CommandLine::isConsoleCommand() const
{
    if (!m_parsed || m_parser.isSet(m_helpOption) || m_parser.isSet(m_versionOption))
        return true;
    for (const auto &command : m_consoleCommands) {
        if (m_parser.isSet(command.option))
            return true;
    }
    return false;
}

int CommandLine::runConsoleCommand() const
{
    if (!m_parsed) {
        print(stderr, errorText() + QLatin1Char('\n'));
        return 2;
    }
    if (m_parser.isSet(m_helpOption)) {
        print(stdout, helpText());
        return 0;
    }
    if (m_parser.isSet(m_versionOption)) {
        print(stdout, versionText() + QLatin1Char('\n'));
        return 0;
    }
    for (const auto &command : m_consoleCommands) {
        if (m_parser.isSet(command.option))
            return command.run(*this);
    }
    return 1;
}

QString CommandLine::helpText() const
{
    QString text =
        CommandLineText::tr("用法：%1 [选项] [课件.lsn]\n").arg(QStringLiteral("lumora_record"));
    text += m_parser.applicationDescription() + QLatin1Char('\n');
    text += CommandLineText::tr("不带选项时打开程序窗口；给出课件时在编辑器中打开它。\n"
                                "同一时间只运行一个程序窗口。\n");
    text += QLatin1Char('\n') + CommandLineText::tr("选项：") + QLatin1Char('\n');
    text += helpRow(optionSyntax(m_helpOption, {}), m_helpOption.description());
    text += helpRow(optionSyntax(m_versionOption, {}), m_versionOption.description());
    for (const auto &command : m_consoleCommands)
        text += helpRow(optionSyntax(command.option, command.moreArguments),
                        command.option.description());
    for (const QCommandLineOption &option : m_commandOptions)
        text += helpRow(optionSyntax(option, {}), option.description());
    text += helpRow(optionSyntax(m_crashReportOption, {}), m_crashReportOption.description());
    text += QLatin1Char('\n') + CommandLineText::tr("参数：") + QLatin1Char('\n');
    text += helpRow(CommandLineText::tr("课件.lsn"), CommandLineText::tr("要打开的课件文件。"));
    text += QLatin1Char('\n') + CommandLineText::tr("退出状态：") + QLatin1Char('\n');
    text += helpRow(QStringLiteral("0"),
                    CommandLineText::tr("成功；窗口正常关闭；另一个程序已在运行时，提示后退出。"));
    text += helpRow(QStringLiteral("2"),
                    CommandLineText::tr("命令行有误，或课件无法打开、读取或导出；\n"
                                        "标准错误上有一行说明。"));
    text += helpRow(QStringLiteral("130"),
                    CommandLineText::tr("导出被 Ctrl-C 或 SIGTERM 取消，输出文件已删除。"));
    text += helpRow(CommandLineText::tr("128+信号"),
                    CommandLineText::tr("程序出错崩溃：先写下错误报告 testcrash.log，\n"
                                        "再因同一信号结束。"));
    text += QLatin1Char('\n') + CommandLineText::tr("文件：") + QLatin1Char('\n');
    text += helpRow(QStringLiteral("conf.ini"),
                    CommandLineText::tr("设置。安装后的程序放在 ~/.config/lumora/\n"
                                        "（或 $XDG_CONFIG_HOME/lumora/）。"));
    text += helpRow(CommandLineText::tr("data/、testcrash.log、dump/"),
                    CommandLineText::tr("课件的工作文件夹和错误报告。安装后的程序放在\n"
                                        "~/.local/share/lumora/（或 $XDG_DATA_HOME/lumora/）。"));
    text += helpRow(QStringLiteral("cache/"),
                    CommandLineText::tr("课件封面等缓存。安装后的程序放在 ~/.cache/lumora/\n"
                                        "（或 $XDG_CACHE_HOME/lumora/）。"));
    text += CommandLineText::tr(
        "从可写的程序文件夹（构建目录或便携副本）运行时，这些都在程序文件夹中。\n");
    return text;
}

QString CommandLine::errorText() const
{
    const QStringList unknown = m_parser.unknownOptionNames();
    QString reason;
    if (!unknown.isEmpty()) {
        reason = CommandLineText::tr("未知选项：%1").arg(unknown.join(QStringLiteral("、")));
    } else {
        // QCommandLineParser words its errors in the language of Qt's own translation: the
        // option at fault is found in the arguments instead. An option that takes a value
        // and is last has none; "--option=value" gives one to an option that takes none.
        QList<QCommandLineOption> options{m_helpOption, m_versionOption, m_crashReportOption};
        for (const ConsoleCommand &command : m_consoleCommands)
            options.append(command.option);
        options += m_commandOptions;
        for (const QCommandLineOption &option : options) {
            for (const QString &name : option.names()) {
                const QString dashed =
                    (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
                if (!option.valueName().isEmpty() && m_arguments.size() > 1 &&
                    m_arguments.last() == dashed)
                    reason = CommandLineText::tr("选项 %1 缺少参数").arg(dashed);
                else if (option.valueName().isEmpty() &&
                         m_arguments.mid(1)
                                 .filter(QRegularExpression(QStringLiteral("^%1=").arg(
                                     QRegularExpression::escape(dashed))))
                                 .size() > 0)
                    reason = CommandLineText::tr("选项 %1 不带参数").arg(dashed);
            }
        }
        if (reason.isEmpty())
            reason = CommandLineText::tr("命令行有误");
    }
    return CommandLineText::tr("%1。运行 lumora_record --help 查看用法。").arg(reason);
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
