#include "support/smalldisk.h"

#include <QProcess>
#include <QStringList>

#include <unistd.h>

SmallDisk::SmallDisk(const QString &dir, int mb) : m_dir(dir)
{
    m_mounted = geteuid() == 0 &&
                QProcess::execute(
                    "mount", {"-t", "tmpfs", "-o", QString("size=%1m").arg(mb), "tmpfs", dir}) == 0;
}

SmallDisk::~SmallDisk()
{
    if (m_mounted)
        QProcess::execute("umount", {"-l", m_dir});
}
