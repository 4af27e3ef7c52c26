#pragma once
// How an exported file is laid out for players: the index ('moov') ahead of the media data
// ("fast start"), so that a lecture put on a web page plays before it has fully downloaded,
// and a chapter at the start of every clip whose title differs from the previous clip's, so
// that students can jump to a slide. Plain functions; any thread.
#include "core/project/avdata.h"

#include <QList>
#include <QString>

struct AVDictionary;
struct AVFormatContext;

namespace exportlayout {

struct Chapter
{
    qint64 startMs = 0;
    qint64 endMs = 0;
    QString title;
};

// Chapters of clips laid end to end (positions in the output, ms) ending at `totalMs`: one
// where a clip's non-empty title differs from the previous clip's title. Untitled clips start
// no chapter.
QList<Chapter> chaptersFor(const QList<AVData> &clips, qint64 totalMs);

// Puts `chapters` on an output context whose header is not yet written; false when out of
// memory.
bool addChapters(AVFormatContext *out, const QList<Chapter> &chapters);

// Muxer options that place the index first; pass them to avformat_write_header. The file
// must be written at out->url (the index is moved by reading the file back).
void addFastStartOption(AVDictionary **options);

// True when the MP4 file's index comes before its media data.
bool indexComesFirst(const QString &path);

// Writes `source` to `target` with its index first and `chapters`: a byte copy when the source
// already begins with its index and no chapters are asked for, otherwise a copy of its
// streams into a new file. False with a reason (for the log) when that cannot be done; the
// target may then hold a partial file.
bool copyIndexFirst(const QString &source, const QString &target, const QList<Chapter> &chapters,
                    QString *reason);

} // namespace exportlayout
