#include "core/platform/filesync.h"

#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

bool syncToDisk(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

bool replaceDurably(const QString &temporary, const QString &target, Durability durability)
{
    const bool toDisk = durability == Durability::ToDisk;
    if ((toDisk && !syncToDisk(temporary)) ||
        std::rename(QFile::encodeName(temporary).constData(),
                    QFile::encodeName(target).constData()) != 0) {
        QFile::remove(temporary);
        return false;
    }
    if (toDisk)
        syncToDisk(QFileInfo(target).absolutePath());
    return true;
}
