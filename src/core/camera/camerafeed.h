#pragma once
// CameraFeed: the pictures of one camera, as they come. Cameras are found on the desktop's
// PipeWire server (nodes of media class "Video/Source", the way current desktops list them) or,
// where no PipeWire server runs, as V4L2 devices read through libavdevice. A feed keeps only the
// newest picture, in the camera's own pixel format (MJPEG pictures decoded), stamped with the
// time the camera took it on the recorder's capture clock (PictureSource::captureClockUs).
// The preview of a window and the recorder share one feed: a camera is opened once.
//
// Threads: findCameras() and open() on any thread (they wait a few seconds at most); every
// other function from any thread. Listeners are called on the feed's own thread, briefly (wake
// a waiter, post an event); never destroy the feed from one.
#include <QList>
#include <QSize>
#include <QString>

#include <functional>
#include <memory>

struct AVFrame;

struct CameraInfo
{
    enum class Kind { PipeWire, V4L2 };
    Kind kind = Kind::PipeWire;
    // PipeWire: the node's "node.name"; V4L2: the device's path ("/dev/video0").
    QString id;
    // What the teacher sees in the list: the node's or the device's description.
    QString name;

    bool operator==(const CameraInfo &other) const { return kind == other.kind && id == other.id; }
};

class CameraFeed
{
public:
    // The cameras found now. When there is none, `whyNone` (may be null) says why, in the
    // program's language, for the settings page ("没有找到摄像头" is shown above it).
    static QList<CameraInfo> findCameras(QString *whyNone);

    // Opens `camera` at the format and size it offers nearest to 1280x720 at 30 pictures a
    // second, and waits for its first picture (a few seconds at most). Null when it cannot be
    // opened; `error` then says why in the program's language (busy, gone, refused, no picture).
    static std::shared_ptr<CameraFeed> open(const CameraInfo &camera, QString *error);

    virtual ~CameraFeed() = default;

    // The newest picture: `frame` gets a new reference to it (the caller unreferences it),
    // `captureUs` when it was taken, `number` its number (1 for the first, one more for each
    // picture after it). False while there is none.
    virtual bool newest(AVFrame *frame, qint64 *captureUs, qint64 *number) const = 0;
    // The number of the newest picture (0: none yet).
    virtual qint64 newestNumber() const = 0;
    // The size of the camera's pictures (valid after open).
    virtual QSize pictureSize() const = 0;
    // True once the camera stopped delivering (unplugged, its node removed, the server gone);
    // `reason`, in the program's language, says what happened. A feed that ended stays ended.
    virtual bool hasEnded(QString *reason = nullptr) const = 0;

    // `listener` is called after every new picture and once when the feed ends. The returned
    // id removes it; after removeListener returns, the listener is not running and is not
    // called again.
    virtual int addListener(std::function<void()> listener) = 0;
    virtual void removeListener(int id) = 0;
};
