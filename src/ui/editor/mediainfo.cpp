#include "ui/editor/mediainfo.h"

#include "ui/editor/vlcmedia.h"

#include <QFileInfo>
#include <QUuid>

MediaInfo::MediaInfo(const AVData &clip, int index, VlcInstance *instance, QObject *parent)
    : QObject(parent), index(index), uuid(QUuid::createUuid().toString())
{
    uuid = clip.uuid;
    title = clip.title;
    fileName = clip.fileName;
    filePath = clip.filePath;
    duration = clip.duration;
    videoWidth = clip.videoWidth;
    videoHeight = clip.videoHeight;
    position = clip.position;
    beginTime = clip.beginTime;
    endTime = clip.endTime;
    m_Media = new VlcMedia(filePath, true, instance);
    m_Media->setParent(this);
}

bool MediaInfo::sameFile(const MediaInfo &other) const
{
    return QFileInfo(filePath) == QFileInfo(other.filePath);
}
