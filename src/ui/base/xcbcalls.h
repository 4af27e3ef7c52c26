#pragma once
// Small helpers over xcb requests on a connection the caller holds (the application's own, or
// one a test opens). The thread that uses the connection.
#include <QByteArray>

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

namespace xcbcalls {

// A reply or error from xcb, freed with free().
template <typename T> using Reply = std::unique_ptr<T, decltype(&std::free)>;
template <typename T> Reply<T> owned(T *reply)
{
    return Reply<T>(reply, &std::free);
}

// The atom called `name`; XCB_ATOM_NONE when the server does not answer or, with
// `onlyIfExists`, when nobody has made that atom yet.
xcb_atom_t atom(xcb_connection_t *conn, const QByteArray &name, bool onlyIfExists = false);

// The value of the property `prop` of type `type` on `window`, at most `longs` 32-bit units;
// empty when the window does not have it.
QByteArray property(xcb_connection_t *conn, xcb_window_t window, xcb_atom_t prop, xcb_atom_t type,
                    uint32_t longs = 4096);

// Whether a client owns the selection called `name` (a compositing manager owns
// "_NET_WM_CM_S<screen>"). False when nobody ever made the atom.
bool selectionOwned(xcb_connection_t *conn, const QByteArray &name);

}  // namespace xcbcalls
