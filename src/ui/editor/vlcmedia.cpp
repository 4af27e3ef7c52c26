#include "ui/editor/vlcmedia.h"

#include "ui/editor/vlcinstance.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <vlc/vlc.h>

VlcMedia::VlcMedia(const QString &location, bool localFile, VlcInstance *instance)
    : m_location(location)
{
    if (!instance || !instance->core())
        return;
    if (localFile)
        m_vlcMedia = libvlc_media_new_path(
            instance->core(), QFile::encodeName(QDir::toNativeSeparators(location)).constData());
    else
        m_vlcMedia = libvlc_media_new_location(instance->core(), location.toUtf8().constData());
    if (!m_vlcMedia)
        qWarning() << "libvlc_media_new failed:" << location;
}

VlcMedia::~VlcMedia()
{
    if (m_vlcMedia)
        libvlc_media_release(m_vlcMedia);
}

Vlc::State VlcMedia::state() const
{
    if (!m_vlcMedia)
        return Vlc::Error;
    return Vlc::State(libvlc_media_get_state(m_vlcMedia));
}
