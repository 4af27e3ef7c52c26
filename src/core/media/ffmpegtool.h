#pragma once
// The FFmpeg command-line tool, run as a child process for imports, thumbnails, waveforms and
// covers. The program is "./ffmpeg" in the application folder when it exists, else `ffmpeg`
// found on PATH.
//
// All tool processes of the program share one bound: at most `maxRunning()` (the number of
// processor cores) run at the same time; further runs wait for a free place in the order they
// asked for it. run() blocks its calling thread and may be called from any thread; the output
// callback runs on that same thread.
#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>

class FfmpegTool
{
public:
    struct Result
    {
        bool started = false;   // the program could be started
        bool finished = false;  // it ended within the wait (otherwise it was killed)
        QProcess::ExitStatus exitStatus = QProcess::CrashExit;
        int exitCode = -1;
        QString errorString;  // QProcess' description when it failed to start or timed out

        bool succeeded() const
        {
            return started && finished && exitStatus == QProcess::NormalExit && exitCode == 0;
        }
    };

    using OutputHandler = std::function<void(const QByteArray &chunk)>;

    // Path or name of the tool program.
    static QString program();

    // How many tool processes may run at once in this process.
    static int maxRunning();

    // Runs the tool with `args` (standard error merged into standard output, opened for
    // reading and writing), handing every chunk of output to `onOutput`. Waits up to
    // `timeoutMs` for the end; a process still running then is killed. When `cancel` becomes
    // true (followed by wakeWaiters()), a run still waiting for its turn gives up without
    // starting and a running process is killed.
    static Result run(const QStringList &args, int timeoutMs,
                      const OutputHandler &onOutput = OutputHandler(),
                      const std::atomic_bool *cancel = nullptr);

    // Lets runs waiting for their turn look at their cancel flags again.
    static void wakeWaiters();

    // How many tool processes this process has started so far.
    static quint64 startedCount();

    // A place among the running tool processes, held for the lifetime of the object. Blocks
    // until it is this caller's turn.
    class Slot
    {
    public:
        explicit Slot(const std::atomic_bool *cancel = nullptr);
        ~Slot();
        // False when the wait was cancelled; the slot then holds no place.
        bool acquired() const { return m_acquired; }
        Slot(const Slot &) = delete;
        Slot &operator=(const Slot &) = delete;

    private:
        bool m_acquired = false;
    };
};
