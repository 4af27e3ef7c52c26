#include "support/x11windows.h"

#include "ui/base/xcbcalls.h"

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <memory>

namespace X11Windows {
namespace {

struct Connection
{
    Connection() { conn = xcb_connect(nullptr, nullptr); }
    ~Connection() { xcb_disconnect(conn); }
    bool ok() const { return conn != nullptr && xcb_connection_has_error(conn) == 0; }
    xcb_connection_t *conn = nullptr;
};

using xcbcalls::property;
using xcbcalls::Reply;

xcb_atom_t atom(xcb_connection_t *conn, const char *name)
{
    return xcbcalls::atom(conn, QByteArray(name));
}

}  // namespace

QList<Window> ofProcess(qint64 pid)
{
    QList<Window> found;
    Connection c;
    if (!c.ok())
        return found;
    xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(c.conn)).data;
    const xcb_atom_t pidAtom = atom(c.conn, "_NET_WM_PID");
    const xcb_atom_t nameAtom = atom(c.conn, "_NET_WM_NAME");
    const xcb_atom_t utf8Atom = atom(c.conn, "UTF8_STRING");

    // Under a window manager the root's children are its frames; the windows themselves are
    // in its client list. Without one they are the root's children.
    QList<xcb_window_t> candidates;
    const QByteArray clients =
        property(c.conn, screen->root, atom(c.conn, "_NET_CLIENT_LIST"), XCB_ATOM_WINDOW);
    for (int i = 0; i + 4 <= clients.size(); i += 4) {
        xcb_window_t w = 0;
        std::memcpy(&w, clients.constData() + i, 4);
        candidates << w;
    }
    if (candidates.isEmpty()) {
        Reply<xcb_query_tree_reply_t> tree(
            xcb_query_tree_reply(c.conn, xcb_query_tree(c.conn, screen->root), nullptr),
            &std::free);
        if (!tree)
            return found;
        const xcb_window_t *children = xcb_query_tree_children(tree.get());
        for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i)
            candidates << children[i];
    }
    for (const xcb_window_t w : candidates) {
        Reply<xcb_get_window_attributes_reply_t> attrs(
            xcb_get_window_attributes_reply(c.conn, xcb_get_window_attributes(c.conn, w), nullptr),
            &std::free);
        if (!attrs || attrs->map_state != XCB_MAP_STATE_VIEWABLE)
            continue;
        const QByteArray pidValue = property(c.conn, w, pidAtom, XCB_ATOM_CARDINAL);
        if (pidValue.size() < 4)
            continue;
        quint32 windowPid = 0;
        std::memcpy(&windowPid, pidValue.constData(), 4);
        if (qint64(windowPid) != pid)
            continue;
        found.append({w, QString::fromUtf8(property(c.conn, w, nameAtom, utf8Atom))});
    }
    return found;
}

bool requestClose(quint32 id)
{
    Connection c;
    if (!c.ok())
        return false;
    xcb_client_message_event_t event;
    std::memset(&event, 0, sizeof event);
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = id;
    event.type = atom(c.conn, "WM_PROTOCOLS");
    event.data.data32[0] = atom(c.conn, "WM_DELETE_WINDOW");
    event.data.data32[1] = XCB_CURRENT_TIME;
    const xcb_void_cookie_t cookie = xcb_send_event_checked(c.conn, 0, id, XCB_EVENT_MASK_NO_EVENT,
                                                            reinterpret_cast<const char *>(&event));
    Reply<xcb_generic_error_t> error(xcb_request_check(c.conn, cookie), &std::free);
    return !error;
}

bool takeToRoot(quint32 id)
{
    Connection c;
    if (!c.ok())
        return false;
    xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(c.conn)).data;
    xcb_unmap_window(c.conn, id);
    xcb_reparent_window(c.conn, id, screen->root, 0, 0);
    const xcb_void_cookie_t cookie = xcb_map_window_checked(c.conn, id);
    Reply<xcb_generic_error_t> error(xcb_request_check(c.conn, cookie), &std::free);
    return !error;
}

bool isShownIn(quint32 id, quint32 parent)
{
    Connection c;
    if (!c.ok())
        return false;
    Reply<xcb_query_tree_reply_t> tree(
        xcb_query_tree_reply(c.conn, xcb_query_tree(c.conn, id), nullptr), &std::free);
    Reply<xcb_get_window_attributes_reply_t> attrs(
        xcb_get_window_attributes_reply(c.conn, xcb_get_window_attributes(c.conn, id), nullptr),
        &std::free);
    return tree && attrs && tree->parent == parent && attrs->map_state == XCB_MAP_STATE_VIEWABLE;
}

}  // namespace X11Windows
