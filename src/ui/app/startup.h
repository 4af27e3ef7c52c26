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

// Applies the style sheet resource to the whole application; false (and nothing applied)
// when it cannot be read.
bool applyApplicationStyleSheet(QApplication &app,
                                const QString &path = QStringLiteral(":/style.qss"));

// Qt's own words (message-box buttons, file dialogs) in Chinese, like the rest of the
// program, when the system has Qt's Chinese translations; false when it has not.
bool installQtChineseTranslations(QApplication &app);

// What the program does when it was started with --crash-report FILE: tells the user that
// the last run crashed and returns the exit code.
int showCrashReport(const QString &reportFile);

// Loads the recent-project list and opens the first window, shown; it deletes itself when
// closed. projectFile is the packed project file named on the command line, if any.
QWidget *openFirstWindow(const QString &projectFile);
