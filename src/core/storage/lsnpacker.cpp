#include "core/storage/lsnpacker.h"

#include "core/storage/lsnfileio.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QScopeGuard>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QUuid>

#include <limits>

namespace {

constexpr int kPiecesPerProgress = 20;

bool isPackable(const QFileInfo &info)
{
    return info.fileName() != QLatin1String(".") && info.fileName() != QLatin1String("..") &&
           !info.isDir();
}

qint64 msecs(const QDateTime &time, const QDateTime &fallback)
{
    return time.isValid() ? time.toMSecsSinceEpoch() : fallback.toMSecsSinceEpoch();
}

}  // namespace

LsnPacker::LsnPacker(QObject *parent) : QObject(parent) {}

void LsnPacker::setErrorText(const QString &text)
{
    if (m_errorText.isEmpty())
        m_errorText = text;
}

void LsnPacker::startProgress(qint64 total)
{
    m_progressTotal = qMax<qint64>(0, total);
    m_progressShift = 0;
    while ((m_progressTotal >> m_progressShift) > std::numeric_limits<int>::max())
        ++m_progressShift;
    m_byteCount = 0;
    m_piecesSinceProgress = 0;
    m_maximumSent = static_cast<int>(m_progressTotal >> m_progressShift);
    emit sig_UpdateMaxProgress(m_maximumSent.load());
}

void LsnPacker::emitProgress()
{
    const qint64 clamped = qMin(m_byteCount, m_progressTotal);
    emit sig_UpdateProgress(static_cast<int>(clamped >> m_progressShift));
}

void LsnPacker::addProgress(qint64 bytes)
{
    m_byteCount += bytes;
    if (++m_piecesSinceProgress == kPiecesPerProgress) {
        m_piecesSinceProgress = 0;
        emitProgress();
    }
}

void LsnPacker::finishProgress()
{
    m_byteCount = m_progressTotal;
    emitProgress();
    m_byteCount = 0;
}

bool LsnPacker::compressFiles(const QFileInfoList &files, const QString &outPath)
{
    m_errorText.clear();
    LsnFileIo out(outPath);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        setErrorText(tr("无法写入文件：%1").arg(outPath));
        return false;
    }
    bool ok = out.writeCompressByteArray(LsnFileIo::identifier()) && out.flush();

    QFileInfoList kept;
    QSet<QString> names;
    qint64 total = 0;
    for (const QFileInfo &info : files) {
        qDebug() << "entryInfoList:" << info.fileName();
        if (!isPackable(info))
            continue;
        if (names.contains(info.fileName())) {
            setErrorText(tr("有两个同名的文件：%1").arg(info.fileName()));
            ok = false;
        }
        names.insert(info.fileName());
        kept.append(info);
        total += info.size();
    }
    if (kept.isEmpty()) {
        setErrorText(tr("没有要保存的文件"));
        ok = false;
    }
    startProgress(total);

    if (ok) {
        QJsonObject header;
        header.insert("fileCount", kept.size());
        header.insert("allFileSize", total);
        ok = out.writeCompressByteArray(QJsonDocument(header).toJson(QJsonDocument::Compact)) &&
             out.flush();
    }
    for (int i = 0; ok && i < kept.size(); ++i)
        ok = compressForFile(kept.at(i), out);

    ok = out.flush() && ok;
    out.close();
    if (out.error() != QFileDevice::NoError)
        ok = false;
    if (ok) {
        finishProgress();
    } else {
        m_byteCount = 0;
        QFile::remove(outPath);
        // With the half-written file gone, the free room is what the save had to work with.
        const QString folder = QFileInfo(outPath).absolutePath();
        if (QStorageInfo(folder).bytesAvailable() < total)
            setErrorText(tr("磁盘空间不足：%1").arg(outPath));
        else
            setErrorText(tr("无法写入文件：%1").arg(outPath));
    }
    return ok;
}

bool LsnPacker::compressForFile(const QFileInfo &fileInfo, LsnFileIo &out)
{
    if (!fileInfo.isFile()) {
        setErrorText(tr("不是文件：%1").arg(fileInfo.filePath()));
        return false;
    }
    QFile source(fileInfo.filePath());
    if (!source.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        setErrorText(tr("无法读取文件：%1").arg(fileInfo.filePath()));
        return false;
    }
    // The size and times of the file as it is now, not as the caller listed it.
    const QFileInfo now(fileInfo.filePath());
    const qint64 size = now.size();
    QJsonObject header;
    header.insert("fileName", now.fileName());
    header.insert("type", "file");
    header.insert("fileSize", size);
    header.insert("birthTime", msecs(now.birthTime(), now.lastModified()));
    header.insert("lastModified", now.lastModified().toMSecsSinceEpoch());
    const QByteArray json = QJsonDocument(header).toJson(QJsonDocument::Compact);
    qDebug() << "compressForFile:" << json;
    if (!out.writeCompressByteArray(json))
        return false;

    // Exactly `size` bytes go in, as the header says; a file that shrinks meanwhile fails
    // rather than leaving a pack that cannot be opened.
    QByteArray buffer(LsnFileIo::kPieceSize, Qt::Uninitialized);
    m_piecesSinceProgress = 0;
    for (qint64 left = size; left > 0;) {
        const qint64 want = qMin<qint64>(left, LsnFileIo::kPieceSize);
        const qint64 got = source.read(buffer.data(), want);
        if (got != want) {
            setErrorText(tr("读取文件时出错：%1").arg(fileInfo.filePath()));
            return false;
        }
        if (!out.writeByteArray(buffer.constData(), static_cast<qint32>(got)))
            return false;
        left -= got;
        addProgress(got);
    }
    return out.writeCompressByteArray(LsnFileIo::endMarker()) && out.flush();
}

bool LsnPacker::uncompressFile(const QString &filePath, const QString &outDir)
{
    return unpackAndReplace(filePath, outDir, nullptr);
}

bool LsnPacker::unpackAndReplace(const QString &filePath, const QString &outDir,
                                 const std::function<bool(const QString &)> &check,
                                 const std::function<void(const QString &)> &written)
{
    m_errorText.clear();
    m_memberWritten = written;
    const auto forget = qScopeGuard([this] { m_memberWritten = nullptr; });
    const QString target = QDir::cleanPath(QDir(outDir).absolutePath());
    const QString parent = QFileInfo(target).absolutePath();
    if (!QDir().mkpath(parent)) {
        setErrorText(tr("无法创建文件夹：%1").arg(parent));
        return false;
    }
    QTemporaryDir fresh(target + QStringLiteral(".unpack-XXXXXX"));
    if (!fresh.isValid()) {
        setErrorText(tr("无法创建文件夹：%1").arg(parent));
        return false;
    }
    LsnFileIo in(filePath);
    if (!QFileInfo(filePath).isFile() || !in.open(QIODevice::ReadOnly)) {
        setErrorText(tr("无法打开文件：%1").arg(filePath));
        return false;
    }
    if (!in.readIdentifier() || !uncompressForFiles(in, fresh.path())) {
        setErrorText(in.errorText());
        return false;
    }
    in.close();
    if (check && !check(fresh.path()))
        return false;
    if (!replaceFolder(fresh.path(), target)) {
        setErrorText(tr("无法替换文件夹：%1").arg(target));
        return false;
    }
    fresh.setAutoRemove(false);
    return true;
}

bool LsnPacker::replaceFolder(const QString &fresh, const QString &target)
{
    QDir dir;
    if (!QFileInfo::exists(target))
        return dir.rename(fresh, target);
    const QString old =
        target + QStringLiteral(".old-") + QUuid::createUuid().toString(QUuid::Id128);
    if (!dir.rename(target, old)) {
        // QDir gives no reason (and may have failed before any system call): say what is there.
        qWarning() << "replaceFolder: cannot move aside" << target
                   << "exists:" << QFileInfo::exists(target)
                   << "; aside name taken:" << QFileInfo::exists(old);
        return false;
    }
    if (!dir.rename(fresh, target)) {
        // Most likely something made the folder again between the two renames; what is in it
        // tells by whom.
        qWarning() << "replaceFolder: cannot move" << fresh << "to" << target
                   << "; unpacked copy there:" << QFileInfo::exists(fresh) << "; target holds:"
                   << QDir(target).entryList(QDir::AllEntries | QDir::NoDotAndDotDot |
                                             QDir::Hidden);
        dir.rename(old, target);
        return false;
    }
    QDir(old).removeRecursively();
    return true;
}

bool LsnPacker::uncompressForFiles(LsnFileIo &in, const QString &dir)
{
    int fileCount = 0;
    qint64 total = 0;
    if (!in.readPackHeader(&fileCount, &total)) {
        setErrorText(in.errorText());
        return false;
    }
    startProgress(total);
    m_memberNames.clear();
    for (int i = 0; i < fileCount; ++i) {
        if (in.bytesLeft() == 0) {
            in.setRecordError(tr("文件中的文件数少于文件头所写的 %1 个").arg(fileCount));
            setErrorText(in.errorText());
            m_byteCount = 0;
            return false;
        }
        if (!uncompressForFile(in, dir)) {
            m_byteCount = 0;
            return false;
        }
    }
    if (in.bytesLeft() > 0) {
        in.setRecordError(tr("文件中的文件数多于文件头所写的 %1 个").arg(fileCount));
        setErrorText(in.errorText());
        m_byteCount = 0;
        return false;
    }
    finishProgress();
    return true;
}

bool LsnPacker::uncompressForFile(LsnFileIo &in, const QString &dir)
{
    LsnMemberHeader header;
    if (!in.readMemberHeader(&header, &m_memberNames)) {
        setErrorText(in.errorText());
        return false;
    }
    // The name is plain (no separators, not "." or ".."), so this path is directly inside
    // `dir`; NewOnly refuses to follow anything that is already there.
    QFile out(QDir(dir).filePath(header.fileName));
    if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        setErrorText(tr("无法写入文件：%1").arg(out.fileName()));
        return false;
    }
    QByteArray buffer(LsnFileIo::kPieceSize, Qt::Uninitialized);
    m_piecesSinceProgress = 0;
    for (qint64 left = header.fileSize; left > 0;) {
        const qint64 got =
            in.readByteArray(buffer.data(), qMin<qint64>(left, LsnFileIo::kPieceSize));
        if (got < 0) {
            setErrorText(in.errorText());
            return false;
        }
        if (out.write(buffer.constData(), got) != got) {
            setErrorText(tr("无法写入文件：%1").arg(out.fileName()));
            return false;
        }
        left -= got;
        addProgress(got);
    }
    if (!in.readEndMarker()) {
        setErrorText(in.errorText());
        return false;
    }
    if (!out.flush()) {
        setErrorText(tr("无法写入文件：%1").arg(out.fileName()));
        return false;
    }
    // Most Linux file systems cannot set a birth time; the modification time is what counts.
    out.setFileTime(QDateTime::fromMSecsSinceEpoch(header.birthTimeMs), QFileDevice::FileBirthTime);
    out.setFileTime(QDateTime::fromMSecsSinceEpoch(header.lastModifiedMs),
                    QFileDevice::FileModificationTime);
    out.close();
    if (m_memberWritten)
        m_memberWritten(out.fileName());
    return true;
}
