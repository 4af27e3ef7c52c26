#include "support/soundserver.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTest>

SoundServer::SoundServer(const QString &name) : m_name(name)
{
    QFile config(m_dir.filePath("server.pa"));
    if (!m_dir.isValid() || !config.open(QIODevice::WriteOnly))
        return;
    // Anyone may connect: the test's programs share no cookie with it.
    config.write(
        QStringLiteral("load-module module-native-protocol-unix socket=%1 auth-anonymous=1\n"
                       "load-module module-null-sink sink_name=%2 "
                       "sink_properties=device.description=RestartSink\n"
                       "load-module module-remap-source master=%2.monitor source_name=%3 "
                       "source_properties=device.description=RestartMic\n"
                       "set-default-sink %2\n"
                       "set-default-source %3\n")
            .arg(m_dir.filePath("native"), sink(), source())
            .toUtf8());
}

SoundServer::~SoundServer()
{
    kill();
    if (m_using)
        qputenv("PULSE_SERVER", m_previousServer);
}

bool SoundServer::start()
{
    if (m_server.state() != QProcess::NotRunning)
        return true;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("PULSE_RUNTIME_PATH", m_dir.filePath("run"));
    env.insert("PULSE_STATE_PATH", m_dir.filePath("state"));
    m_server.setProcessEnvironment(env);
    m_server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_server.start("pulseaudio",
                   {"-n", "-F", m_dir.filePath("server.pa"), "--daemonize=no", "--use-pid-file=no",
                    "--exit-idle-time=-1", "--disallow-exit", "--log-level=error"});
    if (!m_server.waitForStarted(10000))
        return false;
    // Ready once it lists its microphone.
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 20000 && m_server.state() == QProcess::Running) {
        QProcess pactl;
        QProcessEnvironment client = QProcessEnvironment::systemEnvironment();
        client.insert("PULSE_SERVER", "unix:" + m_dir.filePath("native"));
        pactl.setProcessEnvironment(client);
        pactl.start("pactl", {"list", "short", "sources"});
        if (pactl.waitForFinished(5000) &&
            pactl.readAllStandardOutput().contains(source().toUtf8()))
            return true;
        QTest::qWait(100);
    }
    return false;
}

void SoundServer::kill()
{
    if (m_server.state() == QProcess::NotRunning)
        return;
    m_server.kill();
    m_server.waitForFinished(10000);
}

void SoundServer::use()
{
    if (!m_using)
        m_previousServer = qgetenv("PULSE_SERVER");
    m_using = true;
    qputenv("PULSE_SERVER", ("unix:" + m_dir.filePath("native")).toUtf8());
}
