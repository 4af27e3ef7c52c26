#pragma once
// The chapters of a media file as `ffprobe -show_chapters` lists them, and whether the file
// decodes without a single error from the ffmpeg tool.
#include <QList>
#include <QString>

namespace Mp4Chapters {

struct Chapter
{
    double startSec = 0;
    double endSec = 0;
    QString title;
};

// Empty when ffprobe finds none (or cannot read the file).
QList<Chapter> list(const QString &path);
// "title@start" for each chapter, start in seconds with one decimal ("第1页@0.0"), for
// comparing against a table.
QStringList summary(const QString &path);

// True when `ffmpeg -i path -f null -` reports no error.
bool decodesCleanly(const QString &path, QString *errors = nullptr);

} // namespace Mp4Chapters
