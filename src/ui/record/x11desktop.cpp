#include "ui/record/x11desktop.h"

#include "ui/base/xcbcalls.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <xcb/xcb.h>

#include <cmath>

namespace X11Desktop {

namespace {

// The default screen number from $DISPLAY (":0.1" -> 1).
int defaultScreenNumber()
{
    const QByteArray display = qgetenv("DISPLAY");
    const int colon = display.lastIndexOf(':');
    const int dot = display.indexOf('.', colon < 0 ? 0 : colon);
    return dot < 0 ? 0 : display.mid(dot + 1).toInt();
}

}  // namespace

bool hasCompositor()
{
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t *connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return false;
    return xcbcalls::selectionOwned(connection,
                                    "_NET_WM_CM_S" + QByteArray::number(defaultScreenNumber()));
}

QRect toServerPixels(const QRectF &area, const QScreen *screen)
{
    const qreal ratio = screen ? screen->devicePixelRatio() : 1.0;
    // Qt keeps a screen's top-left corner in the server's pixels and scales from there.
    const QPointF origin = screen ? QPointF(screen->geometry().topLeft()) : QPointF();
    const qreal left = std::ceil(area.left() * ratio - 1e-6);
    const qreal top = std::ceil(area.top() * ratio - 1e-6);
    const qreal right = std::floor(area.right() * ratio + 1e-6);    // exclusive
    const qreal bottom = std::floor(area.bottom() * ratio + 1e-6);  // exclusive
    return QRect(int(origin.x() + left), int(origin.y() + top), int(right - left),
                 int(bottom - top));
}

void clearShownParts(QWidget *window)
{
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t *connection = x11 ? x11->connection() : nullptr;
    if (!connection || !window)
        return;
    // Pixel 0 of a window with an alpha channel is fully transparent.
    const uint32_t transparent = 0;
    xcb_change_window_attributes(connection, xcb_window_t(window->winId()), XCB_CW_BACK_PIXEL,
                                 &transparent);
    xcb_flush(connection);
}

}  // namespace X11Desktop
