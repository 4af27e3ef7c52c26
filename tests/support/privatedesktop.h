#pragma once
// A private X server for one test program, started before its QApplication: Xvfb with a window
// manager (openbox) and, when asked, a compositing manager (xcompmgr), each started against
// that server and ended with the object. Sets DISPLAY for the program and what it starts.
// Used by tests that need a desktop the shared test display may not offer: one with a
// compositing manager, or one known to have none.
#include <QSize>
#include <QString>

#include <sys/types.h>

class PrivateDesktop
{
public:
    enum Compositing { WithCompositor, WithoutCompositor };

    explicit PrivateDesktop(Compositing compositing, QSize size = QSize(1920, 1080));
    ~PrivateDesktop();
    PrivateDesktop(const PrivateDesktop &) = delete;
    PrivateDesktop &operator=(const PrivateDesktop &) = delete;

    // True once the server, the window manager and (when asked) the compositor run.
    bool isReady() const { return m_error.isEmpty(); }
    QString error() const { return m_error; }
    QString display() const { return m_display; }

private:
    pid_t spawn(const QStringList &command, const QString &log);

    QString m_display;
    QString m_error;
    pid_t m_server = -1;
    pid_t m_windowManager = -1;
    pid_t m_compositor = -1;
};

namespace DesktopState {
// Whether a window manager announces itself (_NET_SUPPORTING_WM_CHECK on the root window).
bool hasWindowManager();
// Whether a client owns _NET_WM_CM_S0.
bool hasCompositor();
} // namespace DesktopState
