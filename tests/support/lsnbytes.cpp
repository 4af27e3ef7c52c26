#include "support/lsnbytes.h"

#include <QFile>
#include <QJsonDocument>
#include <QtEndian>

#include <zlib.h>

namespace LsnBytes {

QByteArray plainWithCount(qint32 count, const QByteArray &bytes)
{
    QByteArray out(4, '\0');
    qToLittleEndian<qint32>(count, out.data());
    return out + bytes;
}

QByteArray plain(const QByteArray &bytes) { return plainWithCount(qint32(bytes.size()), bytes); }

QByteArray zlibForm(const QByteArray &text)
{
    uLongf size = compressBound(uLong(text.size()));
    QByteArray out(4 + int(size), '\0');
    qToBigEndian<quint32>(quint32(text.size()), out.data());
    compress2(reinterpret_cast<Bytef *>(out.data() + 4), &size,
              reinterpret_cast<const Bytef *>(text.constData()), uLong(text.size()), 2);
    out.resize(4 + int(size));
    return out;
}

QByteArray compressed(const QByteArray &text) { return plain(zlibForm(text)); }

QByteArray compressedJson(const QJsonObject &json)
{
    return compressed(QJsonDocument(json).toJson(QJsonDocument::Compact));
}

QByteArray identifier() { return compressed("lumora_record"); }

QByteArray packHeader(qint64 fileCount, qint64 allFileSize)
{
    return compressedJson({{"fileCount", fileCount}, {"allFileSize", allFileSize}});
}

QJsonObject memberJson(const QString &name, qint64 size, qint64 birthMs, qint64 modifiedMs)
{
    return {{"fileName", name},
            {"type", "file"},
            {"fileSize", size},
            {"birthTime", birthMs},
            {"lastModified", modifiedMs}};
}

QByteArray member(const QString &name, const QByteArray &content, qint64 birthMs,
                  qint64 modifiedMs, int pieceSize)
{
    QByteArray out = compressedJson(memberJson(name, content.size(), birthMs, modifiedMs));
    for (qsizetype at = 0; at < content.size(); at += pieceSize)
        out += plain(content.mid(at, pieceSize));
    return out + compressed("file write end");
}

QByteArray pack(const QList<Member> &members)
{
    qint64 total = 0;
    for (const Member &m : members)
        total += m.content.size();
    QByteArray out = identifier() + packHeader(members.size(), total);
    for (const Member &m : members)
        out += member(m.name, m.content, m.modifiedMs, m.modifiedMs);
    return out;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace LsnBytes

namespace LsnBytes {

QList<HostileFile> hostileFiles(const QString &dir)
{
    const QByteArray id = identifier();
    const QByteArray index = member("pro.lsnc", "[General]\n");
    const auto withSecond = [&](const QByteArray &second) {
        return id + packHeader(2, 20) + index + second;
    };
    const auto withName = [&](const QString &name) { return withSecond(member(name, "abc")); };
    const auto endMarker = compressed("file write end");
    QByteArray lyingLength = zlibForm(QByteArray(60000, '\0'));
    qToBigEndian<quint32>(100, lyingLength.data());
    const QByteArray bigContent(40000, 'c');
    const QByteArray cutInside = id + packHeader(1, bigContent.size())
                                 + member("a.mp4", bigContent).left(25000);

    return {
        {"empty file", QByteArray()},
        {"not a project", QByteArray("just some text that is not a project\n")},
        {"wrong identifier", compressed("lumora_recorx") + packHeader(1, 10) + index},
        {"count cut short", id + QByteArray("\x05\x00", 2)},
        {"record past end", id + plainWithCount(100, "short")},
        {"huge length", id + plainWithCount(0x7fffffff, "x")},
        {"negative length", id + plainWithCount(-5, "")},
        {"zero length header", id + plainWithCount(0, "") + index},
        {"header not json", id + compressed("not json") + index},
        {"header is an array", id + compressed("[1,2]") + index},
        {"corrupt zlib", id + plain(QByteArray("\0\0\0\x10garbagegarbage", 18))},
        {"header inflates past limit", id + plain(zlibForm(QByteArray(1 << 20, ' ')))},
        {"header longer than it says", id + plain(lyingLength)},
        {"fileCount missing", id + compressedJson({{"allFileSize", 10}}) + index},
        {"fileCount 0", id + packHeader(0, 10) + index},
        {"fileCount negative", id + packHeader(-1, 10) + index},
        {"fileCount more than members", id + packHeader(2, 10) + index},
        {"fileCount fewer than members", id + packHeader(1, 13) + index + member("b", "abc")},
        {"allFileSize negative", id + packHeader(1, -10) + index},
        {"name ../x", withName("../x")},
        {"name absolute", withName(dir + "/abs")},
        {"name a/b", withName("a/b")},
        {"name empty", withName("")},
        {"name .", withName(".")},
        {"name ..", withName("..")},
        {"name backslash", withName("a\\b")},
        {"name with NUL", withName(QString::fromUtf8("nul\0x", 5))},
        {"name repeated", withName("pro.lsnc")},
        {"name of 5000 characters", withName(QString(5000, QLatin1Char('a')))},
        {"name of 256 bytes", withName(QString(85, QChar(0x8bfe)) + QStringLiteral("a"))},
        {"name not text", withSecond(compressedJson({{"fileName", 5}, {"fileSize", 0}}) + endMarker)},
        {"member header empty", withSecond(compressedJson({}) + endMarker)},
        {"fileSize beyond file",
         withSecond(compressedJson(memberJson("big", 1000000000, 0, 0)) + plain("abc") + endMarker)},
        {"fileSize negative",
         withSecond(compressedJson(memberJson("neg", -3, 0, 0)) + plain("abc") + endMarker)},
        {"fileSize fraction",
         withSecond(compressed("{\"fileName\":\"f\",\"fileSize\":2.5}") + plain("abc") + endMarker)},
        {"piece over 20480", withSecond(member("wide", QByteArray(30000, 'w'), 0, 0, 30000))},
        {"piece past fileSize",
         withSecond(compressedJson(memberJson("over", 3, 0, 0)) + plain("abcdef") + endMarker)},
        {"empty piece inside member",
         withSecond(compressedJson(memberJson("gap", 3, 0, 0)) + plainWithCount(0, "") + plain("abc")
                    + endMarker)},
        {"wrong end marker",
         withSecond(compressedJson(memberJson("m", 3, 0, 0)) + plain("abc") + compressed("file write enx"))},
        {"file ends inside member", cutInside},
        {"bytes after last member", id + packHeader(1, 10) + index + QByteArray("tail")},
    };
}

}  // namespace LsnBytes
