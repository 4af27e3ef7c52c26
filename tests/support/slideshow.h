#pragma once
// Presentations, the slide-show agent and the desktop around them, for tests and benchmarks.
#include <QColor>
#include <QImage>
#include <QObject>
#include <QRectF>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QTimer>

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

// True when `region` (fractions of the picture) of `picture`, a recorded slide `page` of the
// presentation whose PDF the agent copied into `dir` keeps in its cache, matches Poppler's own
// picture of that page at the picture's size (pdftoppm) pixel for pixel within what the
// video's compression changes: as sharp as Poppler draws it. Says the difference found.
bool matchesPopplerRender(const QString &dir, int page, const QImage &picture,
                          const QRectF &region);

// Copies the agent into `dir` and returns the copy's path: its cache (the "cache" folder
// beside the program) is then `dir`/cache/slides, apart from every other run. The copy has a
// name of its own, so that a program that ends every "lumora_slide_agent" of the machine (a
// home page starting in another test run) leaves it alone.
QString copyAgent(const QString &dir);

// For a test of the presentation windows: makes the presentations in `dir` and has every
// PptContainer start a copy of the agent made in `dir`. False, with the reason, when the
// presentations could not be made.
bool prepareContainer(const QString &dir, QString *error);

// Answers every modal message box with OK while it lives, keeping "title/text" of each: a
// failure shown to the user ends a test instead of blocking it.
class MessageBoxAnswerer : public QObject
{
public:
    MessageBoxAnswerer();
    QStringList shown;  // all but the note that the computer was too busy to record in time

private:
    const QRegularExpression busyNote;
    QTimer m_timer;
};

// True when the display has the window manager and the compositing manager the slide show is
// embedded and drawn over with (scripts/test starts both).
bool ensureDesktop();

}  // namespace SlideShow
