#pragma once
// One clip of the preview's play list: a copy of the clip (its values), its media on the shared
// libvlc instance, and where in the clip playback starts or was paused. Main thread only.
#include "core/project/avdata.h"

#include <QObject>

class VlcInstance;
class VlcMedia;

class MediaInfo : public QObject, public AVData
{
    Q_OBJECT
public:
    MediaInfo(const AVData &clip, int index, VlcInstance *instance, QObject *parent = nullptr);

    int index = 0;
    VlcMedia *m_Media = nullptr;  // owned (a child)

    // Where playback starts or was paused, relative to beginTime.
    qint64 offset = 0;

    // Source time of the offset.
    qint64 offsetSourceTime() const { return beginTime + offset; }
    // Timeline time of a source time of this clip's file.
    qint64 timelineTime(qint64 sourceMs) const { return sourceMs + position - beginTime; }
    bool sameFile(const MediaInfo &other) const;
    // True when `clip` is the same span of the same file (its place may differ).
    bool sameSpan(const AVData &clip) const;
    // Takes the place and values of `clip`, a clip of the same span (sameSpan()).
    void moveTo(const AVData &clip, int newIndex);
    // Exchanges the media of two entries of one file: either plays the other's span as well.
    void swapMedia(MediaInfo &other);
};
