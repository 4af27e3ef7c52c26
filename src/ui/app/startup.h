#pragma once
// The steps of the program's start with a display, in the order main() runs them.
// Main thread only, after the QApplication exists.
#include <QString>

class QApplication;
class QWidget;

// Name the running copies are counted by.
inline constexpr const char *kProgramName = "lumora_record";

// When another copy is running, logs and shows "程序正在运行中,请勿重复打开" and returns
// true: the caller ends with exit code 0.
bool refuseSecondInstance();

// Message boxes are at least this wide (see applyApplicationStyleSheet).
inline constexpr int kMessageBoxMinWidth = 240;

// Applies the style sheet resource to the whole application, a least width to its message
// boxes, and room for their columns to Qt's file dialogs; false (and nothing applied) when the
// style sheet cannot be read.
bool applyApplicationStyleSheet(QApplication &app,
                                const QString &path = QStringLiteral(":/style.qss"));

// What the program does when it was started with --crash-report FILE: tells the user that
// the last run crashed and returns the exit code.
int showCrashReport(const QString &reportFile);

// Loads the recent-project list, installs the recording engine's message boxes, offers back an
// interrupted project (offerInterruptedProjects) and opens the first window, shown; it
// deletes itself when closed. Without a projectFile (the packed project file named on the
// command line) that is the home page, otherwise the editor on that file.
QWidget *openFirstWindow(const QString &projectFile);

// Before the first window: offers back, one short question each, the projects an earlier run
// left unsaved (ProjectRecovery). "恢复" repairs the project's recordings and opens the editor
// on it, unsaved, and returns its frame; "丢弃" removes the folder and goes on to the next.
// A folder whose index cannot be read is left as it is, with a warning saying where it is.
// Null when no project was recovered.
QWidget *offerInterruptedProjects();

// Opens the editor in its frame window, shown, and opens projectFile in it when one is given.
// Returns the frame, which deletes itself when closed.
QWidget *openEditorWindow(const QString &projectFile);
