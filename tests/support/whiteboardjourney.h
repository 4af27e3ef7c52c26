#pragma once
// The whiteboard journey shared by the test with a compositing manager and the one without:
// the editor on a project of two clips, 白板 at the playhead, a recording of two board pages
// drawn with the real pointer, and what the file shows at chosen times. Main thread.
#include "core/project/avdata.h"

#include <QColor>
#include <QImage>
#include <QList>
#include <QPair>
#include <QPoint>
#include <QString>

class RecordWhiteboardWidget;

namespace WhiteboardJourney {

// The program's project in `dir` made of two 4 s clips "a" and "b". False when it could not
// be made.
bool makeProject(const QString &dir);
// The editor (in its frame) on such a project, with the playhead 2 s into "b". False when it
// could not be made.
bool openEditor(const QString &dir);
// Clicks 白板 in the editor; the whiteboard window's content, or null.
RecordWhiteboardWidget *openWhiteboard();
// Draws a horizontal stroke with the real pointer across the board of `w`, from 30 % to 60 %
// of its width at `heightShare` of its height; the stroke's middle in the recorded picture's
// pixels (1920x1080) in `middle`. False when the pointer could not draw.
bool drawStroke(RecordWhiteboardWidget *w, double heightShare, QPoint *middle);
// Chooses the pen colour `colour` in the pen settings pop-up.
bool choosePenColour(RecordWhiteboardWidget *w, const QColor &colour);
// Clicks the tool button named `name` of the window's controls.
bool clickButton(RecordWhiteboardWidget *w, const char *name);

// The pictures of `file` with their times; empty when it could not be read.
QList<QPair<double, QImage>> pictures(const QString &file);
// The picture shown at `sec` (the last one at or before it); null image when none.
QImage shownAt(const QList<QPair<double, QImage>> &pictures, double sec);
// Whether `picture` shows `colour` (a stroke) near `at`.
bool showsNear(const QImage &picture, QPoint at, const QColor &colour);

QStringList titlesOf(const QList<AVData> &clips);

}  // namespace WhiteboardJourney
