#pragma once
// What the X11 desktop offers the recording windows: whether a compositing manager runs (a
// translucent window is then see-through; without one it must be shaped to what it draws),
// and the conversion of a rectangle of a screen into the X server's pixels, which the screen
// grabber works in. Main thread only.
#include <QRect>

class QScreen;

namespace X11Desktop {

// True when a client owns the _NET_WM_CM_S<screen> selection of the default X screen. False
// on other platforms and when the X server cannot be asked.
bool hasCompositor();

// `area` (device-independent pixels, (0, 0) at the top-left of `screen`) in the X server's
// pixels of the whole desktop. The result lies inside `area`: fractions of a pixel at its
// edges are left out.
QRect toServerPixels(const QRectF &area, const QScreen *screen);

}  // namespace X11Desktop
