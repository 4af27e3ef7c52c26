#pragma once
// One key of an INI file in the configuration folder that AppPaths decides ("conf.ini" for
// every caller): the application folder of a build tree, ~/.config/lumora when installed.
// Every call opens the file anew and closes it again; safe from any thread that does not
// write the same key at the same time.
#include <QStandardPaths>
#include <QString>
#include <QVariant>

// Absolute path of the settings file of that name.
QString settingsFilePath(const QString &fileName);
QVariant readSetting(const QString &key, const QString &fileName = QStringLiteral("conf.ini"));
void writeSetting(const QString &key, const QVariant &value,
                  const QString &fileName = QStringLiteral("conf.ini"));

// Where a file dialog starts: the folder remembered under `key` when it still exists, else the
// teacher's own folder of that kind (`fallback`, from the XDG user folders: Documents for
// presentations and projects, Videos for videos), else the home folder. Never the program's
// own folder.
QString dialogStartFolder(const QString &key, QStandardPaths::StandardLocation fallback);
