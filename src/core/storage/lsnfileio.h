#pragma once
// The packed project file ("*.lsn"): records back to back, each a 32-bit little-endian byte
// count followed by that many bytes. Headers and markers are compressed records (the bytes are
// qCompress(text, 2): a 32-bit big-endian length and a zlib stream); file contents are plain
// records of at most 20480 bytes.
//
//   identifier  compressed  "lumora_record"
//   pack header compressed  {"allFileSize":N,"fileCount":N}
//   per member: compressed  {"birthTime":ms,"fileName":"x","fileSize":N,"lastModified":ms,"type":"file"}
//               plain...    the contents, in pieces of 20480 bytes (an empty file has none)
//               compressed  "file write end"
//
// Reading never trusts a length: a record that runs past the end of the file, a compressed
// record that claims more than a header can hold, or a stream that inflates to a different
// length sets recordError() and reads as empty. Nothing is allocated beyond what the file
// itself holds (and never more than one piece or one header at a time).
//
// One LsnFileIo is used by one thread at a time.
#include <QFile>
#include <QJsonObject>
#include <QSet>
#include <QString>

struct LsnMemberHeader
{
    QString fileName;
    qint64 fileSize = 0;
    qint64 birthTimeMs = 0;
    qint64 lastModifiedMs = 0;
};

class LsnFileIo : public QFile
{
public:
    static constexpr int kPieceSize = 20480;
    // Largest compressed record and largest inflated header a reader accepts. Headers are a few
    // hundred bytes; a member name is at most 255 bytes on the file systems we write to.
    static constexpr int kMaxHeaderBytes = 64 * 1024;

    static QByteArray identifier() { return QByteArrayLiteral("lumora_record"); }
    static QByteArray endMarker() { return QByteArrayLiteral("file write end"); }

    explicit LsnFileIo(const QString &name);

    // Plain record. False when the device did not take every byte.
    bool writeByteArray(const QByteArray &bytes);
    bool writeByteArray(const char *data, qint32 length);
    // Reads one plain record of 1..maxLength bytes. A short count, a count that is not
    // positive, above maxLength or past the end of the file gives an empty result and sets
    // recordError().
    QByteArray readByteArray(qint64 maxLength = kPieceSize);
    // The same into a caller's buffer of at least maxLength bytes; returns the count or -1.
    qint64 readByteArray(char *buffer, qint64 maxLength);
    // Reads the 4-byte count of a plain record of 1..maxLength bytes and seeks past its bytes;
    // returns the count, or -1 (and sets recordError()) under the same rules as readByteArray.
    qint64 skipByteArray(qint64 maxLength = kPieceSize);

    // Compressed record: qCompress(bytes, 2) written as a plain record.
    bool writeCompressByteArray(const QByteArray &bytes);
    // Reads a compressed record; a corrupt one is logged ("qUncompress error:"), sets
    // recordError() and reads as empty.
    QByteArray readCompressByteArray();

    bool recordError() const { return !m_error.isEmpty(); }
    // What went wrong, in words for the user ("文件已截断" ...); empty when nothing did.
    QString errorText() const { return m_error; }
    void setRecordError(const QString &text);

    // Bytes between the current position and the end of the file.
    qint64 bytesLeft() const;

    // The higher-level reads shared by the unpacker and `--info`. Each returns false (and sets
    // recordError() with the reason) on anything the layout does not allow.
    bool readIdentifier();
    // "fileCount" must be positive; "allFileSize" must not be negative.
    bool readPackHeader(int *fileCount, qint64 *allFileSize);
    // A member header with a plain name not in `seenNames` (the name is added), a size that
    // the rest of the file can hold, and times as stored.
    bool readMemberHeader(LsnMemberHeader *header, QSet<QString> *seenNames);
    bool readEndMarker();

private:
    QString m_error;
};

// Longest member name in bytes of the file system's encoding, as Linux file systems allow.
constexpr int kMaxMemberNameBytes = 255;

// A member name that unpacks to a file directly inside the working folder: not empty, not
// "." or "..", no "/", "\\" or NUL, and not longer than a file name may be.
bool isPlainMemberName(const QString &name);
