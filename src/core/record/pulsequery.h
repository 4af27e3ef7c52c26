#pragma once
// One connection to the PulseAudio server (or PipeWire's PulseAudio service) with a main loop
// of its own, driven by the caller: for short questions asked and answered on one thread.
// Nothing of it outlives the object, so no sound-server thread is left running. Used by one
// thread at a time.
#include <QElapsedTimer>

#include <pulse/pulseaudio.h>

#include <functional>

class PulseQuery
{
public:
    PulseQuery();
    ~PulseQuery();
    PulseQuery(const PulseQuery &) = delete;
    PulseQuery &operator=(const PulseQuery &) = delete;

    // Connects (a server that starts on demand is started); false when no server answers
    // within `timeoutMs`.
    bool connect(int timeoutMs);
    bool isConnected() const;
    pa_context *context() const { return m_context; }

    // Runs the loop until `done` is true; false when the connection failed or `timeoutMs`
    // passed first.
    bool waitFor(const std::function<bool()> &done, int timeoutMs);

private:
    // One round of the loop, waiting at most `waitMs` for the server.
    bool step(int waitMs);

    pa_mainloop *m_loop = nullptr;
    pa_context *m_context = nullptr;
};
