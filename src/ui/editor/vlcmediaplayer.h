#pragma once
// A libvlc media player. Create, use and delete it on the main thread; its signals are
// emitted on the main thread.
//
// libvlc reports events on its own threads. Each one is posted to this object's thread as a
// queued call, so it is dropped by Qt if the player is gone; the destructor detaches every
// callback first, and libvlc runs callbacks under the lock that detaching takes, so no event
// can reach a destroyed player. Events that belong to a media the player no longer holds, and
// time reports from before the last setTime(), are dropped as stale: a late report of the old
// file would otherwise be read against the new one.
#include "ui/editor/vlccommon.h"

#include <QObject>
#include <QPointer>
#include <atomic>

class VlcInstance;
class VlcMedia;
class VlcWidgetVideo;
struct libvlc_event_t;
struct libvlc_media_player_t;

class VlcMediaPlayer : public QObject
{
    Q_OBJECT
public:
    explicit VlcMediaPlayer(VlcInstance *instance, QObject *parent = nullptr);
    ~VlcMediaPlayer() override;

    libvlc_media_player_t *core() const { return m_vlcMediaPlayer; }

    // Makes `media` the player's media and starts it (openOnly() does not start it).
    void open(VlcMedia *media);
    void openOnly(VlcMedia *media);
    // The media last opened; null when it has been deleted since.
    VlcMedia *currentMedia() const;

    void play();
    void pause(); // pauses; does nothing when already paused
    void stop();

    int time() const; // source milliseconds, -1 without a media
    void setTime(int timeMs);
    int length() const; // milliseconds, 0 or -1 while unknown
    Vlc::State state() const;

    // The widget the picture is drawn into (its X11 window); null draws into a window of
    // libvlc's own. Set it before opening a media.
    void setVideoWidget(VlcWidgetVideo *widget);
    VlcWidgetVideo *videoWidget() const;

signals:
    void opening();
    void buffering(float percent);
    void playing();
    void paused();
    void stopped();
    void end();
    void error();
    void timeChanged(int timeMs);
    void lengthChanged(int lengthMs);
    void vout(int count);

private:
    static void libvlcCallback(const libvlc_event_t *event, void *data);
    void handleEvent(const libvlc_event_t *event); // on a libvlc thread
    void attachEvents();
    void detachEvents();

    libvlc_media_player_t *m_vlcMediaPlayer = nullptr;
    QPointer<VlcMedia> m_media;
    QPointer<VlcWidgetVideo> m_videoWidget;
    // Bumped on the main thread after the media changed / after a seek was asked for; read
    // by the libvlc threads when they post an event.
    std::atomic<quint64> m_mediaGeneration{0};
    std::atomic<quint64> m_seekGeneration{0};
};
