#include "ui/editor/mediainfo.h"

#include "ui/editor/vlcmedia.h"

#include <QFileInfo>

#include <utility>

MediaInfo::MediaInfo(const AVData &clip, int index, VlcInstance *instance, QObject *parent)
    : QObject(parent), AVData(clip), index(index)
{
    m_Media = new VlcMedia(filePath, true, instance);
    m_Media->setParent(this);
}

bool MediaInfo::sameFile(const MediaInfo &other) const
{
    return QFileInfo(filePath) == QFileInfo(other.filePath);
}

bool MediaInfo::sameSpan(const AVData &clip) const
{
    return clip.uuid == uuid && clip.filePath == filePath && clip.fileName == fileName &&
           clip.duration == duration && clip.beginTime == beginTime && clip.endTime == endTime;
}

void MediaInfo::moveTo(const AVData &clip, int newIndex)
{
    index = newIndex;
    title = clip.title;
    videoWidth = clip.videoWidth;
    videoHeight = clip.videoHeight;
    position = clip.position;
}

void MediaInfo::swapMedia(MediaInfo &other)
{
    std::swap(m_Media, other.m_Media);
    m_Media->setParent(this);
    other.m_Media->setParent(&other);
}
