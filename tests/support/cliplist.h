#pragma once
// Clip lists for tests: clips of media files to play or cut, clips with only a span for the
// timeline, laid out end to end as the project lays them out.
#include "core/project/avdata.h"

#include <QHash>
#include <QList>
#include <QSize>

namespace ClipList {

// A clip of the file at `path` (`durationMs` long, pictures of `pictureSize`) using the span
// [beginMs, endMs), titled `title` (the file's name when empty).
AVData clip(const QString &path, qint64 durationMs, qint64 beginMs, qint64 endMs,
            const QString &title = QString(), QSize pictureSize = QSize(160, 120));

// A clip with the given used span (ms) and no media file behind it.
AVData clip(qint64 beginMs, qint64 endMs, const QString &title = QString());

// Lays the clips end to end from 0, as the project does.
QList<AVData> laidOut(QList<AVData> clips);

// Reads "name:begin:end,name:begin:end,..." with the files and durations in `files`
// (name -> path) and `durations` (name -> ms); the clips come laid out.
QList<AVData> parse(const QString &text, const QHash<QString, QString> &files,
                    const QHash<QString, qint64> &durations);

}  // namespace ClipList
