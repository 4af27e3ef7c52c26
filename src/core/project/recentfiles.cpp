#include "core/project/recentfiles.h"

#include "core/platform/settings.h"
#include "core/project/projectdata.h"

#include <QDateTime>
#include <QFileInfo>
#include <QStringList>

RecentFile::RecentFile(const QString &path) : cacheDir(::cacheDir(path)), filePath(path) {}

QString RecentFile::displayName() const
{
    if (filePath.isEmpty())
        return QString();
    const QString name = filePath.mid(filePath.lastIndexOf('/') + 1);
    const int dot = name.lastIndexOf('.');
    return dot < 0 ? name : name.left(dot);
}

RecentFiles *RecentFiles::instance()
{
    static RecentFiles *list = new RecentFiles;
    return list;
}

void RecentFiles::load()
{
    const QStringList stored = readSetting("recent_files").toStringList();
    m_files.clear();
    bool dropped = false;
    for (const QString &path : stored) {
        const QFileInfo info(path);
        if (!info.exists() || !info.isFile()) {
            dropped = true;
            continue;
        }
        RecentFile entry(path);
        if (m_files.contains(entry)) {
            dropped = true;
            continue;
        }
        m_files.append(entry);
    }
    if (dropped)
        save();
}

void RecentFiles::save() const
{
    QStringList paths;
    for (const RecentFile &f : m_files)
        paths.append(f.filePath);
    writeSetting("recent_files", paths);
}

void RecentFiles::add(RecentFile entry)
{
    const QFileInfo target(entry.filePath);
    for (int i = 0; i < m_files.size(); ++i) {
        if (QFileInfo(m_files.at(i).filePath) == target) {
            m_files.removeAt(i);
            break;
        }
    }
    entry.time = QDateTime::currentMSecsSinceEpoch();
    m_files.prepend(entry);
    save();
}
