#include "core/storage/projectindex.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QStringList>
#include <QtEndian>

namespace {

// The texts of this file, in the translation context "ProjectIndex".
struct ProjectIndexText
{
    Q_DECLARE_TR_FUNCTIONS(ProjectIndex)
};

// QDataStream type ids as QSettings writes them (QDataStream::Qt_4_0 numbering).
constexpr quint32 kVariantListTypeId = 9;
constexpr quint32 kJsonObjectTypeId = 143;

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Undoes QSettings' escaping of an INI value: double quotes group text (commas and semicolons
// inside them are plain), a backslash starts an escape (\0 octal, \x hex, \n and the like),
// commas outside quotes separate list items and a semicolon outside quotes starts a comment.
// Bytes between escapes are UTF-8.
bool unescapeValue(const QByteArray &value, QStringList *items)
{
    QString current;
    QByteArray run;
    bool inQuotes = false;
    const auto flush = [&] {
        current += QString::fromUtf8(run);
        run.clear();
    };
    qsizetype i = 0;
    const qsizetype n = value.size();
    while (i < n) {
        const char ch = value.at(i);
        if (ch == '"') {
            flush();
            inQuotes = !inQuotes;
            ++i;
        } else if (ch == '\\') {
            flush();
            if (++i >= n)
                return false;
            const char e = value.at(i++);
            switch (e) {
            case 'a': current += QChar(7); break;
            case 'b': current += QChar(8); break;
            case 'f': current += QChar(12); break;
            case 'n': current += QChar(10); break;
            case 'r': current += QChar(13); break;
            case 't': current += QChar(9); break;
            case 'v': current += QChar(11); break;
            case '"':
            case '\'':
            case '?':
            case '\\': current += QLatin1Char(e); break;
            case 'x': {
                uint code = 0;
                int digits = 0;
                for (; i < n && hexValue(value.at(i)) >= 0; ++i, ++digits) {
                    if (digits == 4)
                        return false;
                    code = code * 16 + uint(hexValue(value.at(i)));
                }
                if (digits == 0)
                    return false;
                current += QChar(char16_t(code));
                break;
            }
            default:
                if (e < '0' || e > '7')
                    return false;
                uint code = uint(e - '0');
                for (int digits = 1;
                     digits < 3 && i < n && value.at(i) >= '0' && value.at(i) <= '7'; ++digits, ++i)
                    code = code * 8 + uint(value.at(i) - '0');
                current += QChar(char16_t(code));
            }
        } else if (!inQuotes && ch == ',') {
            flush();
            items->append(current);
            current.clear();
            for (++i; i < n && value.at(i) == ' '; ++i) {
            }
        } else if (!inQuotes && ch == ';') {
            break;
        } else {
            run += ch;
            ++i;
        }
    }
    if (inQuotes)
        return false;
    flush();
    items->append(current);
    return true;
}

// Big-endian reads over a byte range that never run past its end.
class StreamReader
{
public:
    explicit StreamReader(const QByteArray &bytes) : m_bytes(bytes) {}
    qsizetype left() const { return m_bytes.size() - m_pos; }
    bool readU32(quint32 *value)
    {
        if (left() < 4)
            return false;
        *value = qFromBigEndian<quint32>(m_bytes.constData() + m_pos);
        m_pos += 4;
        return true;
    }
    bool readBytes(quint32 length, QByteArray *out)
    {
        if (qsizetype(length) > left())
            return false;
        *out = m_bytes.mid(m_pos, length);
        m_pos += length;
        return true;
    }

private:
    const QByteArray &m_bytes;
    qsizetype m_pos = 0;
};

// The body of a QJsonObject variant: its JSON text as a QByteArray.
bool readJsonObjectBody(StreamReader &in, QList<QJsonObject> *clips)
{
    quint32 length = 0;
    QByteArray text;
    if (!in.readU32(&length) || !in.readBytes(length, &text))
        return false;
    const QJsonDocument doc = QJsonDocument::fromJson(text);
    if (!doc.isObject())
        return false;
    clips->append(doc.object());
    return true;
}

bool readVariant(const QByteArray &bytes, QList<QJsonObject> *clips)
{
    StreamReader in(bytes);
    quint32 typeId = 0;
    if (!in.readU32(&typeId))
        return false;
    if (typeId == kJsonObjectTypeId) {
        if (!readJsonObjectBody(in, clips))
            return false;
    } else if (typeId == kVariantListTypeId) {
        quint32 count = 0;
        if (!in.readU32(&count))
            return false;
        // Each element takes at least a type id and a length.
        if (qsizetype(count) > in.left() / 8)
            return false;
        for (quint32 k = 0; k < count; ++k) {
            quint32 elementType = 0;
            if (!in.readU32(&elementType) || elementType != kJsonObjectTypeId ||
                !readJsonObjectBody(in, clips))
                return false;
        }
    } else {
        return false;
    }
    return in.left() == 0;
}

bool readItem(const QString &item, QList<QJsonObject> *clips)
{
    static const QString prefix = QStringLiteral("@Variant(");
    if (!item.startsWith(prefix) || !item.endsWith(QLatin1Char(')')))
        return false;
    const QString payload = item.mid(prefix.size(), item.size() - prefix.size() - 1);
    QByteArray bytes;
    bytes.reserve(payload.size());
    for (const QChar c : payload) {
        if (c.unicode() > 0xff)
            return false;
        bytes += char(c.unicode());
    }
    return readVariant(bytes, clips);
}

}  // namespace

bool parseProjectIndex(const QByteArray &iniText, QList<QJsonObject> *clips, QString *error)
{
    clips->clear();
    QByteArray value;
    bool found = false;
    bool inGeneral = true;
    for (QByteArray line : iniText.split('\n')) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(';') || line.startsWith('#'))
            continue;
        if (line.startsWith('[')) {
            inGeneral = line == "[General]";
            continue;
        }
        const qsizetype eq = line.indexOf('=');
        if (!inGeneral || eq < 0 || line.left(eq).trimmed() != "avDatas")
            continue;
        value = line.mid(eq + 1).trimmed();
        found = true;
    }
    if (!found)
        return true;  // an index without clips
    QStringList items;
    bool ok = unescapeValue(value, &items);
    if (ok && items.size() == 1 && items.first() == QLatin1String("@Invalid()"))
        return true;
    for (int i = 0; ok && i < items.size(); ++i)
        ok = readItem(items.at(i), clips);
    if (!ok) {
        clips->clear();
        if (error)
            *error = ProjectIndexText::tr("项目索引 pro.lsnc 中的片段列表已损坏");
    }
    return ok;
}

bool readProjectIndexFile(const QString &path, QList<QJsonObject> *clips, QString *error)
{
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = ProjectIndexText::tr("缺少项目索引 pro.lsnc");
        return false;
    }
    if (file.size() > kMaxProjectIndexBytes) {
        if (error)
            *error = ProjectIndexText::tr("项目索引 pro.lsnc 过大");
        return false;
    }
    return parseProjectIndex(file.read(kMaxProjectIndexBytes), clips, error);
}
