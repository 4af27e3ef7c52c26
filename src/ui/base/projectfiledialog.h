#pragma once
// The "打开课件" file dialog of the home page and the editor. Main thread only.
#include <QString>

class QWidget;

// Asks for a packed project file (*.lsn), starting in the folder the last project was opened
// from. Empty when the teacher cancels.
QString askProjectFileToOpen(QWidget *parent);
