#pragma once
// One libvlc instance. Create, use and delete it on the main thread; every VlcMedia and
// VlcMediaPlayer made on it must be deleted before it. Instances made with the same arguments
// share one started libvlc, which the process keeps for the next instance; startEarly() (any
// thread) starts it on a worker ahead of the first instance.
#include <QObject>
#include <QStringList>

struct libvlc_instance_t;
struct libvlc_media_player_t;

class VlcInstance : public QObject
{
    Q_OBJECT
public:
    explicit VlcInstance(const QStringList &args, QObject *parent = nullptr);
    ~VlcInstance() override;

    libvlc_instance_t *core() const { return m_vlcInstance; }
    // False when libvlc could not be started (no plug-ins, a bad argument); every object made
    // on such an instance does nothing.
    bool status() const { return m_vlcInstance != nullptr; }

    static QString libVersion();
    // Starts the libvlc of `args` on a worker, so that the first instance need not wait for it.
    static void startEarly(const QStringList &args);

    // A new libvlc player on `instance` (a started core); null when libvlc cannot make one.
    // A player connects its sound output to the sound server as it is made, which takes
    // milliseconds: the next one is made ahead on a worker and handed out by the next call.
    // Any thread.
    static libvlc_media_player_t *newPlayer(libvlc_instance_t *instance);

private:
    libvlc_instance_t *m_vlcInstance = nullptr;
};
