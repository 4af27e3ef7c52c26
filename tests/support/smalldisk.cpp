#include "support/smalldisk.h"

#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QStorageInfo>
#include <QStringList>

#include <algorithm>

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

bool SmallDisk::fillLeaving(qint64 freeBytes) const
{
    QFile filler(m_dir + "/filler.bin");
    if (!filler.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    const QByteArray block(1024 * 1024, 'x');
    qint64 free = QStorageInfo(m_dir).bytesAvailable();
    while (free > freeBytes) {
        const qint64 n = std::min<qint64>(block.size(), free - freeBytes);
        if (filler.write(block.constData(), n) != n || !filler.flush())
            return false;
        free = QStorageInfo(m_dir).bytesAvailable();
    }
    return true;
}
