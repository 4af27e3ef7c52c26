#include "core/platform/settings.h"

#include "core/platform/apppaths.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

QString settingsFilePath(const QString &fileName)
{
    return AppPaths::filePath(AppPaths::Kind::Config, fileName);
}

QVariant readSetting(const QString &key, const QString &fileName)
{
    QSettings settings(settingsFilePath(fileName), QSettings::IniFormat);
    return settings.value(key, QVariant());
}

void writeSetting(const QString &key, const QVariant &value, const QString &fileName)
{
    QSettings settings(settingsFilePath(fileName), QSettings::IniFormat);
    settings.setValue(key, value);
    settings.sync();
}

QString dialogStartFolder(const QString &key, QStandardPaths::StandardLocation fallback)
{
    const QString remembered = readSetting(key).toString();
    if (!remembered.isEmpty() && QFileInfo(remembered).isDir())
        return remembered;
    const QString own = QStandardPaths::writableLocation(fallback);
    if (!own.isEmpty() && QFileInfo(own).isDir())
        return own;
    return QDir::homePath();
}
