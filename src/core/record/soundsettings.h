#pragma once
// What the teacher chose on the settings page's "声音" page: the microphone, whether the
// computer's own sound is recorded too, and whether room noise is reduced. Kept in "conf.ini"
// (group "sound") and read by the recording engine when a recording is prepared, so every
// recording window uses it. Plain values and functions; any thread.
#include "core/record/deviceutil.h"

#include <QList>
#include <QString>

struct SoundSettings
{
    QString microphone;  // PulseAudio source name; empty: the system's default microphone
    bool computerSound = false;
    bool noiseReduction = false;

    static SoundSettings load();
    void save() const;
    bool operator==(const SoundSettings &o) const
    {
        return microphone == o.microphone && computerSound == o.computerSound &&
               noiseReduction == o.noiseReduction;
    }
};

// The microphones among the sound server's inputs (DeviceUtil::getAudioDeviceInfo): every
// source that does not only repeat what the computer plays, in the list's order.
QList<TDeviceInfo> microphonesOf(const QList<TDeviceInfo> &devices);

struct MicrophoneChoice
{
    QString device;         // the source to record; empty: none at all
    bool fellBack = false;  // the wanted microphone is gone; the default was taken
};
// The source to record for the wanted microphone (empty: the default): the wanted one when the
// list has it, else what DeviceUtil::chooseAudioDevice takes.
MicrophoneChoice chooseMicrophone(const QList<TDeviceInfo> &devices, const QString &wanted);
// The line a recording window shows when the chosen microphone was gone.
QString microphoneFallbackText();
