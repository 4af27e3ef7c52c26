#pragma once
// Shows the recording engine's warnings and errors ("警告" / "错误") as message boxes that do
// not block: the recording window that owns the engine may close right after an error, and
// the box stays up for the teacher to read. Main thread only.
class QMessageBox;
class QString;

// Installs the presenter once; later calls do nothing.
void installRecordMessagePresenter();

// Tells the teacher something after a recording ("提示"), in a box that does not block and
// outlives the recording window.
void showRecordNotice(const QString &text);

class ScreenRecord;
// After a recording ended normally: tells why it stopped by itself (stoppedForDisk) and, when
// more than 1 % of its pictures came late, that too; logs the late count.
void tellAfterRecording(const ScreenRecord *recorder, bool stoppedForDisk);
