#include "core/recovery/workingfoldermark.h"
#include "core/platform/filesync.h"

#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include <unistd.h>

QString WorkingFolderMark::pathIn(const QString &folder)
{
    return QDir(folder).filePath(fileName());
}

qint64 WorkingFolderMark::processStartTicks(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (pid <= 0 || !stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray text = stat.readAll();
    // The name in parentheses may hold spaces and parentheses; the fields follow the last ")".
    const qsizetype close = text.lastIndexOf(')');
    if (close < 0)
        return -1;
    const QList<QByteArray> fields = text.mid(close + 2).split(' ');
    // After the name: state is field 3, starttime field 22.
    if (fields.size() < 20)
        return -1;
    if (fields.at(0) == "Z" || fields.at(0) == "X")
        return -1;
    bool ok = false;
    const qint64 ticks = fields.at(19).toLongLong(&ok);
    return ok ? ticks : -1;
}

QString WorkingFolderMark::currentBootId()
{
    QFile file(QStringLiteral("/proc/sys/kernel/random/boot_id"));
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromLatin1(file.readAll()).trimmed();
}

WorkingFolderMark WorkingFolderMark::forThisProcess(const QString &filePath)
{
    WorkingFolderMark mark;
    mark.pid = ::getpid();
    mark.startTicks = processStartTicks(mark.pid);
    mark.bootId = currentBootId();
    mark.filePath = filePath;
    mark.writtenMs = QDateTime::currentMSecsSinceEpoch();
    return mark;
}

bool WorkingFolderMark::write(const QString &folder, Durability durability) const
{
    QJsonObject json;
    json.insert(QStringLiteral("pid"), pid);
    json.insert(QStringLiteral("startTicks"), startTicks);
    json.insert(QStringLiteral("bootId"), bootId);
    json.insert(QStringLiteral("filePath"), filePath);
    json.insert(QStringLiteral("written"), writtenMs);
    const QString target = pathIn(folder);
    const QString temporary = target + QStringLiteral(".tmp");
    QFile file(temporary);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(QJsonDocument(json).toJson(QJsonDocument::Compact)) < 0 || !file.flush()) {
        qWarning() << "WorkingFolderMark: cannot write" << temporary;
        file.remove();
        return false;
    }
    file.close();
    if (!replaceDurably(temporary, target, durability)) {
        qWarning() << "WorkingFolderMark: cannot replace" << target;
        return false;
    }
    return true;
}

bool WorkingFolderMark::read(const QString &folder, WorkingFolderMark *mark)
{
    QFile file(pathIn(folder));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QJsonDocument doc = QJsonDocument::fromJson(file.read(64 * 1024));
    if (!doc.isObject())
        return false;
    const QJsonObject json = doc.object();
    WorkingFolderMark m;
    m.pid = json.value(QStringLiteral("pid")).toInteger(-1);
    m.startTicks = json.value(QStringLiteral("startTicks")).toInteger(-1);
    m.bootId = json.value(QStringLiteral("bootId")).toString();
    m.filePath = json.value(QStringLiteral("filePath")).toString();
    m.writtenMs = json.value(QStringLiteral("written")).toInteger(0);
    *mark = m;
    return true;
}

bool WorkingFolderMark::exists(const QString &folder)
{
    return QFile::exists(pathIn(folder));
}

void WorkingFolderMark::remove(const QString &folder, Durability durability)
{
    QFile::remove(pathIn(folder));
    if (durability == Durability::ToDisk)
        syncToDisk(QDir(folder).absolutePath());
}

bool WorkingFolderMark::processIsRunning() const
{
    if (pid <= 0 || bootId.isEmpty() || bootId != currentBootId())
        return false;
    const qint64 ticks = processStartTicks(pid);
    return ticks >= 0 && ticks == startTicks;
}
