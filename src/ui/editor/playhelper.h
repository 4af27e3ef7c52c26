#pragma once
// Plays the project's clip list in the editor's preview as one continuous video: maps timeline
// milliseconds to a clip and a time in its file, switches files where playback crosses a clip
// boundary and reports the timeline time back for the time indicator. Main thread only.
#include "core/project/avdata.h"

#include <QList>
#include <QObject>
#include <QTimer>

#include <memory>

class MediaInfo;
class VlcInstance;
class VlcMediaPlayer;

class PlayHelper : public QObject
{
    Q_OBJECT
public:
    explicit PlayHelper(QObject *parent = nullptr);
    ~PlayHelper() override;

    // Replaces the play list and seeks to `startMs`. An empty list stops the player and
    // gives false.
    bool setAvDatas(const QList<AVData> &clips, qint64 startMs);

    void play();
    void pause();
    void stop();

    // The last timeline time reported.
    qint64 curTime() const { return lastTime; }
    bool isPlaying() const { return playing; }

    // The player the editor attaches its video widget to.
    VlcMediaPlayer *mediaPlayer() const { return m_Player.get(); }
    const QList<MediaInfo *> &mediaInfos() const { return m_MediaInfos; }
    MediaInfo *currentMediaInfo() const { return m_CurMediaInfo; }

public slots:
    // Moves playback to a timeline time and gives the timeline time it settled on.
    qint64 seekTo(qint64 ms);

signals:
    void timeChanged(qint64 time);
    void playFinish();
    void sig_VideoSizeChanged(int width, int height);

private slots:
    void slot_playing();
    void slot_paused();
    void slot_time_changed(int timeMs);
    void slot_end();

private:
    MediaInfo *findMediaInfo(qint64 ms);
    void switchTo(MediaInfo *clip);
    void nextClip();
    // The clip after the current one when reaching it needs another file or a jump in this
    // one (not touching spans of one file, which simply play on); null otherwise.
    MediaInfo *followingSwitch() const;
    // Has the player open that clip's file ahead of time, while playing.
    void prepareNext();
    void finishPlayback();
    void reportTime(qint64 time);
    // Sets the player's time, not past the length of its file when that is known; gives the
    // time set.
    qint64 setPlayerTime(qint64 sourceMs);
    // True when the player holds an opened file it can seek in.
    bool playerIsOpen() const;
    void releaseOldMediaInfos();

    // Not children: the destructor ends the player first, then the media entries, then the
    // instance.
    std::unique_ptr<VlcInstance> m_Instance;
    std::unique_ptr<VlcMediaPlayer> m_Player;
    QList<MediaInfo *> m_MediaInfos;
    // Entries of the list before the last set; kept until a new current entry is chosen.
    QList<MediaInfo *> m_OldMediaInfos;
    MediaInfo *m_CurMediaInfo = nullptr;
    bool playing = false;
    // The pause that follows opening a file is still to come; its seek is repeated then.
    bool m_SeekWhenPaused = false;
    // The player resumed a file it had open ahead of time; the playing report that follows
    // needs no seek.
    bool m_ResumedPrepared = false;
    // Fires where the current clip ends, from the last time report and the wall clock: the
    // player's reports come only every few hundred milliseconds, too seldom to switch by.
    QTimer m_BoundaryTimer;
    qint64 lastTime = 0;
};
