#pragma once
// The export clip list: the project's clips in timeline order, with each clip that continues
// the previous one (same file, beginning where the previous ends) folded into it, and the
// figures the export derives from that list. Plain functions; any thread.
#include "core/export/exportmp4layout.h"
#include "core/project/avdata.h"

#include <QList>
#include <QSize>
#include <QString>

struct ExportClipList
{
    QList<AVData> clips;  // folded, empty spans left out, positions laid end to end
    QSize outputSize;     // the largest videoWidth and the largest videoHeight
    QSize smallestSize;   // the smallest videoWidth and the smallest videoHeight
    qint64 totalMs = 0;   // length of the whole export
    // The chapters, from the timeline's own clips: folding the spans of one file (a slide
    // recording split into 第1页, 第2页...) must not fold their chapters.
    QList<exportlayout::Chapter> chapters;
    // True when the export is one clip used from its first to its last millisecond, which is
    // exported by copying its file.
    bool isWholeSingleFile() const;
    // True when some clip is smaller than the output and needs the white background.
    bool needsBackground() const { return smallestSize != outputSize; }
};

ExportClipList buildExportClipList(const QList<AVData> &timeline);

// Keeps the used span of `clip` inside its media file of `mediaMs` milliseconds (the clip's
// times come from a project file and may say anything). False when a span that was not
// empty has nothing left inside the file.
bool clampSpanToMedia(AVData &clip, qint64 mediaMs);

// The clip as messages name it: its title, else its file name.
QString exportClipName(const AVData &clip);
