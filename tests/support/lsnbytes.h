#pragma once
// An independent writer of the packed project file layout for tests: every record is built
// here by hand (little-endian counts, zlib through compress2 at level 2 behind a big-endian
// length), so that a file the program writes can be compared byte for byte and files the
// program never would write (truncated, hostile) can be made.
#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>

namespace LsnBytes {

QByteArray plain(const QByteArray &bytes);
// A plain record whose count field says `count`, followed by `bytes` as they are.
QByteArray plainWithCount(qint32 count, const QByteArray &bytes);
QByteArray zlibForm(const QByteArray &text);  // 4-byte big-endian length + zlib stream
QByteArray compressed(const QByteArray &text);
QByteArray compressedJson(const QJsonObject &json);

QByteArray identifier();
QByteArray packHeader(qint64 fileCount, qint64 allFileSize);
QJsonObject memberJson(const QString &name, qint64 size, qint64 birthMs, qint64 modifiedMs);
// Header, contents in pieces of `pieceSize` bytes, end marker.
QByteArray member(const QString &name, const QByteArray &content, qint64 birthMs = 1000,
                  qint64 modifiedMs = 2000, int pieceSize = 20480);

struct Member
{
    QString name;
    QByteArray content;
    qint64 modifiedMs = 1600000000000;
};
// A whole, correct pack of the members.
QByteArray pack(const QList<Member> &members);

bool writeFile(const QString &path, const QByteArray &bytes);
QByteArray readFile(const QString &path);

}  // namespace LsnBytes

namespace LsnBytes {

struct HostileFile
{
    const char *name;
    QByteArray bytes;
};
// Files the reader must refuse: broken records, lying lengths and counts, unsafe member names.
// `dir` is the absolute folder the test works in, used for the absolute-name case.
QList<HostileFile> hostileFiles(const QString &dir);

}  // namespace LsnBytes
