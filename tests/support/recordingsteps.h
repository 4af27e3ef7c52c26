#pragma once
// The steps a test takes with the recording engine: a clip to record into, the preparation
// up to the moment pictures are read, and the stop up to the end of the recording. Main thread.
#include "core/project/avdata.h"

#include <QRect>

class ProjectData;
class ScreenRecord;

namespace RecordingSteps {

// Places `project` in `dir` with one empty clip, titled "a", to record into; returns that clip.
AVData newProjectClip(ProjectData *project, const QString &dir);
// Prepares `engine` for `clip` on `rect` and waits until it reads its inputs, then `settleMs`
// more (the count-down the recording window shows, which also lets the sound input settle).
// False when the engine did not get ready.
bool prepare(ScreenRecord &engine, AVData &clip, const QRect &rect, int settleMs);
// Stops and waits for the end of the recording. False when it did not end, or when the end was
// reported more than once: the sound and the picture encoder end within moments of each
// other, and a second report would come then.
bool stop(ScreenRecord &engine);

}  // namespace RecordingSteps
