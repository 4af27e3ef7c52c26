#pragma once
// The private test desktop that scripts/test and the benchmarks start (scripts/testenv):
// $DISPLAY is an Xvfb with a window manager (openbox) and a compositing manager (xcompmgr),
// as a teacher's desktop has; $LUMORA_DISPLAY_WITHOUT_COMPOSITOR names a second private Xvfb
// with the window manager only. A test that checks what a window does when nothing composites
// (translucent windows shaped to what they draw) runs its whole program there by saying so
// before its QApplication is made, in Qt's own hook:
//     class TestRecordWindow : public QObject {
//         Q_OBJECT
//     public:
//         static void initMain() { TestDisplay::useDisplayWithoutCompositor(); }
//         ...
//     };
//     QTEST_MAIN(TestRecordWindow)
// or starts the program under test there: process.setProcessEnvironment(
// TestDisplay::environmentWithoutCompositor()). Main thread only.
#include <QProcessEnvironment>
#include <QString>

namespace TestDisplay {

// The display without a compositing manager; empty outside scripts/test.
QString withoutCompositor();

// Points DISPLAY at the display without compositor, for this process and what it starts. Call
// before the QApplication exists; ends the test with a message when there is no such display.
void useDisplayWithoutCompositor();

// This process's environment with DISPLAY pointed at the display without compositor.
QProcessEnvironment environmentWithoutCompositor();

// Whether a compositing manager owns the _NET_WM_CM_S0 selection of `display` (default
// $DISPLAY), and whether a window manager announces itself there (_NET_SUPPORTING_WM_CHECK).
bool hasCompositor(const QString &display = QString());
bool hasWindowManager(const QString &display = QString());

}  // namespace TestDisplay
