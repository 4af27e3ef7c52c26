#include "core/record/soundinputwatch.h"

#include "core/record/pulsequery.h"

#include <QDebug>

#include <unistd.h>

namespace {
constexpr int kAnswerTimeoutMs = 2000;

struct Found
{
    QByteArray streamName;
    QByteArray processId;
    uint32_t sourceIndex = PA_INVALID_INDEX;
    TDeviceInfo source;
    bool done = false;
};

void onSourceOutput(pa_context *, const pa_source_output_info *info, int eol, void *userdata)
{
    auto *found = static_cast<Found *>(userdata);
    if (eol != 0) {
        found->done = true;
        return;
    }
    if (!info || !info->proplist)
        return;
    const char *name = pa_proplist_gets(info->proplist, PA_PROP_MEDIA_NAME);
    const char *process = pa_proplist_gets(info->proplist, PA_PROP_APPLICATION_PROCESS_ID);
    if (name && process && found->streamName == name && found->processId == process)
        found->sourceIndex = info->source;
}

void onSource(pa_context *, const pa_source_info *info, int eol, void *userdata)
{
    auto *found = static_cast<Found *>(userdata);
    if (eol != 0) {
        found->done = true;
        return;
    }
    if (info && info->name)
        found->source = TDeviceInfo(QString::fromUtf8(info->name),
                                    QString::fromUtf8(info->description ? info->description : ""));
}

// The source the stream reads from; false when the server does not list the stream.
bool findSource(PulseQuery &query, const QByteArray &streamName, TDeviceInfo *source)
{
    Found found;
    found.streamName = streamName;
    found.processId = QByteArray::number(qint64(getpid()));
    pa_operation *list =
        pa_context_get_source_output_info_list(query.context(), onSourceOutput, &found);
    const bool listed = list && query.waitFor([&] { return found.done; }, kAnswerTimeoutMs);
    if (list)
        pa_operation_unref(list);
    if (!listed || found.sourceIndex == PA_INVALID_INDEX)
        return false;
    found.done = false;
    pa_operation *info =
        pa_context_get_source_info_by_index(query.context(), found.sourceIndex, onSource, &found);
    const bool answered = info && query.waitFor([&] { return found.done; }, kAnswerTimeoutMs);
    if (info)
        pa_operation_unref(info);
    if (!answered || found.source.devName.isEmpty())
        return false;
    *source = found.source;
    return true;
}
}  // namespace

SoundInputWatch::SoundInputWatch(const QByteArray &streamName, Changed changed)
    : m_streamName(streamName), m_changed(std::move(changed))
{
    m_thread = std::thread([this] { watchInThread(); });
}

SoundInputWatch::~SoundInputWatch()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

bool SoundInputWatch::pause(int ms)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return !m_wake.wait_for(lock, std::chrono::milliseconds(ms), [this] { return m_stop; });
}

void SoundInputWatch::watchInThread()
{
    QString last;
    do {
        // A connection lives until the server goes away; then a new one is tried.
        PulseQuery query;
        if (!query.connect(kAnswerTimeoutMs))
            continue;
        do {
            TDeviceInfo source;
            if (findSource(query, m_streamName, &source) && source.devName != last) {
                last = source.devName;
                qInfo() << "SoundInputWatch:" << m_streamName << "records" << source.devName;
                m_changed(source);
            }
        } while (query.isConnected() && pause(kIntervalMs));
    } while (pause(kIntervalMs));
}
