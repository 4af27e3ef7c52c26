#pragma once
// Reads the clips of a project index ("pro.lsnc") from its bytes, without QSettings.
//
// The index is an INI file whose "avDatas" key (group General) QSettings writes in one of
// three forms: "@Invalid()" for no clips, one "@Variant(...)" holding a QVariantList, or a
// comma-separated list of "@Variant(...)" values, one clip each. A "@Variant(...)" holds
// QDataStream bytes (version Qt 4.0): a 32-bit type id, then for a list a 32-bit count and the
// elements, for a JSON object a 32-bit length and its compact JSON text.
//
// Reading it here rather than through QSettings matters for files from outside: QSettings
// needs a file on disk (the `--info` command writes nothing anywhere), and its QDataStream
// reserves a list's stated count before reading a single element, so a hostile count aborts
// the process. Every count and length here is checked against the bytes that are left.
//
// Pure functions; any thread.
#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>

// Largest index file we read; a project of a thousand clips has an index of a few hundred kB.
constexpr qint64 kMaxProjectIndexBytes = 16 * 1024 * 1024;

// The JSON objects of the clips, in order. False with a reason in `error` when the text is
// not an index QSettings could have written.
bool parseProjectIndex(const QByteArray &iniText, QList<QJsonObject> *clips, QString *error);
bool readProjectIndexFile(const QString &path, QList<QJsonObject> *clips, QString *error);
