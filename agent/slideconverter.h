#pragma once
// Turns a presentation (.ppt, .pptx, .odp...) into a PDF with LibreOffice, into a cache keyed
// by the file's content, so that opening the same file again needs no conversion. A PDF is
// used as it is. LibreOffice runs headless with a profile of its own inside the cache, so a
// running office suite of the teacher is neither used nor disturbed; one conversion at a time
// uses that profile (a lock file). Main thread only; the conversion is a child process.
#include "core/slides/slideprotocol.h"

#include <QElapsedTimer>
#include <QObject>
#include <QProcess>
#include <QTimer>

#include <memory>

class QLockFile;

class SlideConverter : public QObject
{
    Q_OBJECT
public:
    explicit SlideConverter(QObject *parent = nullptr);
    ~SlideConverter() override;

    // The cache: "cache/slides" in the program's cache folder (AppPaths): beside the program
    // in a build tree or portable copy, ~/.cache/lumora/ for an installed one.
    static QString cacheDir();
    // The LibreOffice program, empty when none is installed. LUMORA_SOFFICE, when set, names
    // it instead (an unusual installation, or a test).
    static QString sofficeProgram();
    // How long a conversion may run: 180 s, or LUMORA_CONVERT_TIMEOUT_MS when set.
    static int convertTimeoutMs();

    // Starts; finished or failed follows (also when the answer is known at once).
    void start(const QString &sourcePath);
    // Ends a running conversion; nothing is emitted afterwards.
    void cancel();
    // True when the last start was answered from the cache (or the file was a PDF).
    bool usedCache() const { return m_usedCache; }

signals:
    // While LibreOffice runs, every 500 ms: the time since the conversion began.
    void progress(qint64 elapsedMs);
    void finished(const QString &pdfPath);
    // `exitCode` is the agent's exit status for this failure (SlideProtocol::AgentExit).
    void failed(int exitCode, const QString &message);

private:
    void tryLockAndConvert();
    void onConvertFinished(int exitCode, QProcess::ExitStatus status);
    void fail(const QString &message, int exitCode = SlideProtocol::kExitUnreadable);
    void cleanUp();

    QString m_source;
    QString m_cachedPdf;
    QString m_workDir;
    bool m_usedCache = false;
    QProcess *m_process = nullptr;
    std::unique_ptr<QLockFile> m_lock;
    QTimer m_lockTimer;
    QTimer m_progressTimer;
    QTimer m_timeout;
    QElapsedTimer m_clock;
};
