#pragma once
// The real pointer and keyboard of the X server, moved and pressed with xdotool as a person
// would: the events go through the X server and the window manager to whatever window is
// there. Positions are in the server's pixels of the whole desktop. Each call waits for
// xdotool and then lets the program's event loop run for a moment.
#include <QList>
#include <QPoint>
#include <QString>

namespace XPointer {

bool moveTo(QPoint p);
bool press();
bool release();
bool click(QPoint p);
// Presses at the first point, moves through the others (every `step` pixels between them) and
// releases at the last.
bool drag(const QList<QPoint> &points, int step = 8);
// A key by its X name ("Escape"), or a combination ("ctrl+alt+p").
bool key(const QString &name);
// A key held down, and let go (a modifier during a drag: "shift").
bool keyDown(const QString &name);
bool keyUp(const QString &name);
// Types `text` as keys.
bool type(const QString &text);

}  // namespace XPointer
