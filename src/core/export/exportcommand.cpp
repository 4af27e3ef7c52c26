#include "core/export/exportcommand.h"

#include "core/export/exportloudness.h"
#include "core/export/exportmanager.h"
#include "core/storage/lsnfileio.h"
#include "core/storage/lsnpacker.h"
#include "core/storage/projectindex.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QSocketNotifier>
#include <QTemporaryDir>

extern "C" {
#include <libavutil/log.h>
}

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

// The texts of this file, in the translation context "ExportCommand".
struct ExportCommandText
{
    Q_DECLARE_TR_FUNCTIONS(ExportCommand)
};

QString clock(qint64 seconds)
{
    if (seconds < 0)
        return QStringLiteral("--:--");
    if (seconds >= 3600)
        return QStringLiteral("%1:%2:%3")
            .arg(seconds / 3600)
            .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
            .arg(seconds % 60, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1:%2")
        .arg(seconds / 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

// SIGINT and SIGTERM reach the event loop through a pipe: the handler only writes one byte.
int g_signalPipe[2] = {-1, -1};

void onStopSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = write(g_signalPipe[1], &byte, 1);
}

class StopSignals
{
public:
    StopSignals()
    {
        if (pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
            return;
        struct sigaction action = {};
        action.sa_handler = onStopSignal;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &m_oldInt);
        sigaction(SIGTERM, &action, &m_oldTerm);
        m_installed = true;
    }
    ~StopSignals()
    {
        if (!m_installed)
            return;
        sigaction(SIGINT, &m_oldInt, nullptr);
        sigaction(SIGTERM, &m_oldTerm, nullptr);
        close(g_signalPipe[0]);
        close(g_signalPipe[1]);
        g_signalPipe[0] = g_signalPipe[1] = -1;
    }
    int readEnd() const { return m_installed ? g_signalPipe[0] : -1; }

private:
    bool m_installed = false;
    struct sigaction m_oldInt = {};
    struct sigaction m_oldTerm = {};
};

// The clips of the unpacked project in `dir`; false with a reason when they cannot be used.
bool readClips(const QString &dir, QList<AVData> *clips, QString *error)
{
    QList<QJsonObject> objects;
    if (!readProjectIndexFile(dir + QStringLiteral("/pro.lsnc"), &objects, error))
        return false;
    for (const QJsonObject &object : objects) {
        AVData clip = AVData::fromJson(object);
        // A clip names a file inside the project, never one elsewhere on the machine.
        if (!isPlainMemberName(clip.fileName)) {
            *error = ExportCommandText::tr("片段文件名无效：%1").arg(clip.fileName);
            return false;
        }
        clip.filePath = QStringLiteral("%1/%2").arg(dir, clip.fileName);
        clips->append(clip);
    }
    if (clips->isEmpty()) {
        *error = ExportCommandText::tr("项目中没有片段");
        return false;
    }
    return true;
}

}  // namespace

int runExportCommand(const QString &file, const QString &out, QTextStream &progress,
                     QTextStream &err, bool progressIsTerminal, std::optional<double> loudnessLufs)
{
    auto failure = [&](const QString &reason) {
        err << ExportCommandText::tr("导出失败：%1").arg(reason) << Qt::endl;
        return 2;
    };
    if (!QFileInfo(file).isFile())
        return failure(ExportCommandText::tr("无法打开文件 %1").arg(file));

    QTemporaryDir workDir(QDir::tempPath() + QStringLiteral("/lumora-export-XXXXXX"));
    if (!workDir.isValid())
        return failure(ExportCommandText::tr("无法创建临时文件夹"));
    const QString projectDir = workDir.path() + QStringLiteral("/project");
    LsnPacker packer;
    if (!packer.uncompressFile(file, projectDir))
        return failure(
            ExportCommandText::tr("无法打开课件文件 %1：%2").arg(file, packer.errorText()));
    QList<AVData> clips;
    QString error;
    if (!readClips(projectDir, &clips, &error))
        return failure(ExportCommandText::tr("无法打开课件文件 %1：%2").arg(file, error));

    StopSignals stopSignals;
    ExportManager manager;
    QEventLoop loop;
    int status = 2;
    int maxSeconds = 0;
    int lastPercent = -1;
    QElapsedTimer elapsed;
    elapsed.start();

    auto show = [&](int seconds) {
        const int percent = maxSeconds > 0 ? qBound(0, seconds * 100 / maxSeconds, 100) : 0;
        if (!progressIsTerminal && percent == lastPercent)
            return;
        lastPercent = percent;
        const qint64 spent = elapsed.elapsed() / 1000;
        const qint64 left =
            seconds > 0 ? qint64(double(spent) * (maxSeconds - seconds) / seconds) : -1;
        const QString line = ExportCommandText::tr("导出 %1%  已用 %2  剩余 %3")
                                 .arg(percent, 3)
                                 .arg(clock(spent), clock(left));
        if (progressIsTerminal)
            progress << '\r' << line << "\x1b[K" << Qt::flush;
        else
            progress << line << Qt::endl;
    };
    auto endProgressLine = [&] {
        if (progressIsTerminal && lastPercent >= 0)
            progress << Qt::endl;
    };

    QObject::connect(&manager, &ExportManager::sig_ExportMaxProgress, &loop, [&](int seconds) {
        maxSeconds = seconds;
        show(0);
    });
    QObject::connect(&manager, &ExportManager::sig_ExportProgress, &loop, show);
    QObject::connect(&manager, &ExportManager::sig_ExportFinished, &loop, [&](bool ok) {
        if (ok)
            show(maxSeconds);
        endProgressLine();
        if (ok) {
            progress << ExportCommandText::tr("已导出：%1").arg(out) << Qt::endl;
            status = 0;
        } else {
            status = failure(manager.errorText());
        }
        loop.quit();
    });
    QObject::connect(&manager, &ExportManager::sig_ExportCanceled, &loop, [&] {
        endProgressLine();
        err << ExportCommandText::tr("已取消导出") << Qt::endl;
        status = 130;
        loop.quit();
    });
    std::unique_ptr<QSocketNotifier> notifier;
    if (stopSignals.readEnd() >= 0) {
        notifier = std::make_unique<QSocketNotifier>(stopSignals.readEnd(), QSocketNotifier::Read);
        QObject::connect(notifier.get(), &QSocketNotifier::activated, &loop, [&] {
            char byte;
            while (read(stopSignals.readEnd(), &byte, 1) > 0) {
            }
            manager.cancelExport();
        });
    }

    manager.setLoudness(loudnessLufs);
    manager.exportClipsToFile(clips, out);
    loop.exec();
    return status;
}

int runExportCommandLine(const QStringList &arguments)
{
    // Standard error carries the one line of a failure and nothing else.
    QLoggingCategory::setFilterRules(
        QStringLiteral("*.debug=false\n*.info=false\n*.warning=false"));
    av_log_set_level(AV_LOG_QUIET);
    QTextStream out(stdout), err(stderr);
    QStringList files = arguments;
    std::optional<double> loudnessLufs = loudness::kTargetLufs;
    const qsizetype off = files.indexOf(QStringLiteral("--no-loudness"));
    if (off >= 0) {
        files.removeAt(off);
        loudnessLufs.reset();
    }
    const qsizetype level = files.indexOf(QStringLiteral("--loudness"));
    if (level >= 0 && level + 1 < files.size()) {
        const QString value = files.at(level + 1);
        files.remove(level, 2);
        bool number = false;
        const double lufs = value.toDouble(&number);
        if (!loudnessLufs) {
            err << ExportCommandText::tr("--loudness 和 --no-loudness 不能同时使用") << Qt::endl;
            return 2;
        }
        if (!number || lufs < loudness::kLowestLufs || lufs > loudness::kHighestLufs) {
            err << ExportCommandText::tr("--loudness 的值应是 %1 到 %2 之间的数（LUFS），"
                                         "而不是“%3”")
                       .arg(loudness::kLowestLufs)
                       .arg(loudness::kHighestLufs)
                       .arg(value)
                << Qt::endl;
            return 2;
        }
        loudnessLufs = lufs;
    }
    if (files.size() != 4) {
        err << ExportCommandText::tr("用法：lumora_record --export 课件文件.lsn 输出文件.mp4 "
                                     "[--loudness LUFS | --no-loudness]")
            << Qt::endl;
        return 2;
    }
    return runExportCommand(files.at(2), files.at(3), out, err, isatty(STDOUT_FILENO),
                            loudnessLufs);
}
