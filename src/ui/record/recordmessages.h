#pragma once
// Shows the recording engine's warnings and errors ("警告" / "错误") as message boxes that do
// not block: the recording window that owns the engine may close right after an error, and
// the box stays up for the teacher to read. Main thread only.
class QMessageBox;

// Installs the presenter once; later calls do nothing.
void installRecordMessagePresenter();
