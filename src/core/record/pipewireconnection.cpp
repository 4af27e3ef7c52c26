#include "core/record/pipewireconnection.h"

#include "core/record/picturesource.h"

#include <spa/buffer/meta.h>
#include <spa/param/buffers.h>
#include <spa/pod/builder.h>
#include <spa/utils/result.h>

#include <QDebug>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <mutex>

#include <unistd.h>

namespace {
pw_core_events coreEvents(void (*done)(void *, uint32_t, int),
                          void (*error)(void *, uint32_t, int, int, const char *))
{
    pw_core_events events{};
    events.version = PW_VERSION_CORE_EVENTS;
    events.done = done;
    events.error = error;
    return events;
}
}  // namespace

PipeWireConnection::PipeWireConnection(const char *threadName) : m_name(threadName)
{
    static std::once_flag initialised;
    std::call_once(initialised, []() { pw_init(nullptr, nullptr); });
    m_loop = pw_thread_loop_new(threadName, nullptr);
    if (m_loop)
        m_context = pw_context_new(pw_thread_loop_get_loop(m_loop), nullptr, 0);
}

PipeWireConnection::~PipeWireConnection()
{
    stop();
    if (m_core)
        pw_core_disconnect(m_core);
    if (m_context)
        pw_context_destroy(m_context);
    if (m_loop)
        pw_thread_loop_destroy(m_loop);
}

void PipeWireConnection::setFailureHandler(std::function<void(const QString &)> handler)
{
    m_failureHandler = std::move(handler);
}

bool PipeWireConnection::connect(int fd, QString *error)
{
    if (!m_context) {
        if (fd >= 0)
            ::close(fd);
        *error = QStringLiteral("no PipeWire loop");
        return false;
    }
    if (!m_running) {
        if (pw_thread_loop_start(m_loop) < 0) {
            if (fd >= 0)
                ::close(fd);
            *error = QStringLiteral("the PipeWire loop does not start");
            return false;
        }
        m_running = true;
    }
    Lock lock(*this);
    m_core = fd >= 0 ? pw_context_connect_fd(m_context, fd, nullptr, 0)
                     : pw_context_connect(m_context, nullptr, 0);
    if (!m_core) {
        *error = QStringLiteral("no connection to the PipeWire server: %1")
                     .arg(QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    static const pw_core_events events = coreEvents(onDone, onError);
    pw_core_add_listener(m_core, &m_coreListener, &events, this);
    return true;
}

void PipeWireConnection::onDone(void *data, uint32_t id, int seq)
{
    auto *self = static_cast<PipeWireConnection *>(data);
    if (id != PW_ID_CORE)
        return;
    self->m_doneSeq = seq;
    pw_thread_loop_signal(self->m_loop, false);
}

void PipeWireConnection::onError(void *data, uint32_t id, int, int res, const char *message)
{
    auto *self = static_cast<PipeWireConnection *>(data);
    const QString text =
        QStringLiteral("PipeWire (%1): %2 (%3)")
            .arg(QString::fromUtf8(self->m_name), QString::fromUtf8(message ? message : ""),
                 QString::fromUtf8(spa_strerror(res)));
    // Errors of single objects (a stream's node, a link) reach their owners, and the server
    // reports a message for an object that just went away on the core too: only a broken
    // connection ends it.
    if (id != PW_ID_CORE || res != -EPIPE) {
        qInfo().noquote() << text;
        return;
    }
    if (!self->m_failure.isEmpty())
        return;
    self->m_failure = text;
    qWarning().noquote() << self->m_failure;
    pw_thread_loop_signal(self->m_loop, false);
    if (self->m_failureHandler)
        self->m_failureHandler(self->m_failure);
}

bool PipeWireConnection::sync(int timeoutMs)
{
    if (!m_core || hasFailed())
        return false;
    const int seq = pw_core_sync(m_core, PW_ID_CORE, 0);
    if (seq < 0)
        return false;
    timespec deadline{};
    pw_thread_loop_get_time(m_loop, &deadline, qint64(timeoutMs) * SPA_NSEC_PER_MSEC);
    while (m_doneSeq != seq && !hasFailed()) {
        if (pw_thread_loop_timed_wait_full(m_loop, &deadline) != 0)
            break;  // timed out
    }
    return m_doneSeq == seq && !hasFailed();
}

void PipeWireConnection::stop()
{
    if (m_running)
        pw_thread_loop_stop(m_loop);
    m_running = false;
}

bool PipeWireConnection::pictureTimeUs(const spa_buffer *buffer, qint64 *takenUs)
{
    *takenUs = PictureSource::captureClockUs();
    const auto *header = static_cast<const spa_meta_header *>(
        spa_buffer_find_meta_data(buffer, SPA_META_Header, sizeof(spa_meta_header)));
    if (header && (header->flags & SPA_META_HEADER_FLAG_CORRUPTED))
        return false;
    if (header && header->pts > 0) {
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        const qint64 ageUs = (qint64(now.tv_sec) * 1000000000 + now.tv_nsec - header->pts) / 1000;
        if (ageUs >= 0 && ageUs < 1000000)
            *takenUs -= ageUs;
    }
    return true;
}

void PipeWireConnection::askForMappableBuffersWithTimes(pw_stream *stream)
{
    uint8_t buffer[512];
    spa_pod_builder builder;
    spa_pod_builder_init(&builder, buffer, sizeof(buffer));
    const spa_pod *params[2];
    params[0] = static_cast<const spa_pod *>(spa_pod_builder_add_object(
        &builder, SPA_TYPE_OBJECT_ParamBuffers, SPA_PARAM_Buffers, SPA_PARAM_BUFFERS_dataType,
        SPA_POD_Int((1 << SPA_DATA_MemFd) | (1 << SPA_DATA_MemPtr))));
    params[1] = static_cast<const spa_pod *>(spa_pod_builder_add_object(
        &builder, SPA_TYPE_OBJECT_ParamMeta, SPA_PARAM_Meta, SPA_PARAM_META_type,
        SPA_POD_Id(SPA_META_Header), SPA_PARAM_META_size, SPA_POD_Int(sizeof(spa_meta_header))));
    pw_stream_update_params(stream, params, 2);
}
