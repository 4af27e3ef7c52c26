#include "core/update/updatechecker.h"

#include "core/platform/settings.h"

#include <QDebug>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrlQuery>

#ifndef LUMORA_UPDATE_SERVER
#define LUMORA_UPDATE_SERVER ""
#endif

namespace {
int g_transferTimeoutMs = 15000;

bool isHttpScheme(const QString &scheme)
{
    return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}
}  // namespace

UpdateChecker::UpdateChecker(QObject *parent)
    : QObject(parent), m_network(new QNetworkAccessManager(this))
{
}

void UpdateChecker::setTransferTimeoutMs(int ms)
{
    g_transferTimeoutMs = ms;
}

QString UpdateChecker::serverAddress()
{
    const QString configured = readSetting(QStringLiteral("updateServer")).toString().trimmed();
    if (!configured.isEmpty())
        return configured;
    return QString::fromUtf8(LUMORA_UPDATE_SERVER).trimmed();
}

QUrl UpdateChecker::requestUrl(const QString &server)
{
    QUrl url(server.trimmed(), QUrl::StrictMode);
    if (!url.isValid() || !isHttpScheme(url.scheme()) || url.host().isEmpty())
        return QUrl();
    QString path = url.path();
    while (path.endsWith(QLatin1Char('/')))
        path.chop(1);
    url.setPath(path + QStringLiteral("/apis/apk/apkInfos.jspx"));
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("apkid"), QString::fromLatin1(kApkId));
    url.setQuery(query);
    url.setFragment(QString());
    return url;
}

bool UpdateChecker::isNewerVersion(const QString &remote, const QString &installed)
{
    const QStringList a = remote.trimmed().split(QLatin1Char('.'));
    const QStringList b = installed.trimmed().split(QLatin1Char('.'));
    for (int i = 0; i < 4; ++i) {
        // toLongLong gives 0 for a missing or non-numeric part.
        const qlonglong x = i < a.size() ? a.at(i).toLongLong() : 0;
        const qlonglong y = i < b.size() ? b.at(i).toLongLong() : 0;
        if (x != y)
            return x > y;
    }
    return false;
}

bool UpdateChecker::isWebAddress(const QString &address)
{
    const QUrl url(address.trimmed(), QUrl::StrictMode);
    return url.isValid() && isHttpScheme(url.scheme()) && !url.host().isEmpty();
}

void UpdateChecker::check(const QString &installedVersion)
{
    if (m_checking)
        return;
    m_checking = true;
    m_installedVersion = installedVersion;
    m_tooLarge = false;
    m_badRedirect = false;

    const QString server = serverAddress();
    const QUrl url = requestUrl(server);
    if (!url.isValid()) {
        qWarning() << "checkNewVersion: no usable update server:" << server;
        // The answer comes from the event loop, as a reply would.
        QTimer::singleShot(0, this, [this] { finish(NoServer); });
        return;
    }

    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::ContentTypeHeader,
                      QStringLiteral("application/x-www-form-urlencoded"));
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::UserVerifiedRedirectPolicy);
    request.setTransferTimeout(g_transferTimeoutMs);
    QNetworkReply *reply = m_network->get(request);
    m_reply = reply;
    const QString scheme = url.scheme();
    // A redirect is followed only within the same scheme.
    connect(reply, &QNetworkReply::redirected, this, [this, reply, scheme](const QUrl &to) {
        if (to.scheme() == scheme) {
            emit reply->redirectAllowed();
        } else {
            qWarning() << "checkNewVersion: redirect to another scheme refused:" << to;
            m_badRedirect = true;
            reply->abort();
        }
    });
    connect(reply, &QNetworkReply::downloadProgress, this,
            [this, reply](qint64 received, qint64 total) {
                if (received > kMaxReplyBytes || total > kMaxReplyBytes) {
                    qWarning() << "checkNewVersion: reply larger than" << kMaxReplyBytes << "bytes";
                    m_tooLarge = true;
                    reply->abort();
                }
            });
    // TLS errors are never ignored: the reply ends with an error.
    connect(reply, &QNetworkReply::finished, this, [this, reply] { onReplyFinished(reply); });
}

void UpdateChecker::onReplyFinished(QNetworkReply *reply)
{
    const auto release = [reply] {
        reply->close();
        reply->abort();
        reply->deleteLater();
    };
    if (m_tooLarge || m_badRedirect || reply->error() != QNetworkReply::NoError) {
        if (reply->error() != QNetworkReply::NoError)
            qWarning() << "checkNewVersion: network error" << reply->errorString();
        release();
        finish(Failed);
        return;
    }
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QByteArray body = reply->read(kMaxReplyBytes + 1);
    release();
    qDebug() << "status:" << status;
    qDebug() << "data:" << body;
    if (body.size() > kMaxReplyBytes) {
        finish(Failed);
        return;
    }
    // A body that is not JSON reads as an empty object, whose "result" is 0.
    const QJsonObject root = QJsonDocument::fromJson(body).object();
    if (root.value(QStringLiteral("result")).toInt() != 1) {
        finish(Failed);
        return;
    }
    const QJsonObject info =
        root.value(QStringLiteral("msg")).toObject().value(QStringLiteral("apkInfo")).toObject();
    const QString downloadUrl = info.value(QStringLiteral("downloadurl")).toString().trimmed();
    const QString version = info.value(QStringLiteral("version")).toString();
    if (!isNewerVersion(version, m_installedVersion)) {
        finish(UpToDate, QString(), version);
        return;
    }
    if (!isWebAddress(downloadUrl)) {
        if (!downloadUrl.isEmpty())
            qWarning() << "checkNewVersion: download address refused:" << downloadUrl;
        finish(Failed, QString(), version);
        return;
    }
    finish(NewVersion, downloadUrl, version);
}

void UpdateChecker::finish(Result result, const QString &downloadUrl, const QString &remoteVersion)
{
    m_checking = false;
    m_reply.clear();
    emit finished(result, downloadUrl, remoteVersion);
}
