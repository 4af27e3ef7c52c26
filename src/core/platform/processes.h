#pragma once
// Counting and ending running processes by executable name, read from /proc.
// Both functions may be called from any thread.
#include <QList>
#include <QString>

// Executable name of one running process: /proc/<pid>/comm, or the base name of
// /proc/<pid>/exe when comm was cut to the kernel's 15 characters. Empty when the
// process is gone or unreadable.
QString processExecutableName(qint64 pid);

// Ids of the running processes whose executable name contains exeName (case-sensitive);
// processes that have ended but were not yet reaped (zombies) do not count.
QList<qint64> processIds(const QString &exeName);

// Number of running processes whose executable name contains exeName; the caller counts
// itself when its own name matches.
int processCount(const QString &exeName);

// Sends SIGTERM to every running process whose executable name contains exeName, except
// the calling process. Returns how many were signalled.
int killProcesses(const QString &exeName);
