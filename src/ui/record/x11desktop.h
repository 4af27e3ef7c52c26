#pragma once
// What the X11 desktop offers the recording windows: whether a compositing manager runs (a
// translucent window is then see-through; without one it must be shaped to what it draws),
// and the conversion of a rectangle of a screen into the X server's pixels, which the screen
// grabber works in. Main thread only.
#include <QRect>

class QScreen;
class QWidget;

namespace X11Desktop {

// True when a client owns the _NET_WM_CM_S<screen> selection of the default X screen. False
// on other platforms and when the X server cannot be asked.
bool hasCompositor();

// `area` (device-independent pixels, (0, 0) at the top-left of `screen`) in the X server's
// pixels of the whole desktop. The result lies inside `area`: fractions of a pixel at its
// edges are left out.
QRect toServerPixels(const QRectF &area, const QScreen *screen);

// Makes the X server clear every part of the translucent, shaped `window` that becomes visible
// (it is shown, or its mask grows) to transparent at once. Without it such a part first shows
// whatever the server kept of the screen when the window was mapped (the picture of the area
// selection with its orange handles, say) until Qt paints it, and a screen recording can take
// that picture. Creates the native window; does nothing off X11.
void clearShownParts(QWidget *window);

}  // namespace X11Desktop
