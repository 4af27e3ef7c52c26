#include "core/record/portalrequest.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>

namespace {
const QString kRequest = QStringLiteral("org.freedesktop.portal.Request");
const QString kResponse = QStringLiteral("Response");
}  // namespace

const QString PortalRequest::kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString PortalRequest::kPath = QStringLiteral("/org/freedesktop/portal/desktop");

PortalRequest::PortalRequest(QObject *parent) : QObject(parent) {}

PortalRequest *PortalRequest::call(const QString &interface, const QString &method,
                                   QList<QVariant> arguments, QVariantMap options,
                                   const QString &tokenPrefix, QObject *parent, QDBusError *error)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        if (error)
            *error = bus.lastError();
        return nullptr;
    }
    static int tokens = 0;
    const QString token = QStringLiteral("%1%2_%3")
                              .arg(tokenPrefix)
                              .arg(QCoreApplication::applicationPid())
                              .arg(++tokens);
    options.insert(QStringLiteral("handle_token"), token);
    arguments.append(options);
    QString sender = bus.baseService().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    auto *request = new PortalRequest(parent);
    request->listen(QStringLiteral("%1/request/%2/%3").arg(kPath, sender, token));
    QDBusMessage message = QDBusMessage::createMethodCall(kService, kPath, interface, method);
    message.setArguments(arguments);
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(message, 60000), request);
    connect(watcher, &QDBusPendingCallWatcher::finished, request,
            [request](QDBusPendingCallWatcher *w) {
                w->deleteLater();
                const QDBusPendingReply<QDBusObjectPath> reply = *w;
                if (request->m_done)
                    return;
                if (reply.isError()) {
                    request->finish();
                    emit request->callFailed(reply.error());
                    return;
                }
                // An older portal names the request otherwise: listen there.
                if (reply.value().path() != request->m_path)
                    request->listen(reply.value().path());
            });
    return request;
}

int PortalRequest::interfaceVersion(const QString &interface, int timeoutMs, QDBusError *error)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        if (error)
            *error = bus.lastError();
        return -1;
    }
    QDBusMessage get = QDBusMessage::createMethodCall(
        kService, kPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << interface << QStringLiteral("version");
    const QDBusMessage version = bus.call(get, QDBus::Block, timeoutMs);
    if (version.type() != QDBusMessage::ReplyMessage || version.arguments().isEmpty()) {
        if (error)
            *error = QDBusError(version);
        return -1;
    }
    return int(version.arguments().first().value<QDBusVariant>().variant().toUInt());
}

void PortalRequest::listen(const QString &path)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!m_path.isEmpty())
        bus.disconnect(kService, m_path, kRequest, kResponse, this,
                       SLOT(onResponse(uint, QVariantMap)));
    m_path = path;
    bus.connect(kService, m_path, kRequest, kResponse, this, SLOT(onResponse(uint, QVariantMap)));
}

void PortalRequest::finish()
{
    m_done = true;
    QDBusConnection::sessionBus().disconnect(kService, m_path, kRequest, kResponse, this,
                                             SLOT(onResponse(uint, QVariantMap)));
    deleteLater();
}

void PortalRequest::onResponse(uint response, const QVariantMap &results)
{
    if (m_done)
        return;
    finish();
    emit answered(response, results);
}
