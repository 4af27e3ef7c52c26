#include "support/testdisplay.h"

#include <QtGlobal>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <memory>

namespace TestDisplay {
namespace {

const char kVariable[] = "LUMORA_DISPLAY_WITHOUT_COMPOSITOR";

template <typename T> using Reply = std::unique_ptr<T, decltype(&std::free)>;

struct Connection
{
    explicit Connection(const QString &display)
    {
        const QByteArray name = display.toLocal8Bit();
        conn = xcb_connect(name.isEmpty() ? nullptr : name.constData(), nullptr);
    }
    ~Connection() { xcb_disconnect(conn); }
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;
    bool ok() const { return conn != nullptr && xcb_connection_has_error(conn) == 0; }
    xcb_window_t root() const { return xcb_setup_roots_iterator(xcb_get_setup(conn)).data->root; }
    xcb_atom_t atom(const char *name) const
    {
        Reply<xcb_intern_atom_reply_t> reply(
            xcb_intern_atom_reply(conn, xcb_intern_atom(conn, 0, uint16_t(std::strlen(name)), name),
                                  nullptr),
            &std::free);
        return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    }
    xcb_connection_t *conn = nullptr;
};

}  // namespace

QString withoutCompositor()
{
    return qEnvironmentVariable(kVariable);
}

void useDisplayWithoutCompositor()
{
    const QByteArray display = qgetenv(kVariable);
    if (display.isEmpty())
        qFatal("%s is not set: run the test with scripts/test, which starts that display",
               kVariable);
    qputenv("DISPLAY", display);
}

QProcessEnvironment environmentWithoutCompositor()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), withoutCompositor());
    return env;
}

bool hasCompositor(const QString &display)
{
    Connection c(display);
    if (!c.ok())
        return false;
    Reply<xcb_get_selection_owner_reply_t> owner(
        xcb_get_selection_owner_reply(
            c.conn, xcb_get_selection_owner(c.conn, c.atom("_NET_WM_CM_S0")), nullptr),
        &std::free);
    return owner && owner->owner != XCB_WINDOW_NONE;
}

bool hasWindowManager(const QString &display)
{
    Connection c(display);
    if (!c.ok())
        return false;
    Reply<xcb_get_property_reply_t> reply(
        xcb_get_property_reply(c.conn,
                               xcb_get_property(c.conn, 0, c.root(),
                                                c.atom("_NET_SUPPORTING_WM_CHECK"), XCB_ATOM_WINDOW,
                                                0, 1),
                               nullptr),
        &std::free);
    return reply && reply->type == XCB_ATOM_WINDOW &&
           xcb_get_property_value_length(reply.get()) == 4;
}

}  // namespace TestDisplay
