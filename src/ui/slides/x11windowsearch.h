#pragma once
// The X11 desktop as the slide-show container needs it: the top-level windows with their
// titles (_NET_WM_NAME, else WM_NAME), whether they are shown and which process made them
// (_NET_WM_PID); whether a window manager runs; keeping a window above the others.
// (Whether a compositing manager runs: X11Desktop.) Uses the
// application's own X connection; main thread only. Without an X display (another platform
// plug-in) every answer is empty or false.
#include <QList>
#include <QRect>
#include <QString>

namespace X11WindowSearch {

struct TopLevel
{
    quint32 id = 0;
    QString title;
    bool viewable = false;  // mapped, and every ancestor mapped
    qint64 pid = 0;         // 0 when the window does not say
};

// The clients the window manager lists (_NET_CLIENT_LIST) and the root window's children,
// each once.
QList<TopLevel> topLevels();

// A window manager that follows the EWMH conventions runs (_NET_SUPPORTING_WM_CHECK).
bool hasWindowManager();

}  // namespace X11WindowSearch

namespace X11WindowSearch {

// Asks the window manager to keep the top-level window `id` above the others, or to give it
// its normal place again (_NET_WM_STATE_ABOVE); the window stays as it is, native children
// included. False without an X display or window manager.
bool setStaysOnTop(quint32 id, bool on);
// Whether the window manager keeps the window `id` above the others now.
bool staysOnTop(quint32 id);

// Keeps the embedded window `id` shown inside `parent` at `geometry` (X pixels, relative to
// `parent`). A window manager that lets go of the window late, after it was embedded, puts it
// back on the root window unmapped, and frames it anew once it is mapped there: the window
// is then put back into `parent` (and left alone by the window manager from then on) and
// mapped. A window in place that moved or sized itself anew is put back at `geometry`. True
// when it had to do anything.
bool keepEmbedded(quint32 id, quint32 parent, const QRect &geometry);

}  // namespace X11WindowSearch
