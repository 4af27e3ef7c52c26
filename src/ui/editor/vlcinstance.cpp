#include "ui/editor/vlcinstance.h"

#include <QByteArrayList>
#include <QDebug>
#include <QFuture>
#include <QMutex>
#include <QtConcurrent>
#include <vector>
#include <vlc/vlc.h>

namespace {
libvlc_instance_t *newCore(const QStringList &args)
{
    QByteArrayList bytes;
    for (const QString &a : args)
        bytes << a.toUtf8();
    std::vector<const char *> argv;
    for (const QByteArray &b : bytes)
        argv.push_back(b.constData());
    return libvlc_new(int(argv.size()), argv.data());
}

// The process keeps one started libvlc (plug-ins loaded) per argument list for the instances
// to come: starting libvlc takes a good part of a second.
struct KeptCore
{
    QMutex mutex;
    QStringList args;
    QFuture<libvlc_instance_t *> core;
    // A player made ahead on a worker for the next newPlayer() of its core.
    libvlc_instance_t *spareOf = nullptr;
    libvlc_media_player_t *spare = nullptr;
    bool makingSpare = false;
};

KeptCore &keptCore()
{
    static KeptCore kept;
    return kept;
}

// A reference to the kept libvlc of `args`, started here unless a worker has started it; null
// when it cannot start.
libvlc_instance_t *takeCore(const QStringList &args)
{
    KeptCore &kept = keptCore();
    QMutexLocker lock(&kept.mutex);
    if (!kept.core.isValid() || kept.args != args) {
        kept.args = args;
        kept.core = QtFuture::makeReadyFuture(newCore(args));
    }
    QFuture<libvlc_instance_t *> core = kept.core;
    lock.unlock();
    libvlc_instance_t *instance = core.result();
    if (instance)
        libvlc_retain(instance);
    return instance;
}

// Starts making a spare player of `instance` unless one is there or being made. Kept for the
// rest of the process, like the core it belongs to.
void makeSpareAhead(libvlc_instance_t *instance)
{
    KeptCore &kept = keptCore();
    {
        QMutexLocker lock(&kept.mutex);
        if (kept.makingSpare || (kept.spare && kept.spareOf == instance))
            return;
        kept.makingSpare = true;
    }
    // On the global pool, which the application waits for as it ends.
    libvlc_retain(instance);
    QThreadPool::globalInstance()->start([instance] {
        libvlc_media_player_t *player = libvlc_media_player_new(instance);
        libvlc_release(instance);  // the player holds a reference of its own
        KeptCore &kept = keptCore();
        QMutexLocker lock(&kept.mutex);
        kept.makingSpare = false;
        if (player && !kept.spare) {
            kept.spare = player;
            kept.spareOf = instance;
            player = nullptr;
        }
        lock.unlock();
        if (player)
            libvlc_media_player_release(player);
    });
}
}  // namespace

libvlc_media_player_t *VlcInstance::newPlayer(libvlc_instance_t *instance)
{
    if (!instance)
        return nullptr;
    libvlc_media_player_t *player = nullptr;
    {
        KeptCore &kept = keptCore();
        QMutexLocker lock(&kept.mutex);
        if (kept.spare && kept.spareOf == instance)
            player = std::exchange(kept.spare, nullptr);
    }
    if (!player)
        player = libvlc_media_player_new(instance);
    makeSpareAhead(instance);
    return player;
}

void VlcInstance::startEarly(const QStringList &args)
{
    KeptCore &kept = keptCore();
    QMutexLocker lock(&kept.mutex);
    if (kept.core.isValid() && kept.args == args)
        return;
    kept.args = args;
    kept.core = QtConcurrent::run([args] {
        libvlc_instance_t *core = newCore(args);
        if (core)
            makeSpareAhead(core);
        return core;
    });
}

VlcInstance::VlcInstance(const QStringList &args, QObject *parent) : QObject(parent)
{
    m_vlcInstance = takeCore(args);
    if (!m_vlcInstance) {
        const char *err = libvlc_errmsg();
        qWarning() << "libvlc_new failed:" << (err ? err : "unknown error") << args;
        return;
    }
    libvlc_set_user_agent(m_vlcInstance, "Lumora", "Lumora");
    qInfo() << "libvlc started, version" << libVersion();
}

VlcInstance::~VlcInstance()
{
    if (m_vlcInstance)
        libvlc_release(m_vlcInstance);
}

QString VlcInstance::libVersion()
{
    return QString::fromUtf8(libvlc_get_version());
}
