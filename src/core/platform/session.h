#pragma once
// What kind of desktop session the program runs in. On a Wayland session the windows still run
// through XWayland (Qt's xcb platform): the selection, the recording frame, the drawing canvas,
// the stay-on-top requests and the embedded slide window rely on X11 and work there. Only the
// screen's picture is taken another way: an X11 grab sees nothing of the Wayland desktop (black
// everywhere but the pointer), so the recorder asks the desktop portal for the screen instead.
#include <QProcessEnvironment>

namespace session {

// True on a Wayland session: WAYLAND_DISPLAY is set or XDG_SESSION_TYPE is "wayland".
bool isWayland(const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment());

// Before the QApplication exists: on a Wayland session Qt is told to use its xcb platform,
// unless the user chose a platform (QT_QPA_PLATFORM). Returns the platform it set, or empty.
QString preferX11Windows();

}  // namespace session
