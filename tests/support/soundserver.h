#pragma once
// A PulseAudio server of the test's own beside the test desktop's, so that a test can kill it
// and start it again as a teacher's sound server restarts under a running program (an update,
// a crash, a resume): a null sink "<name>_sink" and the microphone `name` hearing what is
// played into it, its default input. use() points this process's sound clients, and the
// programs it starts, at it until the object is destroyed. Main thread.
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

class SoundServer
{
public:
    explicit SoundServer(const QString &name = QStringLiteral("restart_mic"));
    ~SoundServer();
    SoundServer(const SoundServer &) = delete;
    SoundServer &operator=(const SoundServer &) = delete;

    // Starts the server and waits until it has its microphone; false when it did not start.
    bool start();
    // Ends it at once (SIGKILL), as a crash does.
    void kill();
    void use();

    QString source() const { return m_name; }
    QString sink() const { return m_name + QStringLiteral("_sink"); }

private:
    QString m_name;
    QTemporaryDir m_dir;
    QProcess m_server;
    QByteArray m_previousServer;
    bool m_using = false;
};
