#include "core/record/deviceutil.h"

#include <QElapsedTimer>

#include <pulse/pulseaudio.h>

#include <memory>

namespace {

// How long the sound server may take to answer before the recorder goes on without sound.
constexpr int kServerTimeoutMs = 3000;

struct MainLoopFree
{
    void operator()(pa_mainloop *loop) const { pa_mainloop_free(loop); }
};
struct ContextEnd
{
    void operator()(pa_context *context) const
    {
        pa_context_disconnect(context);
        pa_context_unref(context);
    }
};

struct Sources
{
    QString defaultName;
    QList<TDeviceInfo> devices;
    bool serverDone = false;
    bool listDone = false;
};

void onServerInfo(pa_context *, const pa_server_info *info, void *userdata)
{
    auto *sources = static_cast<Sources *>(userdata);
    if (info && info->default_source_name)
        sources->defaultName = QString::fromUtf8(info->default_source_name);
    sources->serverDone = true;
}

void onSourceInfo(pa_context *, const pa_source_info *info, int eol, void *userdata)
{
    auto *sources = static_cast<Sources *>(userdata);
    if (eol != 0) {  // the end of the list (> 0) or an error (< 0)
        sources->listDone = true;
        return;
    }
    if (!info || !info->name)
        return;
    const QString name = QString::fromUtf8(info->name);
    if (name.isEmpty() || name.startsWith(QChar(0xFFFD)))
        return;
    sources->devices.append(
        TDeviceInfo(name, QString::fromUtf8(info->description ? info->description : "")));
}

}  // namespace

QList<TDeviceInfo> DeviceUtil::getAudioDeviceInfo()
{
    // A main loop and a connection of this call's own: nothing of them outlives it, so no
    // sound-server thread is left running while the program ends.
    std::unique_ptr<pa_mainloop, MainLoopFree> loop(pa_mainloop_new());
    if (!loop)
        return {};
    pa_context *raw = pa_context_new(pa_mainloop_get_api(loop.get()), "Lumora");
    if (!raw)
        return {};
    // No flags: like the recording's own input, a server that starts on demand is started.
    if (pa_context_connect(raw, nullptr, PA_CONTEXT_NOFLAGS, nullptr) < 0) {
        pa_context_unref(raw);
        return {};
    }
    std::unique_ptr<pa_context, ContextEnd> context(raw);

    QElapsedTimer clock;
    clock.start();
    // One round of the loop, waiting at most 100 ms for the server.
    const auto step = [&] {
        return pa_mainloop_prepare(loop.get(), 100000) >= 0 && pa_mainloop_poll(loop.get()) >= 0 &&
               pa_mainloop_dispatch(loop.get()) >= 0;
    };
    while (pa_context_get_state(context.get()) != PA_CONTEXT_READY) {
        if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(context.get())) ||
            clock.elapsed() > kServerTimeoutMs || !step())
            return {};
    }

    Sources sources;
    pa_operation *server = pa_context_get_server_info(context.get(), onServerInfo, &sources);
    pa_operation *list = pa_context_get_source_info_list(context.get(), onSourceInfo, &sources);
    while ((server && !sources.serverDone) || (list && !sources.listDone)) {
        if (clock.elapsed() > kServerTimeoutMs || !step())
            break;
    }
    if (server)
        pa_operation_unref(server);
    if (list)
        pa_operation_unref(list);
    if (!sources.listDone)
        return {};

    // The source chosen in the system's sound settings comes first.
    for (int i = 1; i < sources.devices.size(); ++i) {
        if (sources.devices.at(i).devName == sources.defaultName) {
            sources.devices.move(i, 0);
            break;
        }
    }
    if (!sources.devices.isEmpty() && sources.devices.first().devName == sources.defaultName)
        sources.devices.first().isDefault = true;
    return sources.devices;
}

bool DeviceUtil::isLoopback(const QString &devName)
{
    return devName == loopbackDeviceName() || devName.endsWith(QLatin1String(".monitor"));
}

QString DeviceUtil::chooseAudioDevice(const QList<TDeviceInfo> &devices)
{
    if (devices.isEmpty())
        return QString();
    for (const TDeviceInfo &info : devices)
        if (!isLoopback(info.devName))
            return info.devName;
    return loopbackDeviceName();
}
