#pragma once
// Clip lists for tests that play or cut media files.
#include "core/project/avdata.h"

#include <QHash>
#include <QList>

namespace ClipList {

// A clip of the file at `path` (`durationMs` long) using the span [beginMs, endMs).
AVData clip(const QString &path, qint64 durationMs, qint64 beginMs, qint64 endMs);

// Lays the clips end to end from 0, as the project does.
QList<AVData> laidOut(QList<AVData> clips);

// Reads "name:begin:end,name:begin:end,..." with the files and durations in `files`
// (name -> path) and `durations` (name -> ms); the clips come laid out.
QList<AVData> parse(const QString &text, const QHash<QString, QString> &files,
                    const QHash<QString, qint64> &durations);

} // namespace ClipList
