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

// Does to an embedded window what a window manager that lets go of it late does: puts it back
// on the root window, where mapping it makes the window manager frame it again. True when the
// X server took the requests.
bool takeToRoot(quint32 id);
// Whether the window `id` is a child of `parent` and mapped there.
bool isShownIn(quint32 id, quint32 parent);

}  // namespace X11Windows
