#include "ui/slides/x11windowsearch.h"

#include "ui/base/xcbcalls.h"

#include <QGuiApplication>
#include <QSet>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace X11WindowSearch {
namespace {

using xcbcalls::atom;
using xcbcalls::property;
using xcbcalls::Reply;

xcb_connection_t *connection()
{
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

xcb_window_t rootWindow(xcb_connection_t *conn)
{
    const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(conn)).data;
    return screen ? screen->root : xcb_window_t(XCB_WINDOW_NONE);
}

QList<quint32> windowList(const QByteArray &value)
{
    QList<quint32> ids;
    for (int i = 0; i + 4 <= value.size(); i += 4) {
        quint32 id = 0;
        std::memcpy(&id, value.constData() + i, 4);
        ids.append(id);
    }
    return ids;
}

}  // namespace

QList<TopLevel> topLevels()
{
    QList<TopLevel> found;
    xcb_connection_t *conn = connection();
    if (!conn)
        return found;
    const xcb_window_t root = rootWindow(conn);
    QList<quint32> ids =
        windowList(property(conn, root, atom(conn, "_NET_CLIENT_LIST"), XCB_ATOM_WINDOW, 65536));
    Reply<xcb_query_tree_reply_t> tree(
        xcb_query_tree_reply(conn, xcb_query_tree(conn, root), nullptr), &std::free);
    if (tree) {
        const xcb_window_t *children = xcb_query_tree_children(tree.get());
        for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i)
            ids.append(children[i]);
    }
    const xcb_atom_t netName = atom(conn, "_NET_WM_NAME");
    const xcb_atom_t utf8 = atom(conn, "UTF8_STRING");
    const xcb_atom_t netPid = atom(conn, "_NET_WM_PID");
    QSet<quint32> seen;
    for (quint32 id : ids) {
        if (seen.contains(id))
            continue;
        seen.insert(id);
        TopLevel window;
        window.id = id;
        Reply<xcb_get_window_attributes_reply_t> attrs(
            xcb_get_window_attributes_reply(conn, xcb_get_window_attributes(conn, id), nullptr),
            &std::free);
        if (!attrs)
            continue;  // gone meanwhile
        window.viewable = attrs->map_state == XCB_MAP_STATE_VIEWABLE;
        QByteArray title = property(conn, id, netName, utf8);
        window.title =
            title.isEmpty()
                ? QString::fromLocal8Bit(property(conn, id, XCB_ATOM_WM_NAME, XCB_ATOM_STRING))
                : QString::fromUtf8(title);
        const QByteArray pid = property(conn, id, netPid, XCB_ATOM_CARDINAL);
        if (pid.size() >= 4) {
            quint32 value = 0;
            std::memcpy(&value, pid.constData(), 4);
            window.pid = value;
        }
        found.append(window);
    }
    return found;
}

bool hasWindowManager()
{
    xcb_connection_t *conn = connection();
    if (!conn)
        return false;
    const QList<quint32> check = windowList(
        property(conn, rootWindow(conn), atom(conn, "_NET_SUPPORTING_WM_CHECK"), XCB_ATOM_WINDOW));
    if (check.isEmpty())
        return false;
    // A window manager that ended leaves the property behind; its check window is then gone.
    Reply<xcb_get_window_attributes_reply_t> attrs(
        xcb_get_window_attributes_reply(conn, xcb_get_window_attributes(conn, check.first()),
                                        nullptr),
        &std::free);
    return attrs != nullptr;
}

}  // namespace X11WindowSearch

namespace X11WindowSearch {

bool setStaysOnTop(quint32 id, bool on)
{
    xcb_connection_t *conn = connection();
    if (!conn || !hasWindowManager())
        return false;
    const xcb_window_t root = rootWindow(conn);
    xcb_client_message_event_t message;
    std::memset(&message, 0, sizeof(message));
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = id;
    message.type = atom(conn, "_NET_WM_STATE");
    message.data.data32[0] = on ? 1 : 0;  // _NET_WM_STATE_ADD / _NET_WM_STATE_REMOVE
    message.data.data32[1] = atom(conn, "_NET_WM_STATE_ABOVE");
    message.data.data32[2] = 0;
    message.data.data32[3] = 1;  // from a normal application
    xcb_send_event(conn, 0, root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char *>(&message));
    xcb_flush(conn);
    return true;
}

bool staysOnTop(quint32 id)
{
    xcb_connection_t *conn = connection();
    if (!conn)
        return false;
    const xcb_atom_t above = atom(conn, "_NET_WM_STATE_ABOVE");
    return windowList(property(conn, id, atom(conn, "_NET_WM_STATE"), XCB_ATOM_ATOM))
        .contains(above);
}

bool keepEmbedded(quint32 id, quint32 parent, const QRect &geometry)
{
    xcb_connection_t *conn = connection();
    if (!conn || !parent)
        return false;
    Reply<xcb_query_tree_reply_t> tree(
        xcb_query_tree_reply(conn, xcb_query_tree(conn, id), nullptr), &std::free);
    Reply<xcb_get_window_attributes_reply_t> attrs(
        xcb_get_window_attributes_reply(conn, xcb_get_window_attributes(conn, id), nullptr),
        &std::free);
    Reply<xcb_get_geometry_reply_t> placed(
        xcb_get_geometry_reply(conn, xcb_get_geometry(conn, id), nullptr), &std::free);
    if (!tree || !attrs || !placed)
        return false;  // the window is gone
    const QRect wanted(geometry.topLeft(), geometry.size().expandedTo(QSize(1, 1)));
    const bool elsewhere = tree->parent != parent;
    // In place, but the slide show sized itself anew (to half the screen, seen once after a
    // pause): the recording would show a small slide in a black field.
    const bool misplaced =
        !elsewhere && QRect(placed->x, placed->y, placed->width, placed->height) != wanted;
    if (elsewhere) {
        // A window manager does not take an override-redirect window on again.
        const uint32_t overrideRedirect = 1;
        xcb_change_window_attributes(conn, id, XCB_CW_OVERRIDE_REDIRECT, &overrideRedirect);
        xcb_reparent_window(conn, id, parent, int16_t(wanted.x()), int16_t(wanted.y()));
    }
    if (elsewhere || misplaced) {
        const uint32_t place[] = {uint32_t(wanted.x()), uint32_t(wanted.y()),
                                  uint32_t(wanted.width()), uint32_t(wanted.height())};
        xcb_configure_window(conn, id,
                             XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y | XCB_CONFIG_WINDOW_WIDTH |
                                 XCB_CONFIG_WINDOW_HEIGHT,
                             place);
    }
    if (!elsewhere && !misplaced && attrs->map_state != XCB_MAP_STATE_UNMAPPED)
        return false;
    xcb_map_window(conn, id);
    xcb_flush(conn);
    return true;
}

}  // namespace X11WindowSearch
