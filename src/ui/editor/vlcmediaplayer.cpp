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
}  // namespace

VlcMediaPlayer::VlcMediaPlayer(VlcInstance *instance, QObject *parent) : QObject(parent)
{
    if (!instance || !instance->core())
        return;
    m_instance = instance->core();
    // Stopping a player mostly waits for its threads: several may be stopped at once.
    m_retiring.setMaxThreadCount(4);
    m_vlcMediaPlayer = newCore();
    // A fresh player's surface comes to the front once it has a picture to show.
    connect(this, &VlcMediaPlayer::vout, this, [this](int count) {
        if (count > 0 && m_videoWidget)
            m_videoWidget->raiseSurface(m_frontSurface);
    });
}

VlcMediaPlayer::~VlcMediaPlayer()
{
    m_retiring.waitForDone();
    releaseCore(m_standby);
    releaseCore(m_vlcMediaPlayer);
}

libvlc_media_player_t *VlcMediaPlayer::newCore()
{
    libvlc_media_player_t *core = VlcInstance::newPlayer(m_instance);
    if (!core) {
        const char *err = libvlc_errmsg();
        qWarning() << "libvlc_media_player_new failed:" << (err ? err : "unknown error");
        return nullptr;
    }
    // Keys and mouse clicks over the picture belong to the program, not to libvlc.
    libvlc_video_set_key_input(core, 0);
    libvlc_video_set_mouse_input(core, 0);
    libvlc_event_manager_t *manager = libvlc_media_player_event_manager(core);
    for (libvlc_event_type_t type : kEvents)
        if (libvlc_event_attach(manager, type, &VlcMediaPlayer::libvlcCallback, this) != 0)
            qWarning() << "libvlc_event_attach failed for event" << type;
    return core;
}

void VlcMediaPlayer::releaseCore(libvlc_media_player_t *core)
{
    if (!core)
        return;
    // First detach: afterwards no libvlc thread is inside or will enter our callback.
    libvlc_event_manager_t *manager = libvlc_media_player_event_manager(core);
    for (libvlc_event_type_t type : kEvents)
        libvlc_event_detach(manager, type, &VlcMediaPlayer::libvlcCallback, this);
    libvlc_media_player_stop(core);
    libvlc_media_player_release(core);
}

void VlcMediaPlayer::retireCore(libvlc_media_player_t *core, int surface)
{
    // Silent at once (both answer without waiting); the stop follows on the worker.
    libvlc_audio_set_mute(core, 1);
    if (libvlc_media_player_can_pause(core))
        libvlc_media_player_set_pause(core, 1);
    const quint64 retirement = ++m_retirements;
    m_surfaceRetirement[surface] = retirement;
    m_retiring.start([this, core, surface, retirement] {
        releaseCore(core);
        // Dropped by Qt when the player is gone by then.
        QMetaObject::invokeMethod(
            this,
            [this, surface, retirement] {
                if (m_surfaceRetirement.value(surface) == retirement)
                    m_surfaceRetirement.remove(surface);
            },
            Qt::QueuedConnection);
    });
}

bool VlcMediaPlayer::holdsFile(libvlc_media_player_t *core)
{
    const libvlc_state_t state = libvlc_media_player_get_state(core);
    if (state == libvlc_Stopped)
        return false;
    if (state != libvlc_NothingSpecial)
        return true;
    // Told to play a moment ago, it reports nothing yet while its threads open the file.
    libvlc_media_t *media = libvlc_media_player_get_media(core);
    if (media)
        libvlc_media_release(media);
    return media != nullptr;
}

int VlcMediaPlayer::freeSurface() const
{
    for (int i = 0; i < VlcWidgetVideo::kMaxSurfaces; ++i)
        if (i != m_frontSurface && i != m_standbySurface && !m_surfaceRetirement.contains(i))
            return i;
    return -1;
}

void VlcMediaPlayer::libvlcCallback(const libvlc_event_t *event, void *data)
{
    static_cast<VlcMediaPlayer *>(data)->handleEvent(event);
}

void VlcMediaPlayer::handleEvent(const libvlc_event_t *event)
{
    const quint64 media = m_mediaGeneration.load();
    const void *source = event->p_obj;  // the libvlc player that sent it
    // Posts `emitIt` to the main thread, dropped there when the media changed meanwhile or
    // when the event came from the player beneath.
    auto post = [this, media, source](auto emitIt) {
        QMetaObject::invokeMethod(
            this,
            [this, media, source, emitIt] {
                if (media == m_mediaGeneration.load() && source == m_vlcMediaPlayer)
                    emitIt();
            },
            Qt::QueuedConnection);
    };
    switch (event->type) {
    case libvlc_MediaPlayerOpening: post([this] { emit opening(); }); break;
    case libvlc_MediaPlayerBuffering: {
        const float percent = event->u.media_player_buffering.new_cache;
        post([this, percent] { emit buffering(percent); });
        break;
    }
    case libvlc_MediaPlayerPlaying: post([this] { emit playing(); }); break;
    case libvlc_MediaPlayerPaused: post([this] { emit paused(); }); break;
    case libvlc_MediaPlayerStopped: post([this] { emit stopped(); }); break;
    case libvlc_MediaPlayerEndReached: post([this] { emit end(); }); break;
    case libvlc_MediaPlayerEncounteredError: post([this] { emit error(); }); break;
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
    default: break;
    }
}

void VlcMediaPlayer::openOnly(VlcMedia *media)
{
    if (!m_vlcMediaPlayer || !media || !media->core())
        return;
    m_media = media;
    if (holdsFile(m_vlcMediaPlayer)) {
        // Stopping an opened file waits for its threads, often for tens of milliseconds: a
        // fresh player in front takes the new file while the old one is stopped and released
        // on a worker. What it still reports is dropped: it is no longer the player in front.
        // Without a free surface (a player before is still being stopped) the player in front
        // takes the file itself: the main thread never waits for a player being stopped.
        const int surface = freeSurface();
        libvlc_media_player_t *fresh = surface >= 0 ? newCore() : nullptr;
        if (fresh) {
            retireCore(m_vlcMediaPlayer, m_frontSurface);
            m_vlcMediaPlayer = fresh;
            m_frontSurface = surface;
        }
    }
    // The surface's window as it is now: the widget may have been moved since it was set.
    setWindow(m_vlcMediaPlayer, m_frontSurface);
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
    // Only a player that holds a file: a stop also lets go of the sound output, which libvlc
    // makes with the player, and the next file would have to make it again.
    for (libvlc_media_player_t *core : {m_vlcMediaPlayer, m_standby})
        if (core && holdsFile(core))
            libvlc_media_player_stop(core);
    m_preparedMedia = nullptr;
    m_preparedStart = -1;
}

void VlcMediaPlayer::prepare(VlcMedia *media, int startMs)
{
    if (!m_vlcMediaPlayer || !media || !media->core())
        return;
    if (m_standby && m_preparedMedia == media && m_preparedStart == startMs) {
        const libvlc_state_t state = libvlc_media_player_get_state(m_standby);
        if (state != libvlc_Ended && state != libvlc_Error && state != libvlc_Stopped)
            return;
    }
    if (!m_standby) {
        m_standby = newCore();
        if (!m_standby)
            return;
    }
    setWindow(m_standby, m_standbySurface);
    // A copy of the media carries the options that open it paused at its start, so the media
    // itself still opens the ordinary way.
    libvlc_media_t *copy = libvlc_media_duplicate(media->core());
    if (!copy) {
        qWarning() << "libvlc_media_duplicate failed:" << media->currentLocation();
        return;
    }
    libvlc_media_add_option(copy, ":start-paused");
    const QByteArray start = ":start-time=" + QByteArray::number(startMs / 1000.0, 'f', 3);
    libvlc_media_add_option(copy, start.constData());
    // Replacing the media stops what the player beneath held.
    libvlc_media_player_set_media(m_standby, copy);
    libvlc_media_release(copy);
    m_preparedMedia = media;
    m_preparedStart = startMs;
    if (libvlc_media_player_play(m_standby) != 0)
        qWarning() << "libvlc_media_player_play failed for" << media->currentLocation();
}

bool VlcMediaPlayer::openPrepared(VlcMedia *media, int startMs)
{
    if (!m_standby || !media || m_preparedMedia != media || m_preparedStart != startMs)
        return false;
    // Paused means opened and holding its first picture.
    if (libvlc_media_player_get_state(m_standby) != libvlc_Paused)
        return false;
    std::swap(m_vlcMediaPlayer, m_standby);
    std::swap(m_frontSurface, m_standbySurface);
    m_media = media;
    m_preparedMedia = nullptr;
    m_preparedStart = -1;
    // Whatever either player reported before this line belongs to the old order.
    ++m_mediaGeneration;
    ++m_seekGeneration;
    libvlc_media_player_set_pause(m_vlcMediaPlayer, 0);
    if (m_videoWidget)
        m_videoWidget->raiseSurface(m_frontSurface);
    // Pausing answers at once; the file is closed when the next one is prepared in its place.
    if (libvlc_media_player_can_pause(m_standby))
        libvlc_media_player_set_pause(m_standby, 1);
    else
        libvlc_media_player_stop(m_standby);
    return true;
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
    if (widget)
        widget->raiseSurface(m_frontSurface);
    setWindow(m_vlcMediaPlayer, m_frontSurface);
    setWindow(m_standby, m_standbySurface);
}

void VlcMediaPlayer::setWindow(libvlc_media_player_t *core, int surface)
{
    if (core)
        libvlc_media_player_set_xwindow(
            core, m_videoWidget ? uint32_t(m_videoWidget->surface(surface)) : 0);
}

VlcMedia *VlcMediaPlayer::currentMedia() const
{
    return m_media;
}

VlcWidgetVideo *VlcMediaPlayer::videoWidget() const
{
    return m_videoWidget;
}
