#pragma once
// PipeWireConnection: one connection to a PipeWire server, served by a thread of its own
// (pw_thread_loop), as the screen stream, the cameras and their list use it. It owns the loop,
// the context and the core; the streams and proxies made on it belong to their users, who
// destroy them after stop() and before the connection goes away.
//
// Also here: when the picture in a PipeWire buffer was taken, on the recorder's capture clock.
//
// Threads: connect(), stop() and the destructor on the owner's thread with the loop unlocked;
// sync() and everything that touches the core or its objects with the loop locked (Lock), or on
// the loop's thread (in a callback). The failure handler runs on the loop's thread.
#include <QByteArray>
#include <QString>

#include <pipewire/pipewire.h>

#include <functional>

class PipeWireConnection
{
public:
    // `threadName`: the name of the loop's thread (for the debugger and the log).
    explicit PipeWireConnection(const char *threadName);
    ~PipeWireConnection();
    PipeWireConnection(const PipeWireConnection &) = delete;
    PipeWireConnection &operator=(const PipeWireConnection &) = delete;

    // Starts the loop and connects: through `fd` when it is not negative (taken over, also on
    // failure), else to the default server. False with the reason (for the log) when there is
    // no server or the connection fails.
    bool connect(int fd, QString *error);

    pw_thread_loop *loop() const { return m_loop; }
    pw_core *core() const { return m_core; }

    // Called once on the loop's thread when the connection to the server breaks (the server
    // went away). Set it before connect().
    void setFailureHandler(std::function<void(const QString &why)> handler);
    // True once the connection failed (with the loop locked).
    bool hasFailed() const { return !m_failure.isEmpty(); }

    // With the loop locked: waits until the server handled everything sent to it so far (and
    // sent the events that follow from it). False on timeout or when the connection failed.
    bool sync(int timeoutMs);

    // Stops the loop's thread: no callback runs afterwards. Called by the destructor too.
    void stop();

    // Holds the loop's lock for a scope.
    class Lock
    {
    public:
        explicit Lock(const PipeWireConnection &connection) : m_loop(connection.m_loop)
        {
            pw_thread_loop_lock(m_loop);
        }
        ~Lock() { pw_thread_loop_unlock(m_loop); }
        Lock(const Lock &) = delete;
        Lock &operator=(const Lock &) = delete;

    private:
        pw_thread_loop *m_loop;
    };

    // When the picture in `buffer` was taken, on the capture clock (PictureSource): the time
    // in its header (CLOCK_MONOTONIC nanoseconds) where it has one less than a second old,
    // else now, as it arrives. False when the header marks the picture as corrupted.
    static bool pictureTimeUs(const spa_buffer *buffer, qint64 *takenUs);
    // On a consumer `stream` whose format was just set: buffers in memory the program can map
    // (memfd or plain memory), each with the header that tells when its picture was taken.
    static void askForMappableBuffersWithTimes(pw_stream *stream);

private:
    static void onDone(void *data, uint32_t id, int seq);
    static void onError(void *data, uint32_t id, int seq, int res, const char *message);

    QByteArray m_name;
    pw_thread_loop *m_loop = nullptr;
    pw_context *m_context = nullptr;
    pw_core *m_core = nullptr;
    spa_hook m_coreListener{};
    std::function<void(const QString &)> m_failureHandler;
    QString m_failure;   // loop's lock
    int m_doneSeq = -1;  // loop's lock: the last sync the server answered
    bool m_running = false;
};
