#pragma once
// What the recording windows tell the teacher outside their bar. No window of ours may come
// into a recorded picture, so:
// - before the count-down, what must be known first is asked (no microphone);
// - during a recording the engine's warnings go to the bar's line (RecordHealthView); only
//   its errors ("错误": the recording failed, the window closes) are boxes, which do not block
//   and outlive the window for the teacher to read;
// - after a recording, notices ("提示") in boxes that do not block.
// Main thread only.
#include <QRect>

#include <functional>

class QMessageBox;
class QString;
class QWidget;

// Installs the engine's presenter once; later calls do nothing.
void installRecordMessagePresenter();

// Before a count-down: looks for a microphone (on a worker, as the sound server may be slow to
// answer) and, when there is none, asks whether to record without sound, in a box beside the
// area `recorded` (global coordinates) rather than on it where there is room. `answer(true)`:
// record; `answer(false)`: the teacher declined. `answer` is not called once `window` is gone.
void askBeforeRecording(QWidget *window, const QRect &recorded,
                        const std::function<void(bool record)> &answer);
// The question askBeforeRecording asks, and its two buttons.
QString noMicrophoneQuestion();
QString recordWithoutSoundText();

// Tells the teacher something after a recording ("提示"), in a box that does not block and
// outlives the recording window.
void showRecordNotice(const QString &text);

class ScreenRecord;
// After a recording ended normally: tells why it stopped by itself (stoppedForDisk) and, when
// more than 1 % of its pictures came late, that too; logs the late count.
void tellAfterRecording(const ScreenRecord *recorder, bool stoppedForDisk);
