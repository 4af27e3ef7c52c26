#include "core/record/screencastportal.h"

#include "core/platform/settings.h"
#include "core/record/portalrequest.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusReply>
#include <QDBusUnixFileDescriptor>
#include <QDBusVariant>
#include <QDebug>

#include <cerrno>

#include <fcntl.h>

namespace {
const QString kScreenCast = QStringLiteral("org.freedesktop.portal.ScreenCast");

// SelectSources: one monitor, the pointer drawn into the picture, the answer kept until the
// teacher revokes it.
constexpr uint kSourceMonitor = 1;
constexpr uint kCursorEmbedded = 2;
constexpr uint kPersistUntilRevoked = 2;

QPoint pointOf(const QVariant &value)
{
    int a = 0, b = 0;
    if (value.canConvert<QDBusArgument>()) {
        const QDBusArgument argument = value.value<QDBusArgument>();
        argument.beginStructure();
        argument >> a >> b;
        argument.endStructure();
    }
    return QPoint(a, b);
}

// The first stream of Start's "streams" (a(ua{sv})).
bool firstStream(const QVariant &value, ScreenCastPortal::Stream *stream)
{
    if (!value.canConvert<QDBusArgument>())
        return false;
    const QDBusArgument argument = value.value<QDBusArgument>();
    bool found = false;
    argument.beginArray();
    while (!argument.atEnd()) {
        uint node = 0;
        QVariantMap properties;
        argument.beginStructure();
        argument >> node >> properties;
        argument.endStructure();
        if (found)
            continue;
        found = true;
        stream->node = node;
        const QPoint size = pointOf(properties.value(QStringLiteral("size")));
        if (size.x() > 0 && size.y() > 0)
            stream->area = QRect(pointOf(properties.value(QStringLiteral("position"))),
                                 QSize(size.x(), size.y()));
    }
    argument.endArray();
    return found;
}

bool isMissing(const QDBusError &error)
{
    switch (error.type()) {
    case QDBusError::ServiceUnknown:
    case QDBusError::UnknownInterface:
    case QDBusError::UnknownObject:
    case QDBusError::UnknownMethod:
    case QDBusError::UnknownProperty:
    case QDBusError::InvalidArgs:
    case QDBusError::Disconnected: return true;
    default: return false;
    }
}
}  // namespace

ScreenCastPortal::ScreenCastPortal(QObject *parent) : QObject(parent)
{
    qRegisterMetaType<ScreenCastPortal::Stream>();
    qRegisterMetaType<ScreenCastPortal::Failure>();
}

ScreenCastPortal::~ScreenCastPortal()
{
    closeSession();
}

QString ScreenCastPortal::failureText(Failure failure, const QString &detail)
{
    switch (failure) {
    case Failure::Refused: return tr("已取消录制：桌面没有允许共享屏幕。");
    case Failure::NoPortal:
        return tr(
            "无法在 Wayland 桌面上录屏：没有找到桌面门户的屏幕共享接口。\n"
            "请安装 xdg-desktop-portal 和桌面对应的门户软件包"
            "（GNOME：xdg-desktop-portal-gnome，KDE：xdg-desktop-portal-kde），然后重新登录。");
    case Failure::Failed: break;
    }
    return tr("无法在 Wayland 桌面上录屏：桌面门户出错（%1）。").arg(detail);
}

void ScreenCastPortal::start(const QString &parentWindow)
{
    if (m_step != Step::Idle)
        return;
    m_parentWindow = parentWindow;
    QDBusError error;
    const int version = PortalRequest::interfaceVersion(kScreenCast, 10000, &error);
    if (version < 0) {
        qWarning() << "ScreenCastPortal: no ScreenCast interface:" << error.name()
                   << error.message();
        fail(!error.isValid() || isMissing(error) ? Failure::NoPortal : Failure::Failed,
             error.message());
        return;
    }
    m_version = uint(version);
    qInfo() << "ScreenCastPortal: version" << m_version;
    request(Step::CreateSession, QStringLiteral("CreateSession"),
            {QVariantMap{
                {QStringLiteral("session_handle_token"),
                 QStringLiteral("lumora_session%1").arg(QCoreApplication::applicationPid())}}});
}

void ScreenCastPortal::request(Step step, const QString &method, QList<QVariant> arguments)
{
    m_step = step;
    const QVariantMap options = arguments.takeLast().toMap();
    QDBusError error;
    PortalRequest *request = PortalRequest::call(kScreenCast, method, arguments, options,
                                                 QStringLiteral("lumora"), this, &error);
    if (!request) {
        fail(Failure::NoPortal, error.message());
        return;
    }
    connect(request, &PortalRequest::answered, this, &ScreenCastPortal::onResponse);
    connect(request, &PortalRequest::callFailed, this, [this, method](const QDBusError &e) {
        qWarning() << "ScreenCastPortal:" << method << e.name() << e.message();
        fail(isMissing(e) ? Failure::NoPortal : Failure::Failed, e.message());
    });
}

void ScreenCastPortal::onResponse(uint response, const QVariantMap &results)
{
    if (m_step == Step::Done || m_step == Step::Idle)
        return;
    if (response == 1) {
        qInfo() << "ScreenCastPortal: refused";
        fail(Failure::Refused, QString());
        return;
    }
    if (response != 0) {
        qWarning() << "ScreenCastPortal: response" << response;
        fail(Failure::Failed, QStringLiteral("response %1").arg(response));
        return;
    }
    switch (m_step) {
    case Step::CreateSession: {
        m_session = results.value(QStringLiteral("session_handle")).toString();
        QVariantMap options{{QStringLiteral("types"), kSourceMonitor},
                            {QStringLiteral("multiple"), false},
                            {QStringLiteral("cursor_mode"), kCursorEmbedded}};
        if (m_version >= 4) {
            options.insert(QStringLiteral("persist_mode"), kPersistUntilRevoked);
            const QString token = readSetting(QString::fromLatin1(kRestoreTokenKey)).toString();
            if (!token.isEmpty())
                options.insert(QStringLiteral("restore_token"), token);
        }
        request(Step::SelectSources, QStringLiteral("SelectSources"),
                {QVariant::fromValue(QDBusObjectPath(m_session)), options});
        break;
    }
    case Step::SelectSources:
        request(Step::Start, QStringLiteral("Start"),
                {QVariant::fromValue(QDBusObjectPath(m_session)), m_parentWindow, QVariantMap()});
        break;
    case Step::Start: {
        Stream stream;
        if (!firstStream(results.value(QStringLiteral("streams")), &stream)) {
            fail(Failure::Failed, QStringLiteral("no stream"));
            return;
        }
        const QString token = results.value(QStringLiteral("restore_token")).toString();
        if (!token.isEmpty())
            writeSetting(QString::fromLatin1(kRestoreTokenKey), token);
        QDBusMessage open =
            QDBusMessage::createMethodCall(PortalRequest::kService, PortalRequest::kPath,
                                           kScreenCast, QStringLiteral("OpenPipeWireRemote"));
        open << QVariant::fromValue(QDBusObjectPath(m_session)) << QVariantMap();
        const QDBusReply<QDBusUnixFileDescriptor> remote =
            QDBusConnection::sessionBus().call(open, QDBus::Block, 10000);
        if (!remote.isValid() || !remote.value().isValid()) {
            fail(Failure::Failed, remote.error().message());
            return;
        }
        stream.remoteFd = fcntl(remote.value().fileDescriptor(), F_DUPFD_CLOEXEC, 3);
        if (stream.remoteFd < 0) {
            fail(Failure::Failed, QStringLiteral("PipeWire remote: %1").arg(errno));
            return;
        }
        m_step = Step::Done;
        qInfo() << "ScreenCastPortal: node" << stream.node << "area" << stream.area;
        emit started(stream);
        break;
    }
    case Step::Idle:
    case Step::Done: break;
    }
}

void ScreenCastPortal::fail(Failure failure, const QString &detail)
{
    if (m_step == Step::Done)
        return;
    m_step = Step::Done;
    closeSession();
    emit failed(failure, detail);
}

void ScreenCastPortal::closeSession()
{
    if (m_session.isEmpty())
        return;
    QDBusMessage close = QDBusMessage::createMethodCall(
        PortalRequest::kService, m_session, QStringLiteral("org.freedesktop.portal.Session"),
        QStringLiteral("Close"));
    close.setAutoStartService(false);
    QDBusConnection::sessionBus().send(close);
    m_session.clear();
}
