#include "ui/editor/vlcinstance.h"

#include <QByteArrayList>
#include <QDebug>
#include <vector>
#include <vlc/vlc.h>

VlcInstance::VlcInstance(const QStringList &args, QObject *parent) : QObject(parent)
{
    QByteArrayList bytes;
    for (const QString &a : args)
        bytes << a.toUtf8();
    std::vector<const char *> argv;
    for (const QByteArray &b : bytes)
        argv.push_back(b.constData());
    m_vlcInstance = libvlc_new(int(argv.size()), argv.data());
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
