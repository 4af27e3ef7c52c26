#include "core/storage/infocommand.h"

#include "core/storage/lsnfileio.h"
#include "core/storage/projectindex.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLoggingCategory>

#include <fcntl.h>

namespace {

// The texts of this file, in the translation context "InfoCommand".
struct InfoCommandText
{
    Q_DECLARE_TR_FUNCTIONS(InfoCommand)
};

// Walks the members the way the unpacker does, with the same checks, keeping only the bytes
// of "pro.lsnc".
bool readIndexBytes(LsnFileIo &in, QByteArray *index, QHash<QString, qint64> *memberSizes,
                    QString *error)
{
    int fileCount = 0;
    qint64 total = 0;
    if (!in.readIdentifier() || !in.readPackHeader(&fileCount, &total)) {
        *error = in.errorText();
        return false;
    }
    QSet<QString> names;
    bool haveIndex = false;
    for (int i = 0; i < fileCount; ++i) {
        LsnMemberHeader header;
        if (in.bytesLeft() == 0) {
            *error = InfoCommandText::tr("文件中的文件数少于文件头所写的 %1 个").arg(fileCount);
            return false;
        }
        if (!in.readMemberHeader(&header, &names)) {
            *error = in.errorText();
            return false;
        }
        memberSizes->insert(header.fileName, header.fileSize);
        const bool isIndex = header.fileName == QLatin1String("pro.lsnc");
        if (isIndex && header.fileSize > kMaxProjectIndexBytes) {
            *error = InfoCommandText::tr("项目索引 pro.lsnc 过大");
            return false;
        }
        for (qint64 left = header.fileSize; left > 0;) {
            const qint64 want = qMin<qint64>(left, LsnFileIo::kPieceSize);
            qint64 got = -1;
            if (isIndex) {
                const QByteArray piece = in.readByteArray(want);
                got = piece.isEmpty() ? -1 : piece.size();
                index->append(piece);
            } else {
                got = in.skipByteArray(want);
            }
            if (got < 0) {
                *error = in.errorText();
                return false;
            }
            left -= got;
        }
        if (!in.readEndMarker()) {
            *error = in.errorText();
            return false;
        }
        haveIndex = haveIndex || isIndex;
    }
    if (in.bytesLeft() > 0) {
        *error = InfoCommandText::tr("文件中的文件数多于文件头所写的 %1 个").arg(fileCount);
        return false;
    }
    if (!haveIndex) {
        *error = InfoCommandText::tr("缺少项目索引 pro.lsnc");
        return false;
    }
    return true;
}

}  // namespace

bool readPackedProjectContents(const QString &file, PackedProjectContents *contents, QString *error)
{
    QByteArray indexBytes;
    LsnFileIo in(file);
    // Unbuffered: after each seek past a piece only its 4-byte count is read, where a buffered
    // reader would pull a whole block of the media. The kernel is told not to read ahead.
    if (!QFileInfo(file).isFile() || !in.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        *error = InfoCommandText::tr("无法打开文件");
        return false;
    }
    posix_fadvise(in.handle(), 0, 0, POSIX_FADV_RANDOM);
    return readIndexBytes(in, &indexBytes, &contents->memberSizes, error) &&
           parseProjectIndex(indexBytes, &contents->clips, error);
}

int runInfoCommand(const QString &file, QTextStream &out, QTextStream &err)
{
    QString error;
    PackedProjectContents contents;
    if (!readPackedProjectContents(file, &contents, &error)) {
        err << InfoCommandText::tr("无法读取课件文件 %1：%2").arg(file, error) << Qt::endl;
        return 2;
    }
    QJsonArray array;
    for (const QJsonObject &clip : contents.clips)
        array.append(clip);
    out << QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Compact)) << Qt::endl;
    return 0;
}

int runInfoCommandLine(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    // Standard error carries the one line of a failure and nothing else.
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false\n*.info=false"));
    if (arguments.size() != 3) {
        err << InfoCommandText::tr("用法：lumora_record --info 课件文件.lsn") << Qt::endl;
        return 2;
    }
    return runInfoCommand(arguments.at(2), out, err);
}
