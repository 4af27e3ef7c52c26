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
}  // namespace

void VlcInstance::startEarly(const QStringList &args)
{
    KeptCore &kept = keptCore();
    QMutexLocker lock(&kept.mutex);
    if (kept.core.isValid() && kept.args == args)
        return;
    kept.args = args;
    kept.core = QtConcurrent::run([args] { return newCore(args); });
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
