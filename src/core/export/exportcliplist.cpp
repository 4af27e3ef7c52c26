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
    QList<AVData> titled;  // the clips with a span, laid end to end, before folding
    qint64 titledPosition = 0;
    for (const AVData &clip : timeline) {
        // A span of no length contributes nothing and would only cost an open of its file.
        if (clip.endTime <= clip.beginTime)
            continue;
        titled.append(clip);
        titled.last().position = titledPosition;
        titledPosition += clip.length();
        if (!list.clips.isEmpty()) {
            AVData &previous = list.clips.last();
            // The next span of the same file is read on in one go (its chapter, if it starts
            // one, comes from `titled`).
            if (previous.filePath == clip.filePath && previous.endTime == clip.beginTime) {
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
    list.chapters = exportlayout::chaptersFor(titled, list.totalMs);
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
