#include "support/privatedesktop.h"

#include <QElapsedTimer>
#include <QFile>
#include <QStringList>
#include <QThread>

#include <xcb/xcb.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

template <typename T>
using Reply = std::unique_ptr<T, decltype(&std::free)>;

struct Connection
{
    Connection() { conn = xcb_connect(nullptr, nullptr); }
    ~Connection() { xcb_disconnect(conn); }
    bool ok() const { return conn && xcb_connection_has_error(conn) == 0; }
    xcb_connection_t *conn = nullptr;
};

xcb_atom_t atom(xcb_connection_t *conn, const char *name)
{
    Reply<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(conn, xcb_intern_atom(conn, 1, uint16_t(std::strlen(name)), name),
                              nullptr),
        &std::free);
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

bool waitFor(const std::function<bool()> &ready, int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) {
        if (ready())
            return true;
        QThread::msleep(50);
    }
    return ready();
}

void end(pid_t &pid)
{
    if (pid <= 0)
        return;
    kill(pid, SIGTERM);
    int status = 0;
    for (int i = 0; i < 50 && waitpid(pid, &status, WNOHANG) == 0; ++i)
        QThread::msleep(20);
    if (waitpid(pid, &status, WNOHANG) == 0) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
    }
    pid = -1;
}

} // namespace

namespace DesktopState {

bool hasWindowManager()
{
    Connection c;
    if (!c.ok())
        return false;
    xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(c.conn)).data;
    const xcb_atom_t check = atom(c.conn, "_NET_SUPPORTING_WM_CHECK");
    if (check == XCB_ATOM_NONE)
        return false;
    Reply<xcb_get_property_reply_t> reply(
        xcb_get_property_reply(
            c.conn, xcb_get_property(c.conn, 0, screen->root, check, XCB_ATOM_WINDOW, 0, 1),
            nullptr),
        &std::free);
    return reply && xcb_get_property_value_length(reply.get()) >= 4;
}

bool hasCompositor()
{
    Connection c;
    if (!c.ok())
        return false;
    const xcb_atom_t selection = atom(c.conn, "_NET_WM_CM_S0");
    if (selection == XCB_ATOM_NONE)
        return false;
    Reply<xcb_get_selection_owner_reply_t> reply(
        xcb_get_selection_owner_reply(c.conn, xcb_get_selection_owner(c.conn, selection),
                                      nullptr),
        &std::free);
    return reply && reply->owner != XCB_WINDOW_NONE;
}

} // namespace DesktopState

PrivateDesktop::PrivateDesktop(Compositing compositing, QSize size)
{
    int n = 140;
    while (QFile::exists(QString("/tmp/.X11-unix/X%1").arg(n)) ||
           QFile::exists(QString("/tmp/.X%1-lock").arg(n)))
        ++n;
    m_display = QString(":%1").arg(n);
    const QString screen = QString("%1x%2x24").arg(size.width()).arg(size.height());
    m_server = spawn({"Xvfb", m_display, "-screen", "0", screen, "-nolisten", "tcp", "-noreset"},
                     QString("/tmp/lumora-xvfb-%1.log").arg(n));
    if (!waitFor([n]() { return QFile::exists(QString("/tmp/.X11-unix/X%1").arg(n)); }, 10000)) {
        m_error = "Xvfb did not start";
        return;
    }
    qputenv("DISPLAY", m_display.toLocal8Bit());
    waitFor([]() { return Connection().ok(); }, 5000);
    m_windowManager = spawn({"openbox"}, QString("/tmp/lumora-openbox-%1.log").arg(n));
    if (!waitFor(&DesktopState::hasWindowManager, 10000)) {
        m_error = "openbox did not start";
        return;
    }
    if (compositing == WithCompositor) {
        m_compositor = spawn({"xcompmgr"}, QString("/tmp/lumora-xcompmgr-%1.log").arg(n));
        if (!waitFor(&DesktopState::hasCompositor, 10000))
            m_error = "xcompmgr did not start";
    } else if (DesktopState::hasCompositor()) {
        m_error = "a compositing manager runs on the private display";
    }
}

PrivateDesktop::~PrivateDesktop()
{
    end(m_compositor);
    end(m_windowManager);
    end(m_server);
}

pid_t PrivateDesktop::spawn(const QStringList &command, const QString &log)
{
    std::vector<QByteArray> args;
    for (const QString &a : command)
        args.push_back(a.toLocal8Bit());
    std::vector<char *> argv;
    for (QByteArray &a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const QByteArray logPath = log.toLocal8Bit();
    const pid_t pid = fork();
    if (pid == 0) {
        const int fd = open(logPath.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd >= 0) {
            dup2(fd, 1);
            dup2(fd, 2);
        }
        execvp(argv[0], argv.data());
        _exit(127);
    }
    return pid;
}
