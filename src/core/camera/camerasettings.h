#pragma once
// What the teacher chose on the settings page's "摄像头" page, and where the camera was last put
// in each kind of recording window. Kept in "conf.ini" (group "camera") when changed, read by
// the recording windows as they open. Plain values and functions; any thread.
#include "core/camera/camerafeed.h"

#include <QPointF>
#include <QRect>
#include <QSize>

enum class CameraShape { Circle = 0, RoundedRect = 1 };
enum class CameraSize { Small = 0, Medium = 1, Large = 2 };

struct CameraSettings
{
    // The camera chosen; an empty id: the first one found.
    CameraInfo camera;
    bool showWhileRecording = false;  // "录制时显示摄像头"
    CameraShape shape = CameraShape::Circle;
    CameraSize size = CameraSize::Medium;
    bool mirrorPreview = true;     // the teacher sees the camera as in a mirror
    bool mirrorRecording = false;  // and the file shows it so too

    static CameraSettings load();
    void save() const;
    bool operator==(const CameraSettings &o) const
    {
        return camera == o.camera && showWhileRecording == o.showWhileRecording &&
               shape == o.shape && size == o.size && mirrorPreview == o.mirrorPreview &&
               mirrorRecording == o.mirrorRecording;
    }

    // Of `found`, the chosen camera, else the first; null when `found` is empty.
    const CameraInfo *choose(const QList<CameraInfo> &found) const;
};

// The share of the recorded picture's width the camera takes at each size.
double cameraWidthShare(CameraSize size);

// Where the camera stands in a picture: its size, and its place as shares of the room left
// beside it (0: the left or top edge, 1: the right or bottom edge), so that it stays inside
// whatever the picture's and the camera's size.
struct CameraPlace
{
    CameraSize size = CameraSize::Medium;
    QPointF share{0.97, 0.95};

    // The camera's rectangle in a picture of `picture` pixels for `shape`: a square for the
    // circle, 16:9 for the rounded rectangle; even position and size (the encoder's chroma
    // samples cover 2x2 pixels).
    QRect rectIn(const QSize &picture, CameraShape shape) const;
    // The place whose rectangle in `picture` has its top-left corner nearest to `topLeft`.
    static QPointF shareFor(const QSize &picture, const QSize &camera, const QPoint &topLeft);

    // The place last used in windows of `kind` ("screen", "board", "slides"); the settings'
    // size and the bottom-right corner before any.
    static CameraPlace load(const QString &kind, CameraSize defaultSize);
    void save(const QString &kind) const;
    // The size chosen in the settings counts again in every kind of window.
    static void forgetSizes();
};
