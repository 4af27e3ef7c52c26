#include "ui/record/portalshortcuts.h"

#include "core/record/portalrequest.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDebug>
#include <QVariantMap>

namespace {
const QString kInterface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");

// One entry of BindShortcuts' a(sa{sv}).
struct PortalShortcut
{
    QString id;
    QVariantMap properties;
};
}  // namespace

Q_DECLARE_METATYPE(PortalShortcut)
Q_DECLARE_METATYPE(QList<PortalShortcut>)

namespace {
QDBusArgument &operator<<(QDBusArgument &arg, const PortalShortcut &shortcut)
{
    arg.beginStructure();
    arg << shortcut.id << shortcut.properties;
    arg.endStructure();
    return arg;
}

const QDBusArgument &operator>>(const QDBusArgument &arg, PortalShortcut &shortcut)
{
    arg.beginStructure();
    arg >> shortcut.id >> shortcut.properties;
    arg.endStructure();
    return arg;
}
}  // namespace

bool PortalShortcuts::offered()
{
    return PortalRequest::interfaceVersion(kInterface, 2000) >= 0;
}

QString PortalShortcuts::trigger(const QKeySequence &sequence)
{
    if (sequence.isEmpty())
        return QString();
    const QKeyCombination combination = sequence[0];
    const Qt::KeyboardModifiers mods = combination.keyboardModifiers();
    QString text;
    if (mods & Qt::ControlModifier)
        text += QStringLiteral("CTRL+");
    if (mods & Qt::AltModifier)
        text += QStringLiteral("ALT+");
    if (mods & Qt::ShiftModifier)
        text += QStringLiteral("SHIFT+");
    if (mods & Qt::MetaModifier)
        text += QStringLiteral("LOGO+");
    return text + QKeySequence(combination.key()).toString(QKeySequence::PortableText).toLower();
}

class PortalShortcuts::Session : public QObject
{
    Q_OBJECT
public:
    Session(PortalShortcuts *owner, const QList<Key> &keys);
    ~Session() override;

private slots:
    void onSessionCreated(uint response, const QVariantMap &results);
    void onBound(uint response, const QVariantMap &results);
    void onActivated(const QDBusObjectPath &session, const QString &id, qulonglong timestamp,
                     const QVariantMap &options);

private:
    // Calls `method` of the interface; the portal's answer comes to `handler`.
    bool request(const QString &method, const QList<QVariant> &args, const QVariantMap &options,
                 void (Session::*handler)(uint, const QVariantMap &));

    PortalShortcuts *m_owner;
    QList<Key> m_keys;
    QString m_session;
};

PortalShortcuts::PortalShortcuts(const QList<Key> &keys, QObject *parent)
    : QObject(parent), m_session(new Session(this, keys))
{
}

PortalShortcuts::~PortalShortcuts() = default;  // the session is a child

PortalShortcuts::Session::Session(PortalShortcuts *owner, const QList<Key> &keys)
    : QObject(owner), m_owner(owner), m_keys(keys)
{
    qDBusRegisterMetaType<PortalShortcut>();
    qDBusRegisterMetaType<QList<PortalShortcut>>();
    QDBusConnection::sessionBus().connect(
        PortalRequest::kService, PortalRequest::kPath, kInterface, QStringLiteral("Activated"),
        this, SLOT(onActivated(QDBusObjectPath, QString, qulonglong, QVariantMap)));
    // Begun once the owner's signals are connected.
    QMetaObject::invokeMethod(
        this,
        [this] {
            QVariantMap options;
            options.insert(QStringLiteral("session_handle_token"), QStringLiteral("lumora_keys"));
            if (!request(QStringLiteral("CreateSession"), {}, options, &Session::onSessionCreated))
                emit m_owner->failed(QStringLiteral("CreateSession could not be called"));
        },
        Qt::QueuedConnection);
}

PortalShortcuts::Session::~Session()
{
    if (m_session.isEmpty())
        return;
    QDBusConnection::sessionBus().call(
        QDBusMessage::createMethodCall(PortalRequest::kService, m_session,
                                       QStringLiteral("org.freedesktop.portal.Session"),
                                       QStringLiteral("Close")),
        QDBus::NoBlock);
}

bool PortalShortcuts::Session::request(const QString &method, const QList<QVariant> &args,
                                       const QVariantMap &options,
                                       void (Session::*handler)(uint, const QVariantMap &))
{
    PortalRequest *request =
        PortalRequest::call(kInterface, method, args, options, QStringLiteral("lumora_keys"), this);
    if (!request)
        return false;
    connect(request, &PortalRequest::answered, this, handler);
    connect(request, &PortalRequest::callFailed, this, [this, method](const QDBusError &error) {
        emit m_owner->failed(QStringLiteral("%1: %2").arg(method, error.message()));
    });
    return true;
}

void PortalShortcuts::Session::onSessionCreated(uint response, const QVariantMap &results)
{
    m_session = results.value(QStringLiteral("session_handle")).toString();
    if (response != 0 || m_session.isEmpty()) {
        emit m_owner->failed(QStringLiteral("no session (response %1)").arg(response));
        return;
    }
    QList<PortalShortcut> shortcuts;
    for (const Key &key : std::as_const(m_keys)) {
        QVariantMap properties;
        properties.insert(QStringLiteral("description"), key.description);
        properties.insert(QStringLiteral("preferred_trigger"), trigger(key.sequence));
        shortcuts.append({key.id, properties});
    }
    if (!request(QStringLiteral("BindShortcuts"),
                 {QVariant::fromValue(QDBusObjectPath(m_session)), QVariant::fromValue(shortcuts),
                  QString()},
                 {}, &Session::onBound))
        emit m_owner->failed(QStringLiteral("BindShortcuts could not be called"));
}

void PortalShortcuts::Session::onBound(uint response, const QVariantMap &)
{
    if (response != 0)
        emit m_owner->failed(QStringLiteral("keys not bound (response %1)").arg(response));
    else
        qInfo() << "PortalShortcuts: keys bound";
}

void PortalShortcuts::Session::onActivated(const QDBusObjectPath &session, const QString &id,
                                           qulonglong, const QVariantMap &)
{
    if (session.path() == m_session)
        emit m_owner->activated(id);
}

#include "portalshortcuts.moc"
