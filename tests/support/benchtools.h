#pragma once
// What the benchmarks under bench/ share: their command line, the processor time of the
// programs they start, the middle of their rounds, the ffmpeg tool's encoder settings they
// compare with, and the moving picture their recordings look at. Main thread.
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <algorithm>
#include <functional>

class QPainter;
class QRect;

namespace BenchTools {

// The word after `option` among `args`, in `value` (left empty when `option` is not there).
// False, with `usage` printed on stderr, when `option` is the last word.
bool optionValue(const QStringList &args, const QString &option, const char *usage, QString *value);

// Runs `screenshots` with the word after `option` when `args` hold `option`, else `benchmark`;
// 2, with `usage` printed on stderr, when `option` is the last word.
int benchmarkOrScreenshots(const QStringList &args, const QString &option, const char *usage,
                           const std::function<int()> &benchmark,
                           const std::function<int(const QString &)> &screenshots);

// From now on the log messages of `lowest` and more severe (debug < info < warning < critical
// < fatal) go to stderr, the others nowhere.
void printMessagesFrom(QtMsgType lowest);

// Processor time (user + system) of the ended child processes so far, in seconds.
double childCpuSeconds();
// Processor seconds this process used so far (all its threads).
double ownCpuSeconds();

struct ChildRun
{
    double cpuSeconds = 0;  // processor time of the child (and the children it waited for)
    bool ended = false;     // false: killed after the time limit
};
// Runs `program` to its end (killed after `timeoutMs`) while the event loop runs. Its stderr
// goes to ours; so does its stdout, unless `onLine` takes each line of it.
ChildRun runChild(const QString &program, const QStringList &args, int timeoutMs,
                  const std::function<void(const QByteArray &)> &onLine = {});

// The value at fraction `p` (0..1) of the sorted `values` (the upper one of two in the middle
// for 0.5); -1 when there are none.
template <typename T> T percentile(QList<T> values, double p)
{
    if (values.isEmpty())
        return T(-1);
    std::sort(values.begin(), values.end());
    return values.at(std::min<qsizetype>(values.size() - 1, qsizetype(p * values.size())));
}
template <typename T> T median(const QList<T> &values)
{
    return percentile(values, 0.5);
}

// The ffmpeg tool's output arguments that encode as the program's recorder and export do:
// libx264 veryfast tuned for zero latency, main profile, constant rate factor `crf`, a key
// picture every 50, no B pictures, yuv420p; AAC at 192 kb/s, 44100 Hz stereo.
QStringList encoderArguments(const QString &crf);
// Processor seconds per second of the ffmpeg tool grabbing the still 1920x1080 screen 30 times
// a second with the microphone ("lumora_mic") for `seconds`, encoded with encoderArguments(crf)
// on `threads` threads into `outFile`: what a recording of a still board or slide is set
// against. -1 when the tool failed.
double cliStillScreenCpuPerSecond(int seconds, const QString &crf, int threads,
                                  const QString &outFile);

// The monotonic clock in microseconds.
qint64 monotonicUs();

// Coloured bars over a dark blue `area` that move to the right (a screen's width every 7.7 s),
// as a screen showing moving content for a recording.
void paintMovingBars(QPainter &painter, const QRect &area);

}  // namespace BenchTools
