#pragma once
// PipeWireCamera: the cameras of the desktop's PipeWire server (nodes of media class
// "Video/Source" that are not screen casts) and their feeds. A feed is a stream that the
// session manager links to the camera's node; it takes MJPEG (decoded here) or raw pictures
// of the formats FFmpeg converts, copies each out of PipeWire's buffer and stamps it with the
// time in the buffer's header. It ends when the stream stops, the node goes away or the
// connection to the server breaks.
//
// Threads: find() and open() on any thread; a feed is served by a thread of its own
// (pw_thread_loop), which calls its listeners.
#include "core/camera/camerafeed.h"

class PipeWireCamera
{
public:
    // The cameras of the default PipeWire server into `cameras`; false when no server is
    // reachable (then `cameras` stays empty).
    static bool find(QList<CameraInfo> *cameras);
    // Opens the camera whose node is named `camera.id`; null with the reason in the program's
    // language when it has no such node, the node refuses, or no picture came in 3 s.
    static std::shared_ptr<CameraFeed> open(const CameraInfo &camera, QString *error);
};
