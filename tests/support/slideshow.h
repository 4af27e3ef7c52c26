#pragma once
// Presentations, the slide-show agent and the desktop around them, for tests and benchmarks.
#include <QColor>
#include <QString>

namespace SlideShow {

// Makes lesson.pptx (three slides), single.odp (one slide) and broken.pptx in `dir` with
// tests/support/make-presentations (LibreOffice). False, with the reason, when that failed.
bool makePresentations(const QString &dir, QString *error = nullptr);
// Makes `name`.pptx with `slides` slides in `dir`.
bool makeDeck(const QString &dir, int slides, const QString &name, QString *error = nullptr);
// The fill colour of slide `page` (from 1) of those presentations.
QColor slideColour(int page);
// True when `a` and `b` differ by at most `tolerance` in each of red, green and blue.
bool near(const QColor &a, const QColor &b, int tolerance = 40);

// Copies the agent into `dir` and returns the copy's path: its cache (the "cache" folder
// beside the program) is then `dir`/cache/slides, apart from every other run.
QString copyAgent(const QString &dir);

// Starts openbox and xcompmgr on the display when no window manager or compositing manager
// runs there; what it started ends with the test program. Needs a QGuiApplication.
bool ensureDesktop();

}  // namespace SlideShow
