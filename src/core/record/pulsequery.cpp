#include "core/record/pulsequery.h"

PulseQuery::PulseQuery() : m_loop(pa_mainloop_new())
{
    if (m_loop)
        m_context = pa_context_new(pa_mainloop_get_api(m_loop), "Lumora");
}

PulseQuery::~PulseQuery()
{
    if (m_context) {
        pa_context_disconnect(m_context);
        pa_context_unref(m_context);
    }
    if (m_loop)
        pa_mainloop_free(m_loop);
}

bool PulseQuery::connect(int timeoutMs)
{
    // No flags: like the recording's own input, a server that starts on demand is started.
    if (!m_context || pa_context_connect(m_context, nullptr, PA_CONTEXT_NOFLAGS, nullptr) < 0)
        return false;
    return waitFor([this] { return isConnected(); }, timeoutMs);
}

bool PulseQuery::isConnected() const
{
    return m_context && pa_context_get_state(m_context) == PA_CONTEXT_READY;
}

bool PulseQuery::step(int waitMs)
{
    return pa_mainloop_prepare(m_loop, waitMs * 1000) >= 0 && pa_mainloop_poll(m_loop) >= 0 &&
           pa_mainloop_dispatch(m_loop) >= 0;
}

bool PulseQuery::waitFor(const std::function<bool()> &done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    bool ok = m_context != nullptr;
    while (ok && !done()) {
        ok = PA_CONTEXT_IS_GOOD(pa_context_get_state(m_context)) && clock.elapsed() <= timeoutMs &&
             step(100);
    }
    return ok;
}
