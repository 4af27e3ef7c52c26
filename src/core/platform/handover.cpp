#include "core/platform/handover.h"

#include <QThread>

#include <condition_variable>
#include <mutex>

// Lives as long as the last queued work that refers to it.
struct HandOver::Shared
{
    std::mutex mutex;
    std::condition_variable changed;
    bool cancelled = false;
};

namespace {

enum class CallState { Queued, Running, Finished, Dropped };

struct Call
{
    explicit Call(std::shared_ptr<HandOver::Shared> s) : shared(std::move(s)) {}
    std::shared_ptr<HandOver::Shared> shared;
    CallState state = CallState::Queued;  // under shared->mutex
};

// Held by the queued function alone. It is destroyed without the work having begun when the
// owner was destroyed first (Qt deletes the pending call with it): the waiter learns so here.
struct DropNotice
{
    explicit DropNotice(std::shared_ptr<Call> c) : call(std::move(c)) {}
    ~DropNotice()
    {
        std::lock_guard<std::mutex> lock(call->shared->mutex);
        if (call->state == CallState::Queued) {
            call->state = CallState::Dropped;
            call->shared->changed.notify_all();
        }
    }
    DropNotice(const DropNotice &) = delete;
    DropNotice &operator=(const DropNotice &) = delete;

    std::shared_ptr<Call> call;
};

}  // namespace

HandOver::HandOver() : m_shared(std::make_shared<Shared>()) {}

HandOver::~HandOver()
{
    cancel();
}

void HandOver::cancel()
{
    std::lock_guard<std::mutex> lock(m_shared->mutex);
    m_shared->cancelled = true;
    m_shared->changed.notify_all();
}

bool HandOver::isCancelled() const
{
    std::lock_guard<std::mutex> lock(m_shared->mutex);
    return m_shared->cancelled;
}

bool HandOver::run(QObject *owner, const std::function<void()> &work)
{
    if (!owner || isCancelled())
        return false;
    if (QThread::currentThread() == owner->thread()) {
        work();
        return true;
    }
    auto call = std::make_shared<Call>(m_shared);
    // `work` is reached through the pointer only while this function waits: a call given up
    // never touches it.
    const std::function<void()> *workPtr = &work;
    QMetaObject::invokeMethod(
        owner,
        [notice = std::make_shared<DropNotice>(call), workPtr] {
            Call *call = notice->call.get();
            Shared &shared = *call->shared;
            {
                std::lock_guard<std::mutex> lock(shared.mutex);
                if (call->state != CallState::Queued || shared.cancelled) {
                    call->state = CallState::Dropped;
                    shared.changed.notify_all();
                    return;
                }
                call->state = CallState::Running;
            }
            (*workPtr)();
            std::lock_guard<std::mutex> lock(shared.mutex);
            call->state = CallState::Finished;
            shared.changed.notify_all();
        },
        Qt::QueuedConnection);

    std::unique_lock<std::mutex> lock(m_shared->mutex);
    m_shared->changed.wait(lock, [&] {
        return call->state == CallState::Finished || call->state == CallState::Dropped ||
               (call->state == CallState::Queued && m_shared->cancelled);
    });
    if (call->state == CallState::Queued)
        call->state = CallState::Dropped;  // cancelled: the queued function will not run it
    return call->state == CallState::Finished;
}
