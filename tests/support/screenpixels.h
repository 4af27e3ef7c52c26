#pragma once
// Pixels of the whole X screen and of decoded pictures, and waiting for what a window shows,
// for tests of windows that lie over the desktop.
#include <QColor>
#include <QImage>
#include <QString>

#include <functional>

namespace ScreenPixels {

// Every channel within `tolerance` of `target`.
bool near(const QColor &colour, const QColor &target, int tolerance);
// "red", "green" or "blue" for a clearly saturated picture of that colour, else "other".
QString colourName(const QColor &colour);
// Pixels of `image` near `target`.
int countNear(const QImage &image, const QColor &target, int tolerance);
// The primary X screen as the X server has it (its own pixels), what a viewer sees.
QImage desktop();
// Runs the event loop until `ready` holds or `ms` passed; returns `ready()`.
bool waitUntil(const std::function<bool()> &ready, int ms);

}  // namespace ScreenPixels
