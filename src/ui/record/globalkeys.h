#pragma once
// Keys that work from any window while a recording window is open: pause/continue, stop, pen
// on/off, laser pointer on/off, clear and the camera on/off. The teacher sets them in the settings;
// they are kept in "conf.ini" (group "keys"), the defaults being combinations teaching software
// rarely uses.
//
// On X11 a GlobalKeys object grabs them on the root window for as long as it lives (a
// recording window makes one and deletes it as it closes), so they reach the program whichever
// window has the keyboard; a key another program already holds stays with that program and is
// listed by heldElsewhere(). On Wayland the desktop portal's GlobalShortcuts binds them where
// the desktop offers it; elsewhere the keys are shortcuts of the program's windows and work
// while a recording window has the focus. Main thread only.
#include <QAbstractNativeEventFilter>
#include <QElapsedTimer>
#include <QKeySequence>
#include <QList>
#include <QObject>
#include <QString>

#include <xcb/xcb.h>

#include <functional>

class BoardToolsWidget;
class PortalShortcuts;
class QShortcut;
class QWidget;

class GlobalKeys : public QObject, public QAbstractNativeEventFilter
{
    Q_OBJECT
public:
    enum Action { PauseResume = 0, Stop, TogglePen, ToggleLaser, Clear, ToggleCamera, ActionCount };

    // What the action does, in the teacher's words (translated).
    static QString actionText(Action action);
    static QKeySequence defaultSequence(Action action);
    // The key the teacher set, else the default.
    static QKeySequence sequence(Action action);
    // Keeps `sequence` for `action` in "conf.ini"; the next recording window uses it.
    static void setSequence(Action action, const QKeySequence &sequence);
    // Whether `sequence` can be such a key: one combination of Ctrl, Alt or Super (Shift may
    // join them) with a letter, a digit or F1..F12.
    static bool usable(const QKeySequence &sequence);
    // How the keys reach the program: grabbed on the X server, bound by the desktop portal, or
    // only while a window of the program has the focus.
    enum Route { X11Grab, Portal, FocusOnly };
    static Route route();
    // The actions whose key another program holds now. Tried by grabbing each key and
    // freeing it at once; while a recording window holds the keys, what it found.
    static QList<Action> probeHeldElsewhere();

    // What the keys do in a recording window: `pauseResume` and `stop` act as the bar's buttons
    // would (each looks whether it may); the pen, the laser pointer and clearing act on `tools`
    // while `drawing()` says the teacher can draw.
    struct RecordingActions
    {
        std::function<void()> pauseResume;
        std::function<void()> stop;
        BoardToolsWidget *tools = nullptr;
        std::function<bool()> drawing;
        std::function<void()> toggleCamera;  // shows or hides the camera, as its button does
    };
    // The actions of a window that drives a recorder with its own 开始/继续, 暂停 and 结束:
    // the pause key pauses while recording and continues while paused, the stop key stops
    // either; neither does anything before the recording or after it. `state` tells the
    // recorder's state (ScreenRecord::RecordState; Idle without a recorder). Drawing keys act while
    // `tools` takes drawing.
    static RecordingActions recorderActions(std::function<int()> state, std::function<void()> play,
                                            std::function<void()> pause, std::function<void()> stop,
                                            BoardToolsWidget *tools);
    // The keys of the recording window `window`, for as long as it lives.
    static GlobalKeys *attach(QWidget *window, RecordingActions actions);

    // `window` is the recording window: where no grabs are possible, its shortcuts.
    explicit GlobalKeys(QWidget *window);
    ~GlobalKeys() override;

    QList<Action> heldElsewhere() const { return m_heldElsewhere; }

signals:
    void triggered(int action);  // one of Action

protected:
    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override;

private:
    struct Grab
    {
        Action action;
        xcb_keycode_t keycode;
        uint16_t modifiers;
    };
    void fire(Action action);

    xcb_connection_t *m_conn = nullptr;
    xcb_window_t m_root = XCB_WINDOW_NONE;
    QList<Grab> m_grabs;
    QList<Action> m_heldElsewhere;
    QList<QShortcut *> m_shortcuts;
    PortalShortcuts *m_portal = nullptr;
    QElapsedTimer m_sinceLast;
    int m_lastAction = -1;
};

// Grabs on the X server for any client's connection (the program's, or another program's in a
// test). `sequence` as GlobalKeys::usable() allows.
namespace x11keys {
// False when another client holds the key (or it cannot be a key on this keyboard); then
// nothing is left grabbed.
bool grab(xcb_connection_t *conn, xcb_window_t root, const QKeySequence &sequence);
void ungrab(xcb_connection_t *conn, xcb_window_t root, const QKeySequence &sequence);
}  // namespace x11keys
