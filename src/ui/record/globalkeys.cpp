#include "ui/record/globalkeys.h"

#include "core/platform/settings.h"
#include "core/record/screenrecord.h"
#include "ui/base/xcbcalls.h"
#include "ui/board/boardtoolswidget.h"
#include "ui/record/portalshortcuts.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QDebug>
#include <QGuiApplication>
#include <QShortcut>
#include <QWidget>

#include <iterator>

namespace {
const char *const kSettingKeys[GlobalKeys::ActionCount] = {
    "keys/pause_resume", "keys/stop", "keys/pen", "keys/laser", "keys/clear", "keys/camera",
};
const char *const kDefaults[GlobalKeys::ActionCount] = {
    "Ctrl+Alt+P", "Ctrl+Alt+S", "Ctrl+Alt+D", "Ctrl+Alt+L", "Ctrl+Alt+C", "Ctrl+Alt+W",
};
const char *const kTexts[GlobalKeys::ActionCount] = {
    QT_TRANSLATE_NOOP("GlobalKeys", "暂停/继续录制"),
    QT_TRANSLATE_NOOP("GlobalKeys", "结束录制"),
    QT_TRANSLATE_NOOP("GlobalKeys", "打开/关闭画笔"),
    QT_TRANSLATE_NOOP("GlobalKeys", "打开/关闭激光笔"),
    QT_TRANSLATE_NOOP("GlobalKeys", "清空画板"),
    QT_TRANSLATE_NOOP("GlobalKeys", "显示/隐藏摄像头"),
};

// Presses of one key closer together than this are the keyboard repeating a held key.
constexpr qint64 kRepeatMs = 350;

constexpr uint16_t kUsedModifiers =
    XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_4;
// Caps Lock and Num Lock must not keep a key from working: each key is grabbed with every
// state of the two.
constexpr uint16_t kLockStates[] = {0, XCB_MOD_MASK_LOCK, XCB_MOD_MASK_2,
                                    XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2};

// The X key symbol of a key GlobalKeys::usable() allows; 0 for any other key.
uint32_t keysymOf(Qt::Key key)
{
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        return uint32_t('a' + (key - Qt::Key_A));
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        return uint32_t('0' + (key - Qt::Key_0));
    if (key >= Qt::Key_F1 && key <= Qt::Key_F12)
        return 0xffbeu + uint32_t(key - Qt::Key_F1);  // XK_F1 and on
    return 0;
}

uint16_t modifiersOf(Qt::KeyboardModifiers mods)
{
    uint16_t x = 0;
    if (mods & Qt::ShiftModifier)
        x |= XCB_MOD_MASK_SHIFT;
    if (mods & Qt::ControlModifier)
        x |= XCB_MOD_MASK_CONTROL;
    if (mods & Qt::AltModifier)
        x |= XCB_MOD_MASK_1;
    if (mods & Qt::MetaModifier)
        x |= XCB_MOD_MASK_4;
    return x;
}

// The first key code whose symbols hold `keysym`; 0 when the keyboard has none.
xcb_keycode_t keycodeOf(xcb_connection_t *conn, uint32_t keysym)
{
    const xcb_setup_t *setup = xcb_get_setup(conn);
    const int first = setup->min_keycode;
    const int count = setup->max_keycode - first + 1;
    const auto reply = xcbcalls::owned(xcb_get_keyboard_mapping_reply(
        conn, xcb_get_keyboard_mapping(conn, xcb_keycode_t(first), uint8_t(count)), nullptr));
    if (!reply)
        return 0;
    const xcb_keysym_t *syms = xcb_get_keyboard_mapping_keysyms(reply.get());
    const int per = reply->keysyms_per_keycode;
    for (int code = 0; code < count; ++code) {
        for (int i = 0; i < per; ++i) {
            if (syms[code * per + i] == keysym)
                return xcb_keycode_t(first + code);
        }
    }
    return 0;
}

struct XKey
{
    xcb_keycode_t keycode = 0;
    uint16_t modifiers = 0;
};

XKey xkeyOf(xcb_connection_t *conn, const QKeySequence &sequence)
{
    if (!GlobalKeys::usable(sequence))
        return {};
    const QKeyCombination combination = sequence[0];
    return {keycodeOf(conn, keysymOf(combination.key())),
            modifiersOf(combination.keyboardModifiers())};
}

bool grabXKey(xcb_connection_t *conn, xcb_window_t root, XKey key)
{
    if (!key.keycode)
        return false;
    xcb_void_cookie_t cookies[std::size(kLockStates)];
    for (size_t i = 0; i < std::size(kLockStates); ++i) {
        // Reported to the root window, whichever window has the keyboard, our own as well.
        cookies[i] = xcb_grab_key_checked(conn, 0, root, key.modifiers | kLockStates[i],
                                          key.keycode, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
    }
    bool ok = true;
    for (const xcb_void_cookie_t cookie : cookies) {
        if (auto error = xcbcalls::owned(xcb_request_check(conn, cookie)))
            ok = false;  // BadAccess: another client grabbed it first
    }
    if (!ok) {
        for (const uint16_t lock : kLockStates)
            xcb_ungrab_key(conn, key.keycode, root, key.modifiers | lock);
        xcb_flush(conn);
    }
    return ok;
}

void ungrabXKey(xcb_connection_t *conn, xcb_window_t root, XKey key)
{
    if (!key.keycode)
        return;
    for (const uint16_t lock : kLockStates)
        xcb_ungrab_key(conn, key.keycode, root, key.modifiers | lock);
    xcb_flush(conn);
}

xcb_connection_t *appConnection()
{
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

xcb_window_t rootOf(xcb_connection_t *conn)
{
    return xcb_setup_roots_iterator(xcb_get_setup(conn)).data->root;
}

// The object that holds the keys now (at most one recording window is open at a time).
GlobalKeys *s_active = nullptr;
}  // namespace

namespace x11keys {
bool grab(xcb_connection_t *conn, xcb_window_t root, const QKeySequence &sequence)
{
    return grabXKey(conn, root, xkeyOf(conn, sequence));
}

void ungrab(xcb_connection_t *conn, xcb_window_t root, const QKeySequence &sequence)
{
    ungrabXKey(conn, root, xkeyOf(conn, sequence));
}
}  // namespace x11keys

QString GlobalKeys::actionText(Action action)
{
    return QCoreApplication::translate("GlobalKeys", kTexts[action]);
}

QKeySequence GlobalKeys::defaultSequence(Action action)
{
    return QKeySequence(QString::fromLatin1(kDefaults[action]), QKeySequence::PortableText);
}

QKeySequence GlobalKeys::sequence(Action action)
{
    const QString stored = readSetting(QString::fromLatin1(kSettingKeys[action])).toString();
    const QKeySequence sequence(stored, QKeySequence::PortableText);
    return usable(sequence) ? sequence : defaultSequence(action);
}

void GlobalKeys::setSequence(Action action, const QKeySequence &sequence)
{
    writeSetting(QString::fromLatin1(kSettingKeys[action]),
                 sequence.toString(QKeySequence::PortableText));
}

bool GlobalKeys::usable(const QKeySequence &sequence)
{
    if (sequence.count() != 1)
        return false;
    const QKeyCombination combination = sequence[0];
    const Qt::KeyboardModifiers mods = combination.keyboardModifiers();
    if (!(mods & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)))
        return false;
    if (mods & ~(Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier | Qt::ShiftModifier))
        return false;
    return keysymOf(combination.key()) != 0;
}

GlobalKeys::Route GlobalKeys::route()
{
    if (appConnection())
        return X11Grab;
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland")) &&
        PortalShortcuts::offered())
        return Portal;
    return FocusOnly;
}

QList<GlobalKeys::Action> GlobalKeys::probeHeldElsewhere()
{
    if (s_active)
        return s_active->heldElsewhere();
    QList<Action> held;
    xcb_connection_t *conn = appConnection();
    if (!conn)
        return held;
    const xcb_window_t root = rootOf(conn);
    for (int a = 0; a < ActionCount; ++a) {
        const XKey key = xkeyOf(conn, sequence(Action(a)));
        if (grabXKey(conn, root, key))
            ungrabXKey(conn, root, key);
        else
            held.append(Action(a));
    }
    return held;
}

GlobalKeys::RecordingActions GlobalKeys::recorderActions(std::function<int()> state,
                                                         std::function<void()> play,
                                                         std::function<void()> pause,
                                                         std::function<void()> stop,
                                                         BoardToolsWidget *tools)
{
    RecordingActions actions;
    actions.pauseResume = [state, play, pause]() {
        if (state() == ScreenRecord::Recording)
            pause();
        else if (state() == ScreenRecord::Paused)
            play();
    };
    actions.stop = [state, stop]() {
        if (state() == ScreenRecord::Recording || state() == ScreenRecord::Paused)
            stop();
    };
    actions.tools = tools;
    actions.drawing = [tools]() { return tools->isEnabled(); };
    return actions;
}

GlobalKeys *GlobalKeys::attach(QWidget *window, RecordingActions actions)
{
    auto *keys = new GlobalKeys(window);
    connect(keys, &GlobalKeys::triggered, window, [actions = std::move(actions)](int action) {
        switch (action) {
        case PauseResume: actions.pauseResume(); break;
        case Stop: actions.stop(); break;
        case TogglePen:
            if (actions.drawing())
                actions.tools->toggleTool(ToolPen);
            break;
        case ToggleLaser:
            if (actions.drawing())
                actions.tools->toggleTool(ToolLaser);
            break;
        case Clear:
            if (actions.drawing())
                actions.tools->clearBoard();
            break;
        case ToggleCamera:
            if (actions.toggleCamera)
                actions.toggleCamera();
            break;
        default: break;
        }
    });
    return keys;
}

GlobalKeys::GlobalKeys(QWidget *window) : QObject(window)
{
    m_sinceLast.start();
    m_conn = appConnection();
    if (!m_conn && route() == Portal) {
        QList<PortalShortcuts::Key> keys;
        for (int a = 0; a < ActionCount; ++a)
            keys.append({QString::fromLatin1(kSettingKeys[a]).section(QLatin1Char('/'), 1),
                         actionText(Action(a)), sequence(Action(a))});
        m_portal = new PortalShortcuts(keys, this);
        connect(m_portal, &PortalShortcuts::activated, this, [this](const QString &id) {
            for (int a = 0; a < ActionCount; ++a) {
                if (QString::fromLatin1(kSettingKeys[a]).section(QLatin1Char('/'), 1) == id)
                    fire(Action(a));
            }
        });
        connect(m_portal, &PortalShortcuts::failed, this, [](const QString &reason) {
            qWarning().noquote() << "GlobalKeys: the desktop portal did not bind the keys:"
                                 << reason;
        });
        return;
    }
    if (!m_conn) {
        // No grabs here: the keys work while a window of the program has the keyboard.
        for (int a = 0; a < ActionCount; ++a) {
            auto *shortcut = new QShortcut(sequence(Action(a)), window);
            shortcut->setContext(Qt::ApplicationShortcut);
            connect(shortcut, &QShortcut::activated, this, [this, a] { fire(Action(a)); });
            m_shortcuts.append(shortcut);
        }
        return;
    }
    m_root = rootOf(m_conn);
    for (int a = 0; a < ActionCount; ++a) {
        const XKey key = xkeyOf(m_conn, sequence(Action(a)));
        if (grabXKey(m_conn, m_root, key)) {
            m_grabs.append({Action(a), key.keycode, key.modifiers});
        } else {
            m_heldElsewhere.append(Action(a));
            qWarning().noquote() << "GlobalKeys: held by another program:"
                                 << sequence(Action(a)).toString(QKeySequence::PortableText);
        }
    }
    QAbstractEventDispatcher::instance()->installNativeEventFilter(this);
    s_active = this;
}

GlobalKeys::~GlobalKeys()
{
    if (s_active == this)
        s_active = nullptr;
    if (!m_conn)
        return;
    if (auto *dispatcher = QAbstractEventDispatcher::instance())
        dispatcher->removeNativeEventFilter(this);
    for (const Grab &grab : std::as_const(m_grabs))
        ungrabXKey(m_conn, m_root, {grab.keycode, grab.modifiers});
}

bool GlobalKeys::nativeEventFilter(const QByteArray &eventType, void *message, qintptr *)
{
    if (eventType != "xcb_generic_event_t")
        return false;
    const auto *event = static_cast<const xcb_generic_event_t *>(message);
    const uint8_t type = event->response_type & 0x7f;
    if (type != XCB_KEY_PRESS && type != XCB_KEY_RELEASE)
        return false;
    const auto *key = reinterpret_cast<const xcb_key_press_event_t *>(event);
    if (key->event != m_root)
        return false;
    const uint16_t mods = key->state & kUsedModifiers;
    for (const Grab &grab : std::as_const(m_grabs)) {
        if (grab.keycode == key->detail && grab.modifiers == mods) {
            if (type == XCB_KEY_PRESS)
                fire(grab.action);
            return true;
        }
    }
    return false;
}

void GlobalKeys::fire(Action action)
{
    if (action == m_lastAction && m_sinceLast.elapsed() < kRepeatMs)
        return;
    m_lastAction = action;
    m_sinceLast.restart();
    qInfo() << "GlobalKeys: key of action" << int(action);
    emit triggered(action);
}
