#pragma once
// Runs a program (usually the test program itself in a child mode) and collects the lines it
// prints, optionally killing it with SIGKILL some time after a given line: a crash or a power
// cut in the middle of work. Main thread only.
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace ChildRun {

struct Result
{
    bool started = false;
    QStringList lines;  // each printed line, trimmed, empty ones left out
    // A child that never started looks neither killed nor successful.
    QProcess::ExitStatus status = QProcess::NormalExit;
    int exitCode = -1;

    // What follows "key " on the first line that starts so; empty when none does.
    QString value(const QString &key) const;
};

struct Options
{
    QString program;
    QStringList arguments;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    QString workingDirectory;  // empty: the test's own
    // When the child prints a line starting with killLine, it is killed killAfterMs later.
    QString killLine;
    int killAfterMs = 0;
    // A child still running after this long is killed.
    int timeoutMs = 200000;
};

Result run(const Options &options);

}  // namespace ChildRun
