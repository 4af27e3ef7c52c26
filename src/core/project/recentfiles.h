#pragma once
// The recently used packed project files, newest first, kept under "recent_files" in
// "conf.ini". Main thread only.
#include <QList>
#include <QString>

class RecentFile
{
public:
    RecentFile() = default;
    explicit RecentFile(const QString &filePath);

    QString cacheDir;
    QString filePath;
    qint64 time = 0;  // milliseconds since the epoch when last added

    QString displayName() const;
    QString coverPath() const { return QStringLiteral("%1/Cover.png").arg(cacheDir); }

    bool operator==(const RecentFile &other) const { return filePath == other.filePath; }
};

class RecentFiles
{
public:
    static RecentFiles *instance();

    const QList<RecentFile> &files() const { return m_files; }
    // Reads the list from "conf.ini", dropping paths that are no longer files and duplicates.
    void load();
    void save() const;
    // Puts the entry in front (replacing an entry for the same file) and saves.
    void add(RecentFile entry);
    void clear() { m_files.clear(); }

private:
    QList<RecentFile> m_files;
};
