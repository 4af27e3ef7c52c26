#pragma once
// A file system of a few megabytes, to run out of room on purpose.
#include <QString>

// A tmpfs of `mb` megabytes mounted at `dir` for the life of the object. Mounting needs root;
// isMounted() says whether it worked (a test skips otherwise).
class SmallDisk
{
public:
    SmallDisk(const QString &dir, int mb);
    ~SmallDisk();
    SmallDisk(const SmallDisk &) = delete;
    SmallDisk &operator=(const SmallDisk &) = delete;

    bool isMounted() const { return m_mounted; }
    // Writes "filler.bin" on the disk until only `freeBytes` are left; false if a write fails.
    // It may be called while something else writes there, to fill the disk under it.
    bool fillLeaving(qint64 freeBytes) const;

private:
    QString m_dir;
    bool m_mounted = false;
};
