#pragma once
// `lumora_record --info FILE.lsn`: prints the clips of a packed project file (the JSON objects
// stored under "avDatas" in its "pro.lsnc", in order) as one JSON array on `out` and returns 0.
// Only the record headers and "pro.lsnc" are read; the contents of every other member are
// skipped with seeks. A file that is not a packed project, is truncated or breaks the layout
// in any way gives one line on `err` and returns 2. Nothing is written to any file.
//
// Needs no display and no event loop; any thread.
#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTextStream>

// What a packed project file holds, read as `--info` reads it (the contents of the media are
// skipped): the clips of its index and the size of every member. False, with the reason,
// when the file cannot be read or breaks the layout.
struct PackedProjectContents
{
    QList<QJsonObject> clips;
    QHash<QString, qint64> memberSizes;
};
bool readPackedProjectContents(const QString &file, PackedProjectContents *contents,
                               QString *error);

int runInfoCommand(const QString &file, QTextStream &out, QTextStream &err);
// The whole command line (program name, "--info", FILE); a wrong argument count returns 2.
int runInfoCommandLine(const QStringList &arguments, QTextStream &out, QTextStream &err);
