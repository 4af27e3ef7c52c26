#include "support/childrun.h"

#include <QElapsedTimer>

#include <signal.h>

namespace ChildRun {

QString Result::value(const QString &key) const
{
    for (const QString &line : lines)
        if (line.startsWith(key + ' '))
            return line.mid(key.size() + 1);
    return QString();
}

Result run(const Options &options)
{
    Result result;
    QProcess child;
    child.setProcessEnvironment(options.environment);
    if (!options.workingDirectory.isEmpty())
        child.setWorkingDirectory(options.workingDirectory);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(options.program, options.arguments);
    if (!child.waitForStarted(10000))
        return result;
    result.started = true;
    const auto take = [&result](const QByteArray &bytes) {
        const QString line = QString::fromUtf8(bytes).trimmed();
        if (!line.isEmpty())
            result.lines << line;
        return line;
    };
    QElapsedTimer clock, sinceLine;
    clock.start();
    bool seen = false;
    while (child.state() != QProcess::NotRunning && clock.elapsed() < options.timeoutMs) {
        child.waitForReadyRead(20);
        while (child.canReadLine()) {
            const QString line = take(child.readLine());
            if (!seen && !options.killLine.isEmpty() && line.startsWith(options.killLine)) {
                seen = true;
                sinceLine.start();
            }
        }
        if (seen && sinceLine.elapsed() >= options.killAfterMs) {
            ::kill(pid_t(child.processId()), SIGKILL);
            break;
        }
    }
    if (child.state() != QProcess::NotRunning && !seen)
        child.kill();
    child.waitForFinished(20000);
    for (const QByteArray &line : child.readAllStandardOutput().split('\n'))
        take(line);
    result.status = child.exitStatus();
    result.exitCode = child.exitCode();
    return result;
}

}  // namespace ChildRun
