#pragma once
// Shared pieces of the thin libvlc 3 wrapper used by the preview player.
#include <QStringList>

namespace Vlc {
// Player and media states, in libvlc's own order (libvlc_state_t).
enum State { Idle = 0, Opening, Buffering, Playing, Paused, Stopped, Ended, Error };
}  // namespace Vlc

namespace VlcCommon {
// The arguments every libvlc instance of the program is created with: no interface, no
// on-screen texts, no media library, and on X11 only the xcb video outputs, because the Qt
// process does not hand libvlc an Xlib made safe for threads.
QStringList args();
}  // namespace VlcCommon
