#include "core/export/exportcliplist.h"

#include <QFileInfo>

#include <algorithm>

bool ExportClipList::isWholeSingleFile() const
{
    if (clips.size() != 1)
        return false;
    const AVData &clip = clips.first();
    return clip.beginTime == 0 && clip.endTime - clip.beginTime == clip.duration;
}

ExportClipList buildExportClipList(const QList<AVData> &timeline)
{
    ExportClipList list;
    for (const AVData &clip : timeline) {
        // A span of no length contributes nothing and would only cost an open of its file.
        if (clip.endTime <= clip.beginTime)
            continue;
        if (!list.clips.isEmpty()) {
            AVData &previous = list.clips.last();
            // The next span of the same file is read on in one go, unless it starts a chapter
            // of its own (the next slide or board page of one recording).
            const bool sameChapter =
                clip.title.trimmed().isEmpty() || clip.title.trimmed() == previous.title.trimmed();
            if (previous.filePath == clip.filePath && previous.endTime == clip.beginTime &&
                sameChapter) {
                previous.endTime = clip.endTime;
                continue;
            }
        }
        list.clips.append(clip);
    }

    qint64 position = 0;
    for (int i = 0; i < list.clips.size(); ++i) {
        AVData &clip = list.clips[i];
        clip.position = position;
        position += clip.length();
        if (i == 0) {
            list.outputSize = list.smallestSize = QSize(clip.videoWidth, clip.videoHeight);
            continue;
        }
        list.outputSize.setWidth(std::max(list.outputSize.width(), clip.videoWidth));
        list.outputSize.setHeight(std::max(list.outputSize.height(), clip.videoHeight));
        list.smallestSize.setWidth(std::min(list.smallestSize.width(), clip.videoWidth));
        list.smallestSize.setHeight(std::min(list.smallestSize.height(), clip.videoHeight));
    }
    list.totalMs = position;
    return list;
}

bool clampSpanToMedia(AVData &clip, qint64 mediaMs)
{
    // Compared, never subtracted, before they are inside [0, mediaMs].
    const bool wasEmpty = clip.endTime <= clip.beginTime;
    mediaMs = std::max<qint64>(0, mediaMs);
    clip.duration = mediaMs;
    clip.beginTime = std::clamp<qint64>(clip.beginTime, 0, mediaMs);
    clip.endTime = std::clamp<qint64>(clip.endTime, 0, mediaMs);
    return wasEmpty || clip.endTime > clip.beginTime;
}

QString exportClipName(const AVData &clip)
{
    if (!clip.title.trimmed().isEmpty())
        return clip.title;
    if (!clip.fileName.isEmpty())
        return clip.fileName;
    return QFileInfo(clip.filePath).fileName();
}
