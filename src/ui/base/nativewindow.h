#pragma once
// Native windows for the few widgets that need one. Main thread only.
class QWidget;

// Gives `widget` a window of its own on the display while its parents and their other
// children stay drawn into the top-level window. Left to itself Qt makes every sibling of a
// native widget native too, and every ancestor with all of its siblings; each of those windows
// is then resized, exposed and flushed on its own, which slowed the editor's first show and
// every later resize. A widget that must show above a native one needs a window of its own as
// well: the display stacks windows, and whatever is drawn into the top-level lies beneath them.
void giveOwnNativeWindow(QWidget *widget);
