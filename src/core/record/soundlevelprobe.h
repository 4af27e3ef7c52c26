#pragma once
// Listens to one microphone outside a recording, for the settings page's level meter: a
// thread of its own reads the source from the sound server in 50 ms pieces and keeps the
// loudest level; levelChanged reports it ten times a second on the probe's thread. Listening
// to another microphone, or none, ends the previous one at once.
//
// Main thread: the probe's functions and its signal; the reading thread touches only atomics.
#include <QObject>
#include <QString>
#include <QTimer>

#include <atomic>
#include <memory>
#include <thread>

class SoundLevelProbe : public QObject
{
    Q_OBJECT
public:
    explicit SoundLevelProbe(QObject *parent = nullptr);
    ~SoundLevelProbe() override;

    // Starts listening to the PulseAudio source `device` (empty: stops).
    void listen(const QString &device);
    void stop();
    QString device() const { return m_device; }
    bool isListening() const { return m_thread != nullptr; }

signals:
    // The loudest level (dBFS) of the last tenth of a second; soundlevel::kSilentDb for
    // silence or a microphone that cannot be read.
    void levelChanged(double db);

private:
    void readInThread(const QByteArray &device);
    void report();

    QString m_device;
    std::unique_ptr<std::thread> m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_peakCentiDb;
    QTimer m_timer;
};
