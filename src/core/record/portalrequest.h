#pragma once
// PortalRequest: one call of a desktop portal method (org.freedesktop.portal.* on the session
// bus) whose answer comes as the Response signal of a request object. The request's path
// follows from the handle_token given, so the answer is listened for before the call goes
// out and cannot be missed; a portal that names the request otherwise in its reply is listened
// to there instead. Also a version check of a portal interface, which tells whether it exists.
//
// A request ends with exactly one of answered or callFailed and then deletes itself. Main
// thread only.
#include <QDBusError>
#include <QList>
#include <QObject>
#include <QString>
#include <QVariant>
#include <QVariantMap>

class PortalRequest : public QObject
{
    Q_OBJECT
public:
    static const QString kService;  // org.freedesktop.portal.Desktop
    static const QString kPath;     // /org/freedesktop/portal/desktop

    // Calls `method` of `interface` with `arguments` and `options` (given a handle_token made
    // of `tokenPrefix` and a count) as the last argument. Null when the session bus is not
    // connected (`error`, when given, says why).
    static PortalRequest *call(const QString &interface, const QString &method,
                               QList<QVariant> arguments, QVariantMap options,
                               const QString &tokenPrefix, QObject *parent,
                               QDBusError *error = nullptr);

    // The version of a portal interface, -1 when it cannot be had within `timeoutMs` (`error`
    // says why: no portal, no such interface, no bus).
    static int interfaceVersion(const QString &interface, int timeoutMs,
                                QDBusError *error = nullptr);

signals:
    // The portal's answer: 0 done, 1 refused by the user, 2 otherwise ended.
    void answered(uint response, const QVariantMap &results);
    // The call itself failed (no portal, no such method).
    void callFailed(const QDBusError &error);

private slots:
    void onResponse(uint response, const QVariantMap &results);

private:
    explicit PortalRequest(QObject *parent);
    void listen(const QString &path);
    void finish();

    QString m_path;
    bool m_done = false;
};
