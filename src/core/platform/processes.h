#pragma once
// Counting and ending running processes by executable name, read from /proc.
// Both functions may be called from any thread.
#include <QList>
#include <QString>

// Executable name of one running process: /proc/<pid>/comm, or the base name of
// /proc/<pid>/exe when comm was cut to the kernel's 15 characters. Empty when the
// process is gone or unreadable.
QString processExecutableName(qint64 pid);

// Whose processes count. Another teacher on the same computer (a school's lab, fast user
// switching) runs copies of their own, which are never counted or ended.
enum class ProcessScope {
    // Processes of the calling process's user.
    SameUser,
    // Of that user, and in the caller's desktop session: the same XDG_SESSION_ID, or, without
    // one, the same DISPLAY (else WAYLAND_DISPLAY). A process whose environment cannot be read
    // counts as the same session.
    SameSession,
};

// Ids of the running processes in `scope` whose executable name contains exeName
// (case-sensitive); processes that have ended but were not yet reaped (zombies) do not count.
QList<qint64> processIds(const QString &exeName, ProcessScope scope = ProcessScope::SameUser);

// Number of running processes in `scope` whose executable name contains exeName; the caller
// counts itself when its own name matches.
int processCount(const QString &exeName, ProcessScope scope = ProcessScope::SameUser);

// Sends SIGTERM to every running process of the caller's user whose executable name contains
// exeName, except the calling process. Returns how many were signalled.
int killProcesses(const QString &exeName);
