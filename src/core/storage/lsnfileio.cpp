#include "core/storage/lsnfileio.h"

#include <QCoreApplication>
#include <QDebug>
#include <QJsonDocument>
#include <QJsonValue>
#include <QtEndian>

#include <zlib.h>

#include <limits>

namespace {

// The texts of this file, in the translation context "LsnFileIo".
struct LsnFileIoText
{
    Q_DECLARE_TR_FUNCTIONS(LsnFileIo)
};

// Inflates a qCompress() record: 4 bytes of big-endian length, then a zlib stream that must
// end exactly at that length and at the end of the record. Unlike qUncompress, which keeps
// doubling its buffer for as long as the stream gives bytes, this never allocates more than
// the stated length, which the caller has already bounded.
bool inflateRecord(const QByteArray &record, qint64 maxLength, QByteArray *out)
{
    if (record.size() < 4)
        return false;
    const quint32 length = qFromBigEndian<quint32>(record.constData());
    if (length == 0 || length > maxLength)
        return false;
    QByteArray result(static_cast<qsizetype>(length), Qt::Uninitialized);
    z_stream zs{};
    if (inflateInit(&zs) != Z_OK)
        return false;
    zs.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(record.constData() + 4));
    zs.avail_in = static_cast<uInt>(record.size() - 4);
    zs.next_out = reinterpret_cast<Bytef *>(result.data());
    zs.avail_out = length;
    const int rc = inflate(&zs, Z_FINISH);
    const bool ok = rc == Z_STREAM_END && zs.total_out == length && zs.avail_in == 0;
    inflateEnd(&zs);
    if (!ok)
        return false;
    *out = result;
    return true;
}

}  // namespace

bool isPlainMemberName(const QString &name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
           !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\')) &&
           !name.contains(QChar(0)) && QFile::encodeName(name).size() <= kMaxMemberNameBytes;
}

LsnFileIo::LsnFileIo(const QString &name) : QFile(name) {}

void LsnFileIo::setRecordError(const QString &text)
{
    if (m_error.isEmpty())
        m_error = text;
}

qint64 LsnFileIo::bytesLeft() const
{
    return qMax<qint64>(0, size() - pos());
}

bool LsnFileIo::writeByteArray(const QByteArray &bytes)
{
    if (bytes.size() > std::numeric_limits<qint32>::max())
        return false;
    return writeByteArray(bytes.constData(), static_cast<qint32>(bytes.size()));
}

bool LsnFileIo::writeByteArray(const char *data, qint32 length)
{
    char count[4];
    qToLittleEndian<qint32>(length, count);
    return write(count, 4) == 4 && write(data, length) == length;
}

bool LsnFileIo::writeCompressByteArray(const QByteArray &bytes)
{
    return writeByteArray(qCompress(bytes, 2));
}

static qint64 readRecordCount(LsnFileIo *io, qint64 maxLength)
{
    char countBytes[4];
    if (io->read(countBytes, 4) != 4) {
        io->setRecordError(LsnFileIoText::tr("文件已截断"));
        return -1;
    }
    const qint32 count = qFromLittleEndian<qint32>(countBytes);
    if (count <= 0 || count > maxLength) {
        io->setRecordError(LsnFileIoText::tr("文件中有长度不合法的记录"));
        return -1;
    }
    if (count > io->bytesLeft()) {
        io->setRecordError(LsnFileIoText::tr("文件已截断"));
        return -1;
    }
    return count;
}

QByteArray LsnFileIo::readByteArray(qint64 maxLength)
{
    const qint64 count = readRecordCount(this, maxLength);
    if (count < 0)
        return QByteArray();
    QByteArray bytes = read(count);
    if (bytes.size() != count) {
        setRecordError(LsnFileIoText::tr("文件已截断"));
        return QByteArray();
    }
    return bytes;
}

qint64 LsnFileIo::readByteArray(char *buffer, qint64 maxLength)
{
    const qint64 count = readRecordCount(this, maxLength);
    if (count < 0)
        return -1;
    if (read(buffer, count) != count) {
        setRecordError(LsnFileIoText::tr("文件已截断"));
        return -1;
    }
    return count;
}

qint64 LsnFileIo::skipByteArray(qint64 maxLength)
{
    const qint64 count = readRecordCount(this, maxLength);
    if (count < 0)
        return -1;
    if (!seek(pos() + count)) {
        setRecordError(LsnFileIoText::tr("文件已截断"));
        return -1;
    }
    return count;
}

QByteArray LsnFileIo::readCompressByteArray()
{
    const QByteArray raw = readByteArray(kMaxHeaderBytes);
    if (raw.isEmpty())
        return raw;
    QByteArray text;
    if (!inflateRecord(raw, kMaxHeaderBytes, &text)) {
        qDebug() << "qUncompress error:" << raw;
        setRecordError(LsnFileIoText::tr("文件中有损坏的压缩记录"));
        return QByteArray();
    }
    return text;
}

bool LsnFileIo::readIdentifier()
{
    const QByteArray first = readCompressByteArray();
    qDebug() << "uncompressFile:bytes1:" << first;
    if (first != identifier()) {
        // Whatever broke while reading it, a file without the identifier is simply not ours.
        m_error.clear();
        setRecordError(LsnFileIoText::tr("不是课件文件"));
        return false;
    }
    return true;
}

static QJsonObject readJsonRecord(LsnFileIo *io)
{
    const QByteArray text = io->readCompressByteArray();
    if (io->recordError())
        return QJsonObject();
    const QJsonDocument doc = QJsonDocument::fromJson(text);
    return doc.isObject() ? doc.object() : QJsonObject();
}

// An integral JSON number as 64 bits; false for anything else (text, fractions, huge values).
static bool readInteger(const QJsonObject &json, const char *key, qint64 *value)
{
    const QJsonValue v = json.value(QLatin1String(key));
    if (!v.isDouble())
        return false;
    const qint64 sentinel = std::numeric_limits<qint64>::min();
    const qint64 n = v.toInteger(sentinel);
    if (n == sentinel)
        return false;
    *value = n;
    return true;
}

bool LsnFileIo::readPackHeader(int *fileCount, qint64 *allFileSize)
{
    const QJsonObject header = readJsonRecord(this);
    qDebug() << "uncompressForFile:text:" << QJsonDocument(header).toJson(QJsonDocument::Compact);
    if (recordError())
        return false;
    qint64 count = 0;
    qint64 total = 0;
    if (!readInteger(header, "fileCount", &count) || count <= 0 ||
        count > std::numeric_limits<int>::max()) {
        setRecordError(LsnFileIoText::tr("文件头中的文件数不合法"));
        return false;
    }
    if (!readInteger(header, "allFileSize", &total) || total < 0) {
        setRecordError(LsnFileIoText::tr("文件头中的总大小不合法"));
        return false;
    }
    *fileCount = static_cast<int>(count);
    *allFileSize = total;
    return true;
}

bool LsnFileIo::readMemberHeader(LsnMemberHeader *header, QSet<QString> *seenNames)
{
    const QJsonObject json = readJsonRecord(this);
    if (recordError())
        return false;
    if (json.isEmpty()) {
        setRecordError(LsnFileIoText::tr("文件中有损坏的文件头"));
        return false;
    }
    const QJsonValue name = json.value(QLatin1String("fileName"));
    if (!name.isString() || !isPlainMemberName(name.toString())) {
        setRecordError(LsnFileIoText::tr("文件中有不合法的文件名：%1").arg(name.toString()));
        return false;
    }
    if (seenNames->contains(name.toString())) {
        setRecordError(LsnFileIoText::tr("文件中有重复的文件名：%1").arg(name.toString()));
        return false;
    }
    qint64 size = 0;
    if (!readInteger(json, "fileSize", &size) || size < 0) {
        setRecordError(LsnFileIoText::tr("文件中有大小不合法的文件：%1").arg(name.toString()));
        return false;
    }
    // Every piece costs 4 bytes of count besides its contents, so a member can never be larger
    // than what is left of the file.
    if (size > bytesLeft()) {
        setRecordError(LsnFileIoText::tr("文件已截断"));
        return false;
    }
    header->fileName = name.toString();
    header->fileSize = size;
    // Missing or odd times are not worth refusing a file over; they read as 0 like the writer's
    // "unknown".
    header->birthTimeMs = 0;
    header->lastModifiedMs = 0;
    readInteger(json, "birthTime", &header->birthTimeMs);
    readInteger(json, "lastModified", &header->lastModifiedMs);
    seenNames->insert(header->fileName);
    return true;
}

bool LsnFileIo::readEndMarker()
{
    const QByteArray marker = readCompressByteArray();
    if (marker != endMarker()) {
        setRecordError(LsnFileIoText::tr("文件中缺少文件结束标记"));
        return false;
    }
    return true;
}
