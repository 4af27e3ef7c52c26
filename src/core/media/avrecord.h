#pragma once
// The probe of a finished media file: its length and its picture size as shown.
// updateMediaInfo() is static and reentrant; call it from any thread.
#include "core/project/avdata.h"

#include <QObject>

class AVRecord : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // Reads clip.filePath. When the file opens, sets clip.duration and clip.endTime to its
    // length in milliseconds; when it also has a picture, sets clip.videoWidth/videoHeight to
    // the size as displayed (width and height swapped for a quarter turn). True only when the
    // file has a picture of positive size. A file that does not open leaves the clip unchanged.
    static bool updateMediaInfo(AVData &clip);

    // The clockwise rotation in degrees (0, 90, 180 or 270) a player applies to `stream`: the
    // "rotate" metadata when present, else the display matrix side data.
    static int streamRotation(const struct AVStream *stream);
};
