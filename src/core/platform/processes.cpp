#include "core/platform/processes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <csignal>
#include <sys/types.h>
#include <unistd.h>

namespace {

// The kernel keeps at most TASK_COMM_LEN - 1 characters of the name in comm.
constexpr int kCommLength = 15;

QString readComm(qint64 pid)
{
    QFile file(QStringLiteral("/proc/%1/comm").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QByteArray name = file.readAll();
    if (name.endsWith('\n'))
        name.chop(1);
    return QString::fromUtf8(name);
}

// A zombie (state Z) or dead (X) process has ended; only its table entry is left.
bool hasEnded(qint64 pid)
{
    QFile file(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return true;
    const QByteArray stat = file.readAll();
    // "pid (comm) S ...": the name may hold spaces and parentheses, the state follows the last ')'.
    const int close = stat.lastIndexOf(')');
    if (close < 0 || close + 2 >= stat.size())
        return true;
    const char state = stat.at(close + 2);
    return state == 'Z' || state == 'X';
}

}  // namespace

QString processExecutableName(qint64 pid)
{
    const QString comm = readComm(pid);
    if (comm.toUtf8().size() < kCommLength)
        return comm;
    // The name may have been cut; the link to the executable holds the whole name. It is
    // unreadable for other users' processes, where the cut name is the best there is.
    const QString exe = QFileInfo(QStringLiteral("/proc/%1/exe").arg(pid)).symLinkTarget();
    if (exe.isEmpty())
        return comm;
    QString base = QFileInfo(exe).fileName();
    // A replaced executable shows as "name (deleted)".
    if (base.endsWith(QLatin1String(" (deleted)")))
        base.chop(10);
    return base.startsWith(comm) ? base : comm;
}

QList<qint64> processIds(const QString &exeName)
{
    QList<qint64> ids;
    if (exeName.isEmpty())
        return ids;
    const QStringList entries =
        QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &entry : entries) {
        bool ok = false;
        const qint64 pid = entry.toLongLong(&ok);
        if (!ok || pid <= 0)
            continue;
        if (processExecutableName(pid).contains(exeName, Qt::CaseSensitive) && !hasEnded(pid))
            ids.append(pid);
    }
    return ids;
}

int processCount(const QString &exeName)
{
    return int(processIds(exeName).size());
}

int killProcesses(const QString &exeName)
{
    const qint64 self = qint64(::getpid());
    int signalled = 0;
    for (qint64 pid : processIds(exeName)) {
        if (pid == self)
            continue;
        if (::kill(pid_t(pid), SIGTERM) == 0)
            ++signalled;
    }
    return signalled;
}
