#include "support/screenpixels.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QTest>

#include <cstdlib>

namespace ScreenPixels {

QString colourName(const QColor &c)
{
    if (c.red() > 160 && c.green() < 90 && c.blue() < 90)
        return "red";
    if (c.green() > 160 && c.red() < 90 && c.blue() < 90)
        return "green";
    if (c.blue() > 160 && c.red() < 90 && c.green() < 90)
        return "blue";
    return "other";
}

bool near(const QColor &c, const QColor &target, int tolerance)
{
    return std::abs(c.red() - target.red()) <= tolerance &&
           std::abs(c.green() - target.green()) <= tolerance &&
           std::abs(c.blue() - target.blue()) <= tolerance;
}

int countNear(const QImage &image, const QColor &target, int tolerance)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            n += near(image.pixelColor(x, y), target, tolerance) ? 1 : 0;
    return n;
}

QImage desktop()
{
    return QGuiApplication::primaryScreen()->grabWindow(0).toImage();
}

bool waitUntil(const std::function<bool()> &ready, int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (!ready() && clock.elapsed() < ms)
        QTest::qWait(20);
    return ready();
}

}  // namespace ScreenPixels
