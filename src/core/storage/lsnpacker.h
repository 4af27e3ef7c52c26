#pragma once
// Packing a list of files into a packed project file and unpacking one into a folder (layout
// in lsnfileio.h), reporting progress as bytes of file contents copied.
//
// Progress: the byte counter is 64-bit. The int signals carry the counter and the total both
// shifted right by the same number of bits, the smallest shift that brings the total into
// int range (0 below 2 GiB, so small projects see plain byte counts). The counter is clamped
// to the total before the shift, so the progress values never fall and end exactly at the
// maximum, which is emitted once more when a pack or unpack completes.
//
// Unpacking never touches the target folder until the whole file has been read and checked:
// members go into a new folder beside it ("<folder>.unpack-XXXXXX"), which replaces the target
// only on success. A failed unpack leaves the target as it was.
//
// Threads: the pack and unpack functions run on one worker thread at a time (they emit the
// progress signals from there); construct and destroy on the main thread.
#include <QFileInfoList>
#include <QObject>
#include <QSet>
#include <QString>

#include <atomic>
#include <functional>

class LsnFileIo;

class LsnPacker : public QObject
{
    Q_OBJECT
public:
    explicit LsnPacker(QObject *parent = nullptr);

    // Writes a packed file at outPath from the plain files of `files` (folders, "." and ".."
    // are skipped). False, with outPath removed, when nothing is left to pack, two files share
    // a name, or any file cannot be read or written whole.
    bool compressFiles(const QFileInfoList &files, const QString &outPath);
    // Appends one member (header, contents, end marker) to an open packed file.
    bool compressForFile(const QFileInfo &fileInfo, LsnFileIo &out);

    // Unpacks filePath into outDir, replacing what outDir held only when the whole file was
    // good. outDir is created when missing.
    bool uncompressFile(const QString &filePath, const QString &outDir);
    // Reads the pack header and every member from `in`, positioned after the identifier, into
    // the existing folder `dir`. The member count must match the header in both directions.
    bool uncompressForFiles(LsnFileIo &in, const QString &dir);
    // Reads one member into `dir`; its name must be plain and not seen before in this pack.
    bool uncompressForFile(LsnFileIo &in, const QString &dir);

    // The maximum the running or last pack or unpack announced (sig_UpdateMaxProgress), for a
    // receiver connected after it began; any thread.
    int progressMaximum() const { return m_maximumSent.load(); }

    // Why the last pack or unpack failed, for the user; empty after a success.
    QString errorText() const { return m_errorText; }

signals:
    void sig_UpdateMaxProgress(int maxProgress);
    void sig_UpdateProgress(int progress);

protected:
    // Unpacks into a new folder beside outDir; `check` (when set) gets that folder before it
    // replaces outDir and may refuse it. `written` (when set) gets the path of each member in
    // that folder as soon as the member is whole, in the order of the file.
    bool unpackAndReplace(const QString &filePath, const QString &outDir,
                          const std::function<bool(const QString &unpackedDir)> &check,
                          const std::function<void(const QString &memberPath)> &written = {});
    void setErrorText(const QString &text);
    // The message names `shown` where it named `actual`, a file of the program's own.
    void showPathInError(const QString &actual, const QString &shown)
    {
        m_errorText.replace(actual, shown);
    }
    // Moves `fresh` to `target`, removing what was at `target` only after the move worked.
    static bool replaceFolder(const QString &fresh, const QString &target);

private:
    void startProgress(qint64 total);
    void addProgress(qint64 bytes);
    void emitProgress();
    void finishProgress();

    qint64 m_byteCount = 0;
    qint64 m_progressTotal = 0;
    int m_progressShift = 0;
    int m_piecesSinceProgress = 0;
    QSet<QString> m_memberNames;
    std::function<void(const QString &)> m_memberWritten;
    std::atomic<int> m_maximumSent{0};
    QString m_errorText;
};
