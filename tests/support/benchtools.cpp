#include "support/benchtools.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QPainter>
#include <QProcess>
#include <QRect>
#include <QTimer>

#include <cstdio>
#include <ctime>
#include <sys/resource.h>

namespace BenchTools {

bool optionValue(const QStringList &args, const QString &option, const char *usage, QString *value)
{
    value->clear();
    const qsizetype at = args.indexOf(option);
    if (at < 0)
        return true;
    if (at + 1 >= args.size()) {
        std::fprintf(stderr, "%s\n", usage);
        return false;
    }
    *value = args.at(at + 1);
    return true;
}

int benchmarkOrScreenshots(const QStringList &args, const QString &option, const char *usage,
                           const std::function<int()> &benchmark,
                           const std::function<int(const QString &)> &screenshots)
{
    QString value;
    if (!optionValue(args, option, usage, &value))
        return 2;
    return value.isEmpty() ? benchmark() : screenshots(value);
}

namespace {

int severity(QtMsgType type)
{
    switch (type) {
    case QtDebugMsg: return 0;
    case QtInfoMsg: return 1;
    case QtWarningMsg: return 2;
    case QtCriticalMsg: return 3;
    case QtFatalMsg: return 4;
    }
    return 4;
}

QtMsgType g_lowest = QtDebugMsg;

void printFromLowest(QtMsgType type, const QMessageLogContext &, const QString &text)
{
    if (severity(type) >= severity(g_lowest))
        std::fprintf(stderr, "%s\n", qPrintable(text));
}

}  // namespace

void printMessagesFrom(QtMsgType lowest)
{
    g_lowest = lowest;
    qInstallMessageHandler(printFromLowest);
}

double childCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double ownCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

ChildRun runChild(const QString &program, const QStringList &args, int timeoutMs,
                  const std::function<void(const QByteArray &)> &onLine)
{
    ChildRun run;
    const double before = childCpuSeconds();
    QProcess p;
    p.setProcessChannelMode(onLine ? QProcess::ForwardedErrorChannel : QProcess::ForwardedChannels);
    QEventLoop loop;
    QObject::connect(&p, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(&p, &QProcess::errorOccurred, &loop, &QEventLoop::quit);
    if (onLine)
        QObject::connect(&p, &QProcess::readyReadStandardOutput, &loop, [&]() {
            while (p.canReadLine())
                onLine(p.readLine());
        });
    p.start(program, args);
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
    run.ended = p.state() == QProcess::NotRunning;
    if (!run.ended) {
        p.kill();
        p.waitForFinished();
    }
    run.cpuSeconds = childCpuSeconds() - before;
    return run;
}

double cliStillScreenCpuPerSecond(int seconds, const QString &crf, int threads,
                                  const QString &outFile)
{
    const QString display = QString::fromLocal8Bit(qgetenv("DISPLAY"));
    QStringList grab{"-nostdin",     "-v",
                     "error",        "-y",
                     "-f",           "x11grab",
                     "-framerate",   "30",
                     "-draw_mouse",  "1",
                     "-video_size",  "1920x1080",
                     "-i",           display + "+0,0",
                     "-f",           "pulse",
                     "-sample_rate", "44100",
                     "-channels",    "2",
                     "-i",           "lumora_mic",
                     "-t",           QString::number(seconds)};
    grab += encoderArguments(crf);
    grab += {"-threads", QString::number(threads), outFile};
    const ChildRun run = runChild("ffmpeg", grab, (seconds + 100) * 1000);
    return run.ended && QFileInfo(outFile).size() > 0 ? run.cpuSeconds / seconds : -1;
}

QStringList encoderArguments(const QString &crf)
{
    return {"-c:v",       "libx264", "-preset",  "veryfast", "-tune", "zerolatency",
            "-profile:v", "main",    "-crf",     crf,        "-g",    "50",
            "-bf",        "0",       "-pix_fmt", "yuv420p",  "-c:a",  "aac",
            "-b:a",       "192k",    "-ar",      "44100",    "-ac",   "2"};
}

qint64 monotonicUs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

void paintMovingBars(QPainter &painter, const QRect &area)
{
    painter.fillRect(area, QColor(20, 20, 60));
    const int shift = int(monotonicUs() / 4000 % 1920);
    for (int i = 0; i < 12; ++i)
        painter.fillRect((shift + i * 160) % 1920, 200 + (i % 3) * 200, 80, 400,
                         QColor::fromHsv(i * 30, 200, 200));
}

}  // namespace BenchTools
