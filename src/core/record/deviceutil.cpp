#include "core/record/deviceutil.h"

#include "core/record/pulsequery.h"

#include <QElapsedTimer>

#include <algorithm>

namespace {

// How long the sound server may take to answer before the recorder goes on without sound.
constexpr int kServerTimeoutMs = 3000;

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
    PulseQuery query;
    QElapsedTimer clock;
    clock.start();
    if (!query.connect(kServerTimeoutMs))
        return {};
    Sources sources;
    pa_operation *server = pa_context_get_server_info(query.context(), onServerInfo, &sources);
    pa_operation *list = pa_context_get_source_info_list(query.context(), onSourceInfo, &sources);
    const int left = int(std::max<qint64>(0, kServerTimeoutMs - clock.elapsed()));
    query.waitFor([&] { return (!server || sources.serverDone) && (!list || sources.listDone); },
                  left);
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
