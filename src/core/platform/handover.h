#pragma once
// Hands work decided on a worker thread to the thread an object lives on (normally the main
// thread, where ProjectData is changed) and waits for it, like a blocking queued call, except
// that the wait also ends when the hand-over is cancelled (the worker's owner is being
// destroyed) or when the object is destroyed before the work could run. Work that has begun
// is always waited for to its end.
//
// Threads: run() may be called from any thread; called on the object's own thread it does the
// work at once. cancel() may be called from any thread, also while run() waits. A HandOver may
// be destroyed while work it queued is still pending: that work then never runs.
#include <QObject>

#include <functional>
#include <memory>

class HandOver
{
public:
    HandOver();
    ~HandOver();
    HandOver(const HandOver &) = delete;
    HandOver &operator=(const HandOver &) = delete;

    // Runs `work` on `owner`'s thread and waits for it to end. True when it ran; false when
    // the hand-over was cancelled before it began, or `owner` was destroyed first. `owner`
    // must exist when run() is called.
    bool run(QObject *owner, const std::function<void()> &work);

    // Ends present and later waits of run() whose work has not begun; that work never runs.
    void cancel();
    bool isCancelled() const;

    struct Shared;

private:
    std::shared_ptr<Shared> m_shared;
};
