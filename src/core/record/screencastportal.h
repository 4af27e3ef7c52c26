#pragma once
// ScreenCastPortal: asks the desktop portal (org.freedesktop.portal.ScreenCast on the session
// bus) for one monitor's picture, with the pointer drawn into it, and hands over a connection
// to the PipeWire server that carries it. The steps are the portal's own: CreateSession,
// SelectSources, Start (the desktop asks the teacher which screen to share), OpenPipeWireRemote;
// each answer comes as a Response signal of the request object the call returned.
//
// The portal is asked to remember the teacher's answer (persist_mode 2, kept until revoked):
// Start returns a restore token, which is kept in "conf.ini" under kRestoreTokenKey and handed
// to the next SelectSources, so the desktop asks once, not at every recording.
//
// The session stays open while the object lives (the stream ends with it). Main thread only.
#include <QObject>
#include <QRect>
#include <QString>

class ScreenCastPortal : public QObject
{
    Q_OBJECT
public:
    enum class Failure {
        Refused,   // the teacher refused the desktop's question
        NoPortal,  // no portal, or one without the ScreenCast interface
        Failed,    // the portal answered with an error
    };
    Q_ENUM(Failure)
    // The monitor's stream: the PipeWire node, where the monitor lies on the desktop (its
    // "position" and "size"; empty when the portal does not say) and the connection to the
    // PipeWire server, a file descriptor that whoever receives `started` takes over (hands on
    // to a PipeWireSource, or closes).
    struct Stream
    {
        quint32 node = 0;
        QRect area;
        int remoteFd = -1;
    };

    static constexpr const char *kRestoreTokenKey = "ScreenCast/restoreToken";

    explicit ScreenCastPortal(QObject *parent = nullptr);
    ~ScreenCastPortal() override;

    // Starts asking; `parentWindow` is the portal's parent-window identifier ("x11:<id>" or
    // empty) for the desktop's dialog. Ends with started or failed, once.
    void start(const QString &parentWindow = QString());

    // The teacher's words for a failure (`detail`: what the portal said, for Failed).
    static QString failureText(Failure failure, const QString &detail = QString());

signals:
    void started(const ScreenCastPortal::Stream &stream);
    void failed(ScreenCastPortal::Failure failure, const QString &detail);

private slots:
    void onResponse(uint response, const QVariantMap &results);

private:
    enum class Step { Idle, CreateSession, SelectSources, Start, Done };
    // Calls `method` with `arguments` (the last being the options, which get a handle_token);
    // the answer comes to onResponse.
    void request(Step step, const QString &method, QList<QVariant> arguments);
    void fail(Failure failure, const QString &detail);
    void closeSession();

    Step m_step = Step::Idle;
    QString m_session;
    QString m_parentWindow;
    uint m_version = 0;
};
Q_DECLARE_METATYPE(ScreenCastPortal::Stream)
