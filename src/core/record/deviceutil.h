#pragma once
// The sound inputs the recorder can use, and the choice among them.
// All functions may be called from any thread once a QCoreApplication exists; the device list
// itself comes from Qt Multimedia (the PulseAudio source names).
#include <QList>
#include <QString>

struct TDeviceInfo
{
    QString devName;  // PulseAudio source name, as FFmpeg's "pulse" input takes it
};

class DeviceUtil
{
public:
    // The sound inputs the system offers, in the order Qt lists them; null devices and names
    // beginning with the replacement character U+FFFD are left out.
    static QList<TDeviceInfo> getAudioDeviceInfo();

    // What the computer plays (the monitor of the default output); used when no real
    // microphone exists but some loop-back source does.
    static QString loopbackDeviceName() { return QStringLiteral("@DEFAULT_MONITOR@"); }
    // True for a source that only repeats what the computer plays (a sink's ".monitor").
    static bool isLoopback(const QString &devName);
    // The first input that is not a loop-back; the default monitor when every entry is one;
    // an empty name (no sound) when the list is empty.
    static QString chooseAudioDevice(const QList<TDeviceInfo> &devices);
};
