#pragma once
// V4L2Camera: cameras as V4L2 devices (/dev/video*), for desktops without a PipeWire server.
// A feed reads its device through libavdevice's "video4linux2" input (MJPEG where the camera
// offers it, else its raw format), decodes each picture on a reader thread of its own and
// stamps it with the time the driver gave it, on the capture clock. A read error ends it.
//
// Threads: find() and open() on any thread; a feed's reader thread calls its listeners.
#include "core/camera/camerafeed.h"

class V4L2Camera
{
public:
    enum class Found {
        Cameras,      // at least one device that captures pictures
        NoDevices,    // no /dev/video* at all
        NoneCaptures  // devices, but none that can be opened and captures pictures
    };
    // The devices of `folder` (the system's /dev) that capture pictures, into `cameras`.
    static Found find(QList<CameraInfo> *cameras, const QString &folder = QStringLiteral("/dev"));
    // Opens the device `camera.id`; null with the reason in the program's language when it
    // cannot be opened or sends no picture in 3 s.
    static std::shared_ptr<CameraFeed> open(const CameraInfo &camera, QString *error);
};
