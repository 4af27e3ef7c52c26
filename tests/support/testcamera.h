#pragma once
// A camera on the test desktop's PipeWire server: a node of media class "Video/Source" named
// `nodeName`, described as "Lumora Test Camera", that drives itself at 30 pictures a second
// and shows one colour all over, as raw YUY2, I420 (planes in one block, padded rows) or BGRx
// pictures or as MJPEG (encoded once per colour with FFmpeg's encoder). Each picture carries the
// CLOCK_MONOTONIC time it was made in its header, as a camera's driver stamps it. The node is
// removed by remove() or when the camera is destroyed.
//
// Threads: all functions on the test's thread; the pictures are made on a thread of its own.
#include <QColor>
#include <QSize>
#include <QString>

#include <memory>

class TestCamera
{
public:
    enum class Format { Yuy2, I420, Bgrx, Mjpeg };

    // Waits (a few seconds at most) until the server has the node; see isReady().
    TestCamera(const QString &nodeName, Format format, const QColor &colour,
               const QSize &size = QSize(640, 480));
    ~TestCamera();
    TestCamera(const TestCamera &) = delete;
    TestCamera &operator=(const TestCamera &) = delete;

    static QString description() { return QStringLiteral("Lumora Test Camera"); }

    // True when the node is on the server.
    bool isReady() const;
    // Shows `colour` from the next picture on and waits for that picture to go out to a
    // consumer: returns the time it was stamped with, on the capture clock
    // (PictureSource::captureClockUs), or -1 when none went out within 2 s (no consumer).
    qint64 setColour(const QColor &colour);
    // Removes the node from the server, as when a camera is unplugged.
    void remove();

    struct Impl;

private:
    std::unique_ptr<Impl> d;
};
