#include "ui/editor/playhelper.h"

#include "ui/editor/mediainfo.h"
#include "ui/editor/vlccommon.h"
#include "ui/editor/vlcinstance.h"
#include "ui/editor/vlcmedia.h"
#include "ui/editor/vlcmediaplayer.h"
#include "ui/editor/vlcwidgetvideo.h"

#include <QDebug>
#include <QMultiHash>

PlayHelper::PlayHelper(QObject *parent) : QObject(parent)
{
    m_Instance = std::make_unique<VlcInstance>(VlcCommon::args());
    m_Player = std::make_unique<VlcMediaPlayer>(m_Instance.get());
    VlcMediaPlayer *player = m_Player.get();
    connect(player, &VlcMediaPlayer::playing, this, &PlayHelper::slot_playing);
    connect(player, &VlcMediaPlayer::timeChanged, this, &PlayHelper::slot_time_changed);
    connect(player, &VlcMediaPlayer::end, this, &PlayHelper::slot_end);
    connect(player, &VlcMediaPlayer::paused, this, &PlayHelper::slot_paused);
    m_BoundaryTimer.setSingleShot(true);
    m_BoundaryTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_BoundaryTimer, &QTimer::timeout, this, &PlayHelper::nextClip);
}

PlayHelper::~PlayHelper()
{
    m_Player.reset();
    m_CurMediaInfo = nullptr;
    qDeleteAll(m_MediaInfos);
    qDeleteAll(m_OldMediaInfos);
    m_Instance.reset();
}

bool PlayHelper::setAvDatas(const QList<AVData> &clips, qint64 startMs)
{
    // The old entries live on until the seek below has chosen a new current entry: the
    // switch compares the new clip with the one the player holds.
    const QList<MediaInfo *> previous = m_MediaInfos;
    m_MediaInfos.clear();
    m_BoundaryTimer.stop();
    if (clips.isEmpty()) {
        m_OldMediaInfos += previous;
        m_Player->stop();
        m_CurMediaInfo = nullptr;
        releaseOldMediaInfos();
        return false;
    }
    // An entry of a clip that is still there, with the same span of the same file, is kept
    // (moved to its new place): an edit elsewhere neither makes new media nor reopens the
    // file the player holds.
    QMultiHash<QString, MediaInfo *> unused;
    for (MediaInfo *info : previous)
        unused.insert(info->uuid, info);
    for (int i = 0; i < clips.size(); ++i) {
        const AVData &clip = clips.at(i);
        MediaInfo *entry =
            takeKeptFor(unused, clip, [&clip](MediaInfo *kept) { return kept->sameSpan(clip); });
        if (entry)
            entry->moveTo(clip, i);
        else
            entry = new MediaInfo(clip, i, m_Instance.get(), this);
        m_MediaInfos << entry;
    }
    m_OldMediaInfos += unused.values();
    seekTo(startMs);
    releaseOldMediaInfos();
    return true;
}

void PlayHelper::releaseOldMediaInfos()
{
    QList<MediaInfo *> keep;
    for (MediaInfo *info : std::as_const(m_OldMediaInfos)) {
        if (info == m_CurMediaInfo)
            keep << info;
        else
            delete info;  // the player keeps its own reference to a media it still plays
    }
    m_OldMediaInfos = keep;
}

void PlayHelper::play()
{
    if (m_MediaInfos.isEmpty())
        return;
    playing = true;
    m_Player->play();
    prepareNext();
}

void PlayHelper::pause()
{
    playing = false;
    m_BoundaryTimer.stop();
    if (m_MediaInfos.isEmpty())
        return;
    m_Player->pause();
    const int t = m_Player->time();
    if (m_CurMediaInfo && t >= 0)
        m_CurMediaInfo->offset = t - m_CurMediaInfo->beginTime;
}

void PlayHelper::stop()
{
    m_Player->stop();
}

MediaInfo *PlayHelper::findMediaInfo(qint64 ms)
{
    for (MediaInfo *info : std::as_const(m_MediaInfos)) {
        if (ms < info->position)
            continue;
        if (ms < info->position + info->length() && ms - info->position >= 0) {
            info->offset = ms - info->position;
            return info;
        }
    }
    if (m_MediaInfos.isEmpty())
        return nullptr;
    MediaInfo *last = m_MediaInfos.last();
    last->offset = last->length();
    return last;
}

bool PlayHelper::playerIsOpen() const
{
    const Vlc::State state = m_Player->state();
    return state == Vlc::Playing || state == Vlc::Paused;
}

qint64 PlayHelper::setPlayerTime(qint64 sourceMs)
{
    const int length = m_Player->length();
    if (length > 0 && length < sourceMs)
        sourceMs = length;
    m_Player->setTime(int(sourceMs));
    return sourceMs;
}

qint64 PlayHelper::seekTo(qint64 ms)
{
    if (m_MediaInfos.isEmpty())
        return lastTime;
    m_BoundaryTimer.stop();
    MediaInfo *clip = findMediaInfo(ms);
    if (clip == m_CurMediaInfo) {
        qDebug() << "seekTo:m_CurMediaInfo->m_Media->state():" << clip->m_Media->state()
                 << "player:" << m_Player->state();
        // The player's own state decides: after playing on across touching spans of one file
        // the player holds the previous entry's media, and this entry's media was never opened.
        const Vlc::State state = m_Player->state();
        if (state == Vlc::Playing || state == Vlc::Paused) {
            if (!playing)
                m_Player->pause();
            setPlayerTime(clip->offsetSourceTime());
        } else if (state == Vlc::Ended || state == Vlc::Stopped || state == Vlc::Error ||
                   state == Vlc::Idle) {
            // The file has run out or was stopped: open it again; once it plays it is paused
            // and moved to the offset (slot_playing), so the picture shows the new time.
            m_ResumedPrepared = false;
            m_Player->open(clip->m_Media);
        }
    } else {
        switchTo(clip);
    }
    lastTime = m_CurMediaInfo->position + m_CurMediaInfo->offset;
    return lastTime;
}

void PlayHelper::switchTo(MediaInfo *clip)
{
    if (!clip || clip == m_CurMediaInfo)
        return;
    m_BoundaryTimer.stop();
    MediaInfo *previous = m_CurMediaInfo;
    m_CurMediaInfo = clip;
    const bool sameFileOpen = previous && previous->sameFile(*clip) && playerIsOpen();
    if (sameFileOpen && playing && clip->offset <= 1000 && previous->endTime == clip->beginTime)
        return;  // touching spans: the file simply plays on
    if (playing && m_Player->openPrepared(clip->m_Media, int(clip->offsetSourceTime()))) {
        // The file was open ahead of time and now plays from the clip's start.
        m_ResumedPrepared = true;
        reportTime(clip->timelineTime(clip->offsetSourceTime()));
        emit sig_VideoSizeChanged(clip->videoWidth, clip->videoHeight);
        return;
    }
    // Paused in the same file: a seek shows the clip's picture. The entries trade media, so
    // that the one now current holds the media the player has open.
    if (sameFileOpen && !playing && m_Player->currentMedia() == previous->m_Media) {
        previous->swapMedia(*clip);
        setPlayerTime(clip->offsetSourceTime());
        return;
    }
    // Only a file the player still holds open can play on or be sought in; a file that ran
    // to its end must be opened again.
    if (sameFileOpen) {
        if (clip->offset <= 1000 && playing) {
            setPlayerTime(clip->offsetSourceTime() + 500);
            return;
        }
        setPlayerTime(clip->offsetSourceTime());
    }
    m_ResumedPrepared = false;
    m_Player->open(clip->m_Media);
    emit sig_VideoSizeChanged(clip->videoWidth, clip->videoHeight);
}

MediaInfo *PlayHelper::followingSwitch() const
{
    const int index = m_MediaInfos.indexOf(m_CurMediaInfo);
    if (index < 0 || index + 1 >= m_MediaInfos.size())
        return nullptr;
    MediaInfo *next = m_MediaInfos.at(index + 1);
    if (next->sameFile(*m_CurMediaInfo) && next->beginTime == m_CurMediaInfo->endTime)
        return nullptr;
    return next;
}

void PlayHelper::prepareNext()
{
    if (!playing || !m_CurMediaInfo)
        return;
    if (MediaInfo *next = followingSwitch())
        m_Player->prepare(next->m_Media, int(next->beginTime));
}

void PlayHelper::slot_playing()
{
    // Opening a media starts it; without a play request it stops on its first picture.
    if (!playing) {
        m_Player->pause();
        m_SeekWhenPaused = true;
    }
    if (!m_CurMediaInfo)
        return;
    if (m_ResumedPrepared) {
        // Resumed where it was opened, at the clip's start: a seek would only cost time.
        m_ResumedPrepared = false;
        return;
    }
    const qint64 target = m_CurMediaInfo->offsetSourceTime();
    const qint64 t = m_Player->time();
    // Already at the target, or just past it: a seek would only flush what is buffered.
    if (t - target >= 0 && t - target <= 999) {
        reportTime(m_CurMediaInfo->timelineTime(t));
    } else {
        // libvlc answers a seek later; the time asked for is the time to show.
        reportTime(m_CurMediaInfo->timelineTime(setPlayerTime(target)));
    }
}

void PlayHelper::slot_paused()
{
    // libvlc may drop a seek asked for while a freshly opened file is still filling its
    // buffers; once the pause has taken hold the same seek is asked for again.
    if (!m_SeekWhenPaused)
        return;
    m_SeekWhenPaused = false;
    if (!playing && m_CurMediaInfo)
        setPlayerTime(m_CurMediaInfo->offsetSourceTime());
}

void PlayHelper::slot_time_changed(int timeMs)
{
    if (!m_CurMediaInfo)
        return;
    qint64 time;
    if (timeMs > m_CurMediaInfo->duration) {
        time = m_CurMediaInfo->timelineTime(m_CurMediaInfo->duration);
    } else if (timeMs > m_CurMediaInfo->endTime) {
        nextClip();
        return;
    } else {
        time = m_CurMediaInfo->timelineTime(timeMs);
        if (playing && followingSwitch())
            m_BoundaryTimer.start(int(qMax<qint64>(0, m_CurMediaInfo->endTime - timeMs)));
    }
    reportTime(time);
    prepareNext();
}

void PlayHelper::reportTime(qint64 time)
{
    // During playback the indicator never runs backwards.
    if (playing && time < lastTime)
        return;
    lastTime = time;
    emit timeChanged(time);
}

void PlayHelper::nextClip()
{
    if (!playing || !m_CurMediaInfo)
        return;
    const int index = m_MediaInfos.indexOf(m_CurMediaInfo);
    if (index < 0 || index == m_MediaInfos.size() - 1) {
        // The last clip's span ended before its file did.
        pause();
        finishPlayback();
        return;
    }
    MediaInfo *next = m_MediaInfos.at(index + 1);
    next->offset = 0;
    switchTo(next);
}

void PlayHelper::slot_end()
{
    // A file that ends while nothing was asked to play (a seek to its very end) is no end of
    // playback: the indicator stays where the user put it.
    if (!playing || !m_CurMediaInfo)
        return;
    if (m_CurMediaInfo != m_MediaInfos.last())
        nextClip();
    else
        finishPlayback();
}

void PlayHelper::finishPlayback()
{
    playing = false;
    m_BoundaryTimer.stop();
    seekTo(0);
    reportTime(lastTime);
    emit playFinish();
}
