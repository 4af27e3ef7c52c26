#include "core/record/soundsettings.h"

#include "core/platform/settings.h"

#include <QCoreApplication>

namespace {
const QString kMicrophoneKey = QStringLiteral("sound/microphone");
const QString kComputerSoundKey = QStringLiteral("sound/computerSound");
const QString kNoiseReductionKey = QStringLiteral("sound/noiseReduction");
}  // namespace

SoundSettings SoundSettings::load()
{
    SoundSettings s;
    s.microphone = readSetting(kMicrophoneKey).toString();
    s.computerSound = readSetting(kComputerSoundKey).toBool();
    s.noiseReduction = readSetting(kNoiseReductionKey).toBool();
    return s;
}

void SoundSettings::save() const
{
    writeSetting(kMicrophoneKey, microphone);
    writeSetting(kComputerSoundKey, computerSound);
    writeSetting(kNoiseReductionKey, noiseReduction);
}

QList<TDeviceInfo> microphonesOf(const QList<TDeviceInfo> &devices)
{
    QList<TDeviceInfo> microphones;
    for (const TDeviceInfo &d : devices)
        if (!DeviceUtil::isLoopback(d.devName))
            microphones.append(d);
    return microphones;
}

MicrophoneChoice chooseMicrophone(const QList<TDeviceInfo> &devices, const QString &wanted)
{
    MicrophoneChoice choice;
    if (!wanted.isEmpty()) {
        for (const TDeviceInfo &d : devices) {
            if (d.devName == wanted && !DeviceUtil::isLoopback(d.devName)) {
                choice.device = wanted;
                return choice;
            }
        }
        choice.fellBack = true;
    }
    choice.device = DeviceUtil::chooseAudioDevice(devices);
    return choice;
}

QString microphoneFallbackText()
{
    return QCoreApplication::translate("SoundSettings", "所选麦克风已不可用，改用默认麦克风");
}
