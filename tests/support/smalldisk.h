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

private:
    QString m_dir;
    bool m_mounted = false;
};
