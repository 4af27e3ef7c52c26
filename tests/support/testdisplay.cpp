#include "support/testdisplay.h"

#include "ui/base/xcbcalls.h"

#include <QtGlobal>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <memory>

namespace TestDisplay {
namespace {

const char kVariable[] = "LUMORA_DISPLAY_WITHOUT_COMPOSITOR";

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
    return xcbcalls::selectionOwned(c.conn, "_NET_WM_CM_S0");
}

bool hasWindowManager(const QString &display)
{
    Connection c(display);
    if (!c.ok())
        return false;
    return xcbcalls::property(c.conn, c.root(), xcbcalls::atom(c.conn, "_NET_SUPPORTING_WM_CHECK"),
                              XCB_ATOM_WINDOW, 1)
               .size() == 4;
}

}  // namespace TestDisplay
