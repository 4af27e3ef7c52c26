#pragma once
// A libvlc media player. Create, use and delete it on the main thread; its signals are
// emitted on the main thread. A libvlc player that open() takes out of use (stopping an opened
// file waits for its threads) is stopped and released on a worker; the destructor waits for
// that.
//
// libvlc reports events on its own threads. Each one is posted to this object's thread as a
// queued call, so it is dropped by Qt if the player is gone; the destructor detaches every
// callback first, and libvlc runs callbacks under the lock that detaching takes, so no event
// can reach a destroyed player. Events that belong to a media the player no longer holds, and
// time reports from before the last setTime(), are dropped as stale: a late report of the old
// file would otherwise be read against the new one.
//
// Opening a file takes a few hundred milliseconds. prepare() opens the next file ahead of
// time in a second libvlc player, paused at its start time and drawing into the surface of
// the video widget that lies beneath; openPrepared() then swaps the two players, so the
// switch costs a resume instead of an open. Only the player in front reports events. A fresh
// player that takes over from one being stopped draws into a surface of its own, raised when
// its picture comes; the widget makes another surface when every one is taken (edits in quick
// succession can retire players faster than they stop).
#include "ui/editor/vlccommon.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QThreadPool>
#include <atomic>

class VlcInstance;
class VlcMedia;
class VlcWidgetVideo;
struct libvlc_event_t;
struct libvlc_instance_t;
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

    // Opens `media` ahead of time in the player beneath, paused at `startMs`. Does nothing when
    // that is already prepared.
    void prepare(VlcMedia *media, int startMs);
    // Brings the media prepared for `media` at `startMs` to the front and plays it; false,
    // with nothing changed, when it is not prepared or not ready yet.
    bool openPrepared(VlcMedia *media, int startMs);

    void play();
    void pause();  // pauses; does nothing when already paused
    void stop();   // stops the prepared media too

    int time() const;  // source milliseconds, -1 without a media
    void setTime(int timeMs);
    int length() const;  // milliseconds, 0 or -1 while unknown
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
    void handleEvent(const libvlc_event_t *event);  // on a libvlc thread
    libvlc_media_player_t *newCore();
    // Detaches, stops and releases a player (any thread).
    void releaseCore(libvlc_media_player_t *core);
    // Hands a player taken out of use, drawing into `surface`, to the worker that releases
    // it; the surface stays taken until it is released (libvlc refuses a window another
    // player still draws into, and opens one of its own instead).
    void retireCore(libvlc_media_player_t *core, int surface);
    // Whether stopping `core` would wait for threads that open or play a file.
    static bool holdsFile(libvlc_media_player_t *core);
    // A surface neither the player in front, the one beneath nor a player being stopped
    // draws into (a new one past the last when all are taken); -1 when there are already
    // kMaxSurfaces.
    int freeSurface() const;
    void setWindow(libvlc_media_player_t *core, int surface);

    libvlc_instance_t *m_instance = nullptr;
    // The player in front, and the one beneath that holds the prepared media (made on first
    // use).
    libvlc_media_player_t *m_vlcMediaPlayer = nullptr;
    libvlc_media_player_t *m_standby = nullptr;
    int m_frontSurface = 0;
    int m_standbySurface = 1;
    // Per surface still held by a player being stopped: the number of that retirement.
    QHash<int, quint64> m_surfaceRetirement;
    quint64 m_retirements = 0;
    QPointer<VlcMedia> m_preparedMedia;
    int m_preparedStart = -1;
    QPointer<VlcMedia> m_media;
    QPointer<VlcWidgetVideo> m_videoWidget;
    // Bumped on the main thread after the media changed / after a seek was asked for; read
    // by the libvlc threads when they post an event.
    std::atomic<quint64> m_mediaGeneration{0};
    std::atomic<quint64> m_seekGeneration{0};
    // Releases players taken out of use; waited for before the instance may go.
    QThreadPool m_retiring;
};
