#pragma once
// One key of an INI file in the application folder ("conf.ini" for every caller).
// Every call opens the file anew and closes it again; safe from any thread that does not
// write the same key at the same time.
#include <QString>
#include <QVariant>

QString settingsFilePath(const QString &fileName);
QVariant readSetting(const QString &key, const QString &fileName = QStringLiteral("conf.ini"));
void writeSetting(const QString &key, const QVariant &value,
                  const QString &fileName = QStringLiteral("conf.ini"));
