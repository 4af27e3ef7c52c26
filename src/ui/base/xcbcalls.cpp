#include "ui/base/xcbcalls.h"

namespace xcbcalls {

xcb_atom_t atom(xcb_connection_t *conn, const QByteArray &name, bool onlyIfExists)
{
    const auto reply = owned(xcb_intern_atom_reply(
        conn, xcb_intern_atom(conn, onlyIfExists ? 1 : 0, uint16_t(name.size()), name.constData()),
        nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

QByteArray property(xcb_connection_t *conn, xcb_window_t window, xcb_atom_t prop, xcb_atom_t type,
                    uint32_t longs)
{
    const auto reply = owned(xcb_get_property_reply(
        conn, xcb_get_property(conn, 0, window, prop, type, 0, longs), nullptr));
    if (!reply || reply->type == XCB_ATOM_NONE)
        return {};
    return QByteArray(static_cast<const char *>(xcb_get_property_value(reply.get())),
                      xcb_get_property_value_length(reply.get()));
}

bool selectionOwned(xcb_connection_t *conn, const QByteArray &name)
{
    const xcb_atom_t selection = atom(conn, name, true);
    if (selection == XCB_ATOM_NONE)
        return false;
    const auto owner = owned(
        xcb_get_selection_owner_reply(conn, xcb_get_selection_owner(conn, selection), nullptr));
    return owner && owner->owner != XCB_WINDOW_NONE;
}

}  // namespace xcbcalls
