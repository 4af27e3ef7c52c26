#pragma once
// A small client of the desktop portal's GlobalShortcuts interface (Wayland desktops that offer
// it): one session, the program's keys bound in it with the triggers the teacher chose as the
// preferred ones (the desktop may ask the teacher to confirm or change them), and the
// activations announced by id. The session is closed when the object goes. Main thread only.
#include <QKeySequence>
#include <QList>
#include <QObject>
#include <QString>

class PortalShortcuts : public QObject
{
    Q_OBJECT
public:
    struct Key
    {
        QString id;
        QString description;
        QKeySequence sequence;
    };

    // Whether the session bus has a desktop portal with the GlobalShortcuts interface.
    static bool offered();
    // The portal's text of a trigger: "CTRL+ALT+p".
    static QString trigger(const QKeySequence &sequence);

    explicit PortalShortcuts(const QList<Key> &keys, QObject *parent = nullptr);
    ~PortalShortcuts() override;

signals:
    void activated(const QString &id);
    // The portal refused the session or the keys; the reason for the log.
    void failed(const QString &reason);

private:
    // The conversation with the portal (D-Bus stays inside portalshortcuts.cpp).
    class Session;
    Session *m_session = nullptr;
};
