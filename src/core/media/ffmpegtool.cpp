#include "core/media/ffmpegtool.h"

#include <QCoreApplication>
#include <QDebug>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QThread>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>

namespace {

// First come, first served counting gate for the tool processes.
class ToolGate
{
public:
    explicit ToolGate(int limit) : m_limit(limit < 1 ? 1 : limit) {}

    // False when `cancel` turned true while waiting.
    bool acquire(const std::atomic_bool *cancel)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        const quint64 ticket = m_nextTicket++;
        m_waiting.push_back(ticket);
        m_changed.wait(lock, [&] {
            return (cancel && cancel->load()) ||
                   (m_waiting.front() == ticket && m_running < m_limit);
        });
        const bool cancelled =
            cancel && cancel->load() && !(m_waiting.front() == ticket && m_running < m_limit);
        m_waiting.erase(std::find(m_waiting.begin(), m_waiting.end(), ticket));
        if (!cancelled)
            ++m_running;
        // The next in line may fit now.
        m_changed.notify_all();
        return !cancelled;
    }

    // Under the lock: a waiter that has just found its cancel flag false is then already
    // waiting, and sees the flag set before this call.
    void wakeAll()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_changed.notify_all();
    }

    void release()
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            --m_running;
        }
        m_changed.notify_all();
    }

    int limit() const { return m_limit; }

private:
    const int m_limit;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<quint64> m_waiting;
    quint64 m_nextTicket = 0;
    int m_running = 0;
};

std::atomic<quint64> g_started{0};

// Never destroyed: a tool run on a pool thread (the project cover after an open, say) may
// still be waiting for its turn or running while the program ends and its statics go.
ToolGate &gate()
{
    static ToolGate *g = new ToolGate(QThread::idealThreadCount());
    return *g;
}

}  // namespace

QString FfmpegTool::program()
{
    const QString local = QCoreApplication::applicationDirPath() + QStringLiteral("/ffmpeg");
    const QFileInfo info(local);
    if (QCoreApplication::instance() && info.isFile() && info.isExecutable())
        return local;
    return QStringLiteral("ffmpeg");
}

int FfmpegTool::maxRunning()
{
    return gate().limit();
}

void FfmpegTool::wakeWaiters()
{
    gate().wakeAll();
}

quint64 FfmpegTool::startedCount()
{
    return g_started.load();
}

FfmpegTool::Slot::Slot(const std::atomic_bool *cancel) : m_acquired(gate().acquire(cancel)) {}

FfmpegTool::Slot::~Slot()
{
    if (m_acquired)
        gate().release();
}

FfmpegTool::Result FfmpegTool::run(const QStringList &args, int timeoutMs,
                                   const OutputHandler &onOutput, const std::atomic_bool *cancel)
{
    Result result;
    Slot slot(cancel);
    if (!slot.acquired()) {
        result.errorString = QStringLiteral("cancelled");
        return result;
    }

    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    if (onOutput) {
        // waitForFinished() reads the pipe on this thread and emits readyRead from there, so a
        // direct connection hands every chunk over as it arrives.
        QObject::connect(
            &process, &QProcess::readyReadStandardOutput, &process,
            [&process, &onOutput] { onOutput(process.readAllStandardOutput()); },
            Qt::DirectConnection);
    }
    process.start(program(), args, QIODevice::ReadWrite);
    if (!process.waitForStarted(30000)) {
        result.errorString = process.errorString();
        qWarning() << "ffmpeg tool failed to start:" << program() << result.errorString;
        return result;
    }
    result.started = true;
    ++g_started;
    // Nothing is ever typed into the tool; an open stdin only invites it to wait for keys.
    process.closeWriteChannel();

    bool finished = false;
    if (!cancel) {
        finished = process.waitForFinished(timeoutMs);
    } else {
        // Wait in short steps so that a cancel is seen while the tool runs.
        QElapsedTimer clock;
        clock.start();
        while (!finished && !cancel->load() && clock.elapsed() < timeoutMs) {
            const int step = int(qMin<qint64>(100, timeoutMs - clock.elapsed()));
            finished =
                process.waitForFinished(qMax(1, step)) || process.state() == QProcess::NotRunning;
        }
    }
    if (!finished) {
        result.errorString =
            cancel && cancel->load() ? QStringLiteral("cancelled") : process.errorString();
        qWarning() << "ffmpeg tool stopped after" << timeoutMs
                   << "ms or on cancel:" << result.errorString;
        process.kill();
        process.waitForFinished(10000);
        return result;
    }
    if (onOutput) {
        const QByteArray rest = process.readAllStandardOutput();
        if (!rest.isEmpty())
            onOutput(rest);
    }
    result.finished = true;
    result.exitStatus = process.exitStatus();
    result.exitCode = process.exitCode();
    return result;
}
