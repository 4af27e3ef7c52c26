#pragma once
// Asks the update-information server whether a newer version of the program exists.
//
// The server's address is a deployment setting: the key "updateServer" of "conf.ini" when it
// is set, otherwise the address the program was built with (CMake option
// LUMORA_UPDATE_SERVER). With neither, or with an address that is not http or https, no
// request is sent and the check ends with NoServer: asking again cannot help.
//
// Request: GET <server>/apis/apk/apkInfos.jspx?apkid=com.lumora.lmrecordwindows. Reply: a JSON
// object {"result": 1, "msg": {"apkInfo": {"downloadurl": "...", "version": "0.2.6.0"}}}.
// A check fails on a network or TLS error, a redirect to another scheme, a body over 1 MiB,
// a body that is not such an object, "result" other than 1, or a newer version whose download
// address is not an http or https address.
//
// Threads: main thread only (the network replies are handled in its event loop).
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkReply;

class UpdateChecker : public QObject
{
    Q_OBJECT
public:
    enum Result { UpToDate, NewVersion, Failed, NoServer };
    Q_ENUM(Result)

    static constexpr qint64 kMaxReplyBytes = 1024 * 1024;
    static constexpr const char *kApkId = "com.lumora.lmrecordwindows";

    explicit UpdateChecker(QObject *parent = nullptr);

    // Starts a check against `installedVersion`; does nothing while one is running.
    // finished() follows once, also when no request could be sent.
    void check(const QString &installedVersion);
    bool isChecking() const { return m_checking; }

    // The server address in effect (see above); empty when none is set.
    static QString serverAddress();
    // The full request address for `server`; invalid when `server` is no http(s) address.
    static QUrl requestUrl(const QString &server);
    // True when `remote` is a newer version than `installed`: the first four dot-separated
    // parts are compared as numbers (a missing or non-numeric part counts as 0).
    static bool isNewerVersion(const QString &remote, const QString &installed);
    // True for an address a browser may be sent to: http or https with a host.
    static bool isWebAddress(const QString &address);

    // How long a request may go without progress before it fails (default 15 s).
    static void setTransferTimeoutMs(int ms);

signals:
    // `downloadUrl` is set only with NewVersion.
    void finished(UpdateChecker::Result result, const QString &downloadUrl,
                  const QString &remoteVersion);

private:
    void onReplyFinished(QNetworkReply *reply);
    void finish(Result result, const QString &downloadUrl = QString(),
                const QString &remoteVersion = QString());

    QNetworkAccessManager *m_network = nullptr;
    QPointer<QNetworkReply> m_reply;
    QString m_installedVersion;
    bool m_checking = false;
    bool m_tooLarge = false;
    bool m_badRedirect = false;
};
