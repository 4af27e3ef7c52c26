#include "core/record/deviceutil.h"

#include <QAudioDevice>
#include <QMediaDevices>

QList<TDeviceInfo> DeviceUtil::getAudioDeviceInfo()
{
    QList<TDeviceInfo> list;
    const QList<QAudioDevice> inputs = QMediaDevices::audioInputs();
    for (const QAudioDevice &device : inputs) {
        if (device.isNull())
            continue;
        const QString name = QString::fromUtf8(device.id());
        if (name.isEmpty() || name.startsWith(QChar(0xFFFD)))
            continue;
        list.append(TDeviceInfo{name});
    }
    return list;
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
