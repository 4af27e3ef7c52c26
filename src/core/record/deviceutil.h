#pragma once
// The sound inputs the recorder can use, and the choice among them.
// All functions may be called from any thread; the device list is asked of the PulseAudio
// server (its source names) and is empty when no server answers.
#include <QList>
#include <QString>

struct TDeviceInfo
{
    TDeviceInfo(const QString &name = QString(), const QString &text = QString(),
                bool systemDefault = false)
        : devName(name), description(text), isDefault(systemDefault)
    {
    }
    QString devName;      // PulseAudio source name, as FFmpeg's "pulse" input takes it
    QString description;  // the name the desktop shows for it (may be empty)
    bool isDefault;       // the source chosen in the system's sound settings
};

class DeviceUtil
{
public:
    // The sound inputs the system offers: the default source first, then the others in the
    // server's order; names beginning with the replacement character U+FFFD are left out.
    // Blocks for at most about 3 s while the server is asked.
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
