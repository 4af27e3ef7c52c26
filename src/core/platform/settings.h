#pragma once
// One key of an INI file in the configuration folder that AppPaths decides ("conf.ini" for
// every caller): the application folder of a build tree, ~/.config/lumora when installed.
// Every call opens the file anew and closes it again; safe from any thread that does not
// write the same key at the same time.
#include <QString>
#include <QVariant>

// Absolute path of the settings file of that name.
QString settingsFilePath(const QString &fileName);
QVariant readSetting(const QString &key, const QString &fileName = QStringLiteral("conf.ini"));
void writeSetting(const QString &key, const QVariant &value,
                  const QString &fileName = QStringLiteral("conf.ini"));
