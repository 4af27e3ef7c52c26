#include "support/waylanddesktop.h"

#include <QDeadlineTimer>
#include <QRegularExpression>
#include <QTest>
#include <QtGlobal>

namespace WaylandDesktop {

void use()
{
    const QByteArray display = qgetenv("LUMORA_WAYLAND_X_DISPLAY");
    if (display.isEmpty())
        qFatal("LUMORA_WAYLAND_X_DISPLAY is not set: run the test with scripts/test, which starts "
               "the Wayland test desktop");
    qputenv("DISPLAY", display);
    qputenv("XAUTHORITY", qgetenv("LUMORA_WAYLAND_XAUTHORITY"));
    qputenv("WAYLAND_DISPLAY", qgetenv("LUMORA_WAYLAND_DISPLAY"));
    qputenv("DBUS_SESSION_BUS_ADDRESS", qgetenv("LUMORA_WAYLAND_BUS"));
    qputenv("QT_QPA_PLATFORM", "xcb");
}

TestPortal::TestPortal(const QString &answer)
{
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.setStandardOutputFile(QProcess::nullDevice());
    m_process.start(QStringLiteral("/usr/bin/python3"),
                    {"-m", "dbusmock", "--session", "-t",
                     QStringLiteral(LUMORA_SOURCE_DIR "/tests/support/screencastportal.py"), "-p",
                     QStringLiteral("{\"answer\": \"%1\"}").arg(answer)});
}

TestPortal::~TestPortal()
{
    m_process.terminate();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

bool TestPortal::isServing()
{
    QDeadlineTimer deadline(10000);
    while (!deadline.hasExpired() && m_process.state() != QProcess::NotRunning) {
        if (asked() >= 0)
            return true;
        QTest::qWait(100);
    }
    return false;
}

int TestPortal::asked()
{
    QProcess call;
    call.start(QStringLiteral("gdbus"),
               {"call", "--session", "--dest", "org.freedesktop.portal.Desktop", "--object-path",
                "/org/freedesktop/portal/desktop", "--method", "org.lumora.TestPortal.Asked"});
    if (!call.waitForFinished(5000) || call.exitCode() != 0)
        return -1;
    // "(uint32 1,)"
    const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("uint32 (\\d+)"))
                                          .match(QString::fromUtf8(call.readAll()));
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

}  // namespace WaylandDesktop
