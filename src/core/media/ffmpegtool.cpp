#include "core/media/ffmpegtool.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFileInfo>
#include <QThread>

#include <condition_variable>
#include <deque>
#include <mutex>

namespace {

// First come, first served counting gate for the tool processes.
class ToolGate
{
public:
    explicit ToolGate(int limit) : m_limit(limit < 1 ? 1 : limit) {}

    void acquire()
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        const quint64 ticket = m_nextTicket++;
        m_waiting.push_back(ticket);
        m_changed.wait(lock, [&] { return m_waiting.front() == ticket && m_running < m_limit; });
        m_waiting.pop_front();
        ++m_running;
        // The next in line may also fit.
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

ToolGate &gate()
{
    static ToolGate g(QThread::idealThreadCount());
    return g;
}

} // namespace

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

FfmpegTool::Slot::Slot()
{
    gate().acquire();
}

FfmpegTool::Slot::~Slot()
{
    gate().release();
}

FfmpegTool::Result FfmpegTool::run(const QStringList &args, int timeoutMs,
                                   const OutputHandler &onOutput)
{
    Result result;
    Slot slot;

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
    // Nothing is ever typed into the tool; an open stdin only invites it to wait for keys.
    process.closeWriteChannel();

    if (!process.waitForFinished(timeoutMs)) {
        result.errorString = process.errorString();
        qWarning() << "ffmpeg tool did not finish in" << timeoutMs << "ms, killing it";
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
