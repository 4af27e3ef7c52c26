#pragma once
// The Wayland test desktop that scripts/testenv starts (mutter, headless, with its own
// XWayland, PipeWire and a private session bus), and the test screen-sharing portal
// (screencastportal.py, python3-dbusmock) on its bus. A test of the Wayland route runs its
// whole program there by saying so before its QApplication is made:
//     static void initMain() { WaylandDesktop::use(); }
// The program then sees a Wayland session: its windows run on mutter's XWayland, and it asks
// the portal for the screen. Main thread only.
#include <QProcess>
#include <QString>

namespace WaylandDesktop {

// Points DISPLAY, XAUTHORITY, WAYLAND_DISPLAY and the session bus of this process (and of what
// it starts) at the Wayland test desktop; ends the test with a message when there is none.
void use();

// The test portal, serving while the object lives. `answer` is what the desktop's question gets
// ("share" or "refuse").
class TestPortal
{
public:
    explicit TestPortal(const QString &answer = QStringLiteral("share"));
    ~TestPortal();
    TestPortal(const TestPortal &) = delete;
    TestPortal &operator=(const TestPortal &) = delete;

    // True once it answers on the bus.
    bool isServing();
    // How often the desktop's question was asked (not answered by a restore token); -1 when the
    // portal cannot be asked.
    int asked();

private:
    QProcess m_process;
};

}  // namespace WaylandDesktop
