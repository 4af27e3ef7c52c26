#include "core/platform/processes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPair>

#include <csignal>
#include <sys/stat.h>
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

uint ownerOf(qint64 pid)
{
    struct stat info
    {
    };
    if (::stat(QByteArray("/proc/" + QByteArray::number(pid)).constData(), &info) != 0)
        return uint(-1);
    return info.st_uid;
}

// The variable that names the desktop session of the calling process, and its value.
QPair<QByteArray, QByteArray> ownSessionKey()
{
    for (const char *name : {"XDG_SESSION_ID", "DISPLAY", "WAYLAND_DISPLAY"}) {
        const QByteArray value = qgetenv(name);
        if (!value.isEmpty())
            return {QByteArray(name), value};
    }
    return {};
}

bool inSession(qint64 pid, const QPair<QByteArray, QByteArray> &key)
{
    if (key.first.isEmpty())
        return true;
    QFile file(QStringLiteral("/proc/%1/environ").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return true;
    const QByteArray prefix = key.first + '=';
    for (const QByteArray &entry : file.readAll().split('\0')) {
        if (entry.startsWith(prefix))
            return entry.mid(prefix.size()) == key.second;
    }
    return false;
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

QList<qint64> processIds(const QString &exeName, ProcessScope scope)
{
    QList<qint64> ids;
    if (exeName.isEmpty())
        return ids;
    const uint user = ::geteuid();
    const QPair<QByteArray, QByteArray> session = ownSessionKey();
    const QStringList entries =
        QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &entry : entries) {
        bool ok = false;
        const qint64 pid = entry.toLongLong(&ok);
        if (!ok || pid <= 0)
            continue;
        if (!processExecutableName(pid).contains(exeName, Qt::CaseSensitive) || hasEnded(pid) ||
            ownerOf(pid) != user)
            continue;
        if (scope == ProcessScope::SameSession && !inSession(pid, session))
            continue;
        ids.append(pid);
    }
    return ids;
}

int processCount(const QString &exeName, ProcessScope scope)
{
    return int(processIds(exeName, scope).size());
}

int killProcesses(const QString &exeName)
{
    const qint64 self = qint64(::getpid());
    int signalled = 0;
    for (qint64 pid : processIds(exeName, ProcessScope::SameUser)) {
        if (pid == self)
            continue;
        if (::kill(pid_t(pid), SIGTERM) == 0)
            ++signalled;
    }
    return signalled;
}
