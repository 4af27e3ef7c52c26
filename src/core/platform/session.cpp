#include "core/platform/session.h"

#include <QtGlobal>

namespace session {

bool isWayland(const QProcessEnvironment &environment)
{
    return !environment.value(QStringLiteral("WAYLAND_DISPLAY")).isEmpty() ||
           environment.value(QStringLiteral("XDG_SESSION_TYPE"))
                   .compare(QStringLiteral("wayland"), Qt::CaseInsensitive) == 0;
}

QString preferX11Windows()
{
    if (!isWayland() || qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        return QString();
    qputenv("QT_QPA_PLATFORM", "xcb");
    return QStringLiteral("xcb");
}

}  // namespace session
