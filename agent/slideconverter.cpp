#include "slideconverter.h"

#include "core/platform/apppaths.h"

#include <poppler-qt6.h>

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>

#include <signal.h>
#include <unistd.h>

namespace {

// A conversion that runs longer than this is ended and reported as failed.
constexpr int kConvertTimeoutMs = 180000;

enum class Kind { Unknown, Pdf, Presentation };

Kind kindOf(const QByteArray &head)
{
    if (head.startsWith("%PDF-"))
        return Kind::Pdf;
    // .pptx, .ppsx and .odp are zip archives; .ppt and .pps are OLE compound files.
    if (head.startsWith(QByteArray("PK\x03\x04", 4)) ||
        head.startsWith(QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8)))
        return Kind::Presentation;
    return Kind::Unknown;
}

bool isReadablePdf(const QString &path)
{
    std::unique_ptr<Poppler::Document> document = Poppler::Document::load(path);
    return document && !document->isLocked() && document->numPages() > 0;
}

}  // namespace

SlideConverter::SlideConverter(QObject *parent) : QObject(parent)
{
    m_lockTimer.setInterval(200);
    connect(&m_lockTimer, &QTimer::timeout, this, &SlideConverter::tryLockAndConvert);
    m_progressTimer.setInterval(500);
    connect(&m_progressTimer, &QTimer::timeout, this,
            [this]() { emit progress(m_clock.elapsed()); });
    m_timeout.setSingleShot(true);
    connect(&m_timeout, &QTimer::timeout, this, [this]() {
        fail(tr("转换演示文稿超时：%1").arg(QDir::toNativeSeparators(m_source)),
             SlideProtocol::kExitConvertTimedOut);
    });
}

SlideConverter::~SlideConverter()
{
    cancel();
}

QString SlideConverter::cacheDir()
{
    return AppPaths::filePath(AppPaths::Kind::Cache, QStringLiteral("cache/slides"));
}

QString SlideConverter::sofficeProgram()
{
    if (qEnvironmentVariableIsSet("LUMORA_SOFFICE")) {
        const QString chosen = qEnvironmentVariable("LUMORA_SOFFICE");
        return QFileInfo(chosen).isExecutable() ? chosen : QString();
    }
    QString program = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    if (program.isEmpty() &&
        QFileInfo::exists(QStringLiteral("/usr/lib/libreoffice/program/soffice")))
        program = QStringLiteral("/usr/lib/libreoffice/program/soffice");
    return program;
}

int SlideConverter::convertTimeoutMs()
{
    bool ok = false;
    const int chosen = qEnvironmentVariableIntValue("LUMORA_CONVERT_TIMEOUT_MS", &ok);
    return ok && chosen > 0 ? chosen : kConvertTimeoutMs;
}

void SlideConverter::start(const QString &sourcePath)
{
    cancel();
    m_source = QFileInfo(sourcePath).absoluteFilePath();
    m_usedCache = false;
    QFile file(m_source);
    if (!QFileInfo(m_source).isFile() || !file.open(QIODevice::ReadOnly)) {
        fail(tr("无法打开文件：%1").arg(QDir::toNativeSeparators(m_source)));
        return;
    }
    const Kind kind = kindOf(file.peek(8));
    if (kind == Kind::Unknown) {
        fail(tr("文件不是演示文稿：%1").arg(QDir::toNativeSeparators(m_source)));
        return;
    }
    if (kind == Kind::Pdf) {
        m_usedCache = true;
        const QString pdf = m_source;
        QMetaObject::invokeMethod(
            this, [this, pdf]() { emit finished(pdf); }, Qt::QueuedConnection);
        return;
    }
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file)) {
        fail(tr("无法打开文件：%1").arg(QDir::toNativeSeparators(m_source)));
        return;
    }
    const QString dir = cacheDir();
    if (!QDir().mkpath(dir)) {
        fail(tr("无法创建缓存文件夹：%1").arg(QDir::toNativeSeparators(dir)));
        return;
    }
    m_cachedPdf = dir + QLatin1Char('/') + QString::fromLatin1(hash.result().toHex()) +
                  QStringLiteral(".pdf");
    if (QFileInfo::exists(m_cachedPdf)) {
        if (isReadablePdf(m_cachedPdf)) {
            m_usedCache = true;
            qInfo().noquote() << "使用缓存：" << m_cachedPdf;
            const QString pdf = m_cachedPdf;
            QMetaObject::invokeMethod(
                this, [this, pdf]() { emit finished(pdf); }, Qt::QueuedConnection);
            return;
        }
        QFile::remove(m_cachedPdf);
    }
    if (sofficeProgram().isEmpty()) {
        fail(tr("未找到 LibreOffice，无法转换演示文稿"), SlideProtocol::kExitNoLibreOffice);
        return;
    }
    m_clock.start();
    emit progress(0);
    m_progressTimer.start();
    m_timeout.start(convertTimeoutMs());
    m_lock = std::make_unique<QLockFile>(dir + QStringLiteral("/libreoffice.lock"));
    // A conversion whose agent was killed leaves its lock; it is taken over after a while.
    m_lock->setStaleLockTime(kConvertTimeoutMs + 10000);
    tryLockAndConvert();
}

void SlideConverter::tryLockAndConvert()
{
    if (!m_lock)
        return;
    if (!m_lock->tryLock(0)) {
        m_lockTimer.start();
        return;
    }
    m_lockTimer.stop();
    const QString dir = cacheDir();
    QTemporaryDir work(dir + QStringLiteral("/convert-XXXXXX"));
    if (!work.isValid()) {
        fail(tr("无法创建缓存文件夹：%1").arg(QDir::toNativeSeparators(dir)));
        return;
    }
    work.setAutoRemove(false);
    m_workDir = work.path();
    // The presentation export filter: a file LibreOffice reads as something other than a
    // presentation (text, a spreadsheet) is refused instead of shown.
    const QStringList arguments = {
        QStringLiteral("-env:UserInstallation=") +
            QUrl::fromLocalFile(dir + QStringLiteral("/profile")).toString(),
        QStringLiteral("--headless"),
        QStringLiteral("--invisible"),
        QStringLiteral("--norestore"),
        QStringLiteral("--nologo"),
        QStringLiteral("--nolockcheck"),
        QStringLiteral("--convert-to"),
        QStringLiteral("pdf:impress_pdf_Export"),
        QStringLiteral("--outdir"),
        m_workDir,
        m_source,
    };
    m_process = new QProcess(this);
    // A group of its own: LibreOffice starts helper processes, which are ended with it.
    m_process->setChildProcessModifier([]() { ::setpgid(0, 0); });
    m_process->setProcessChannelMode(QProcess::MergedChannels);
    connect(m_process, &QProcess::finished, this, &SlideConverter::onConvertFinished);
    connect(m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            fail(tr("无法启动 LibreOffice：%1").arg(m_process->errorString()),
                 SlideProtocol::kExitNoLibreOffice);
    });
    qInfo().noquote() << "soffice" << arguments.join(QLatin1Char(' '));
    m_process->start(sofficeProgram(), arguments);
}

void SlideConverter::onConvertFinished(int exitCode, QProcess::ExitStatus status)
{
    const QString output = QString::fromLocal8Bit(m_process->readAll()).trimmed();
    if (!output.isEmpty())
        qInfo().noquote() << "soffice:" << output;
    QString pdf;
    const QFileInfoList made =
        QDir(m_workDir).entryInfoList({QStringLiteral("*.pdf")}, QDir::Files);
    if (status == QProcess::NormalExit && exitCode == 0 && made.size() == 1)
        pdf = made.first().absoluteFilePath();
    if (pdf.isEmpty() || !isReadablePdf(pdf)) {
        fail(tr("无法转换演示文稿：%1").arg(QDir::toNativeSeparators(m_source)));
        return;
    }
    // Renamed into place only when complete, so the cache never holds a partial file.
    QFile::remove(m_cachedPdf);
    if (!QFile::rename(pdf, m_cachedPdf)) {
        fail(tr("无法写入缓存：%1").arg(QDir::toNativeSeparators(m_cachedPdf)));
        return;
    }
    const QString result = m_cachedPdf;
    cleanUp();
    emit finished(result);
}

void SlideConverter::fail(const QString &message, int exitCode)
{
    cleanUp();
    emit failed(exitCode, message);
}

void SlideConverter::cancel()
{
    cleanUp();
}

void SlideConverter::cleanUp()
{
    m_lockTimer.stop();
    m_progressTimer.stop();
    m_timeout.stop();
    if (m_process) {
        m_process->disconnect(this);
        if (m_process->state() != QProcess::NotRunning) {
            if (m_process->processId() > 0)
                ::kill(-static_cast<pid_t>(m_process->processId()), SIGKILL);
            m_process->kill();
            m_process->waitForFinished(3000);
        }
        m_process->deleteLater();
        m_process = nullptr;
    }
    if (!m_workDir.isEmpty()) {
        QDir(m_workDir).removeRecursively();
        m_workDir.clear();
    }
    m_lock.reset();
}
