#include "ui/editor/vlcmediaplayer.h"

#include "ui/editor/vlcinstance.h"
#include "ui/editor/vlcmedia.h"
#include "ui/editor/vlcwidgetvideo.h"

#include <QDebug>
#include <vlc/vlc.h>

namespace {
const libvlc_event_type_t kEvents[] = {
    libvlc_MediaPlayerOpening,          libvlc_MediaPlayerBuffering,
    libvlc_MediaPlayerPlaying,          libvlc_MediaPlayerPaused,
    libvlc_MediaPlayerStopped,          libvlc_MediaPlayerEndReached,
    libvlc_MediaPlayerEncounteredError, libvlc_MediaPlayerTimeChanged,
    libvlc_MediaPlayerLengthChanged,    libvlc_MediaPlayerVout,
};
} // namespace

VlcMediaPlayer::VlcMediaPlayer(VlcInstance *instance, QObject *parent) : QObject(parent)
{
    if (!instance || !instance->core())
        return;
    m_vlcMediaPlayer = libvlc_media_player_new(instance->core());
    if (!m_vlcMediaPlayer) {
        const char *err = libvlc_errmsg();
        qWarning() << "libvlc_media_player_new failed:" << (err ? err : "unknown error");
        return;
    }
    // Keys and mouse clicks over the picture belong to the program, not to libvlc.
    libvlc_video_set_key_input(m_vlcMediaPlayer, 0);
    libvlc_video_set_mouse_input(m_vlcMediaPlayer, 0);
    attachEvents();
}

VlcMediaPlayer::~VlcMediaPlayer()
{
    if (!m_vlcMediaPlayer)
        return;
    // First detach: afterwards no libvlc thread is inside or will enter our callback.
    detachEvents();
    libvlc_media_player_stop(m_vlcMediaPlayer);
    libvlc_media_player_release(m_vlcMediaPlayer);
}

void VlcMediaPlayer::attachEvents()
{
    libvlc_event_manager_t *manager = libvlc_media_player_event_manager(m_vlcMediaPlayer);
    for (libvlc_event_type_t type : kEvents)
        if (libvlc_event_attach(manager, type, &VlcMediaPlayer::libvlcCallback, this) != 0)
            qWarning() << "libvlc_event_attach failed for event" << type;
}

void VlcMediaPlayer::detachEvents()
{
    libvlc_event_manager_t *manager = libvlc_media_player_event_manager(m_vlcMediaPlayer);
    for (libvlc_event_type_t type : kEvents)
        libvlc_event_detach(manager, type, &VlcMediaPlayer::libvlcCallback, this);
}

void VlcMediaPlayer::libvlcCallback(const libvlc_event_t *event, void *data)
{
    static_cast<VlcMediaPlayer *>(data)->handleEvent(event);
}

void VlcMediaPlayer::handleEvent(const libvlc_event_t *event)
{
    const quint64 media = m_mediaGeneration.load();
    // Posts `emitIt` to the main thread, dropped there when the media changed meanwhile.
    auto post = [this, media](auto emitIt) {
        QMetaObject::invokeMethod(
            this,
            [this, media, emitIt] {
                if (media == m_mediaGeneration.load())
                    emitIt();
            },
            Qt::QueuedConnection);
    };
    switch (event->type) {
    case libvlc_MediaPlayerOpening:
        post([this] { emit opening(); });
        break;
    case libvlc_MediaPlayerBuffering: {
        const float percent = event->u.media_player_buffering.new_cache;
        post([this, percent] { emit buffering(percent); });
        break;
    }
    case libvlc_MediaPlayerPlaying:
        post([this] { emit playing(); });
        break;
    case libvlc_MediaPlayerPaused:
        post([this] { emit paused(); });
        break;
    case libvlc_MediaPlayerStopped:
        post([this] { emit stopped(); });
        break;
    case libvlc_MediaPlayerEndReached:
        post([this] { emit end(); });
        break;
    case libvlc_MediaPlayerEncounteredError:
        post([this] { emit error(); });
        break;
    case libvlc_MediaPlayerTimeChanged: {
        const int t = int(event->u.media_player_time_changed.new_time);
        const quint64 seek = m_seekGeneration.load();
        post([this, t, seek] {
            if (seek == m_seekGeneration.load())
                emit timeChanged(t);
        });
        break;
    }
    case libvlc_MediaPlayerLengthChanged: {
        const int length = int(event->u.media_player_length_changed.new_length);
        post([this, length] { emit lengthChanged(length); });
        break;
    }
    case libvlc_MediaPlayerVout: {
        const int count = event->u.media_player_vout.new_count;
        post([this, count] { emit vout(count); });
        break;
    }
    default:
        break;
    }
}

void VlcMediaPlayer::openOnly(VlcMedia *media)
{
    if (!m_vlcMediaPlayer || !media || !media->core())
        return;
    m_media = media;
    // Setting a media stops the old one and waits for its threads: whatever was reported
    // before this line belongs to the old media.
    libvlc_media_player_set_media(m_vlcMediaPlayer, media->core());
    ++m_mediaGeneration;
    ++m_seekGeneration;
}

void VlcMediaPlayer::open(VlcMedia *media)
{
    openOnly(media);
    play();
}

void VlcMediaPlayer::play()
{
    if (m_vlcMediaPlayer && libvlc_media_player_play(m_vlcMediaPlayer) != 0)
        qWarning() << "libvlc_media_player_play failed";
}

void VlcMediaPlayer::pause()
{
    if (m_vlcMediaPlayer && libvlc_media_player_can_pause(m_vlcMediaPlayer))
        libvlc_media_player_set_pause(m_vlcMediaPlayer, 1);
}

void VlcMediaPlayer::stop()
{
    if (m_vlcMediaPlayer)
        libvlc_media_player_stop(m_vlcMediaPlayer);
}

int VlcMediaPlayer::time() const
{
    return m_vlcMediaPlayer ? int(libvlc_media_player_get_time(m_vlcMediaPlayer)) : -1;
}

void VlcMediaPlayer::setTime(int timeMs)
{
    if (!m_vlcMediaPlayer)
        return;
    libvlc_media_player_set_time(m_vlcMediaPlayer, timeMs);
    ++m_seekGeneration;
}

int VlcMediaPlayer::length() const
{
    return m_vlcMediaPlayer ? int(libvlc_media_player_get_length(m_vlcMediaPlayer)) : -1;
}

Vlc::State VlcMediaPlayer::state() const
{
    if (!m_vlcMediaPlayer)
        return Vlc::Idle;
    return Vlc::State(libvlc_media_player_get_state(m_vlcMediaPlayer));
}

void VlcMediaPlayer::setVideoWidget(VlcWidgetVideo *widget)
{
    m_videoWidget = widget;
    if (m_vlcMediaPlayer)
        libvlc_media_player_set_xwindow(m_vlcMediaPlayer, widget ? uint32_t(widget->request()) : 0);
}

VlcMedia *VlcMediaPlayer::currentMedia() const
{
    return m_media;
}

VlcWidgetVideo *VlcMediaPlayer::videoWidget() const
{
    return m_videoWidget;
}
