#pragma once
// Looks at the X server's top-level windows from a test, for windows that another process
// (a started copy of the program) shows. Uses $DISPLAY; main thread only.
#include <QList>
#include <QString>

namespace X11Windows {

struct Window
{
    quint32 id = 0;
    QString title;
};

// The mapped top-level windows whose _NET_WM_PID is pid.
QList<Window> ofProcess(qint64 pid);

// Asks the window to close as a window manager would (WM_DELETE_WINDOW).
bool requestClose(quint32 id);

}  // namespace X11Windows
