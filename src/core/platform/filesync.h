#pragma once
// Makes what was written durable: fsync of a file (its contents) or of a folder (its entries,
// after a rename into it). False when the path cannot be opened or synced. Any thread.
#include <QFile>
#include <QString>

#include <fcntl.h>
#include <unistd.h>

inline bool syncToDisk(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}
