#include "core/camera/camerasettings.h"

#include "core/platform/settings.h"

#include <algorithm>
#include <cmath>

namespace {
const QString kCameraKey = QStringLiteral("camera/id");
const QString kCameraKindKey = QStringLiteral("camera/kind");
const QString kCameraNameKey = QStringLiteral("camera/name");
const QString kShowKey = QStringLiteral("camera/showWhileRecording");
const QString kShapeKey = QStringLiteral("camera/shape");
const QString kSizeKey = QStringLiteral("camera/size");
const QString kMirrorPreviewKey = QStringLiteral("camera/mirrorPreview");
const QString kMirrorRecordingKey = QStringLiteral("camera/mirrorRecording");

int even(double value)
{
    return int(std::lround(value / 2.0)) * 2;
}

CameraSize sizeFrom(const QVariant &value, CameraSize fallback)
{
    bool ok = false;
    const int n = value.toInt(&ok);
    return ok && n >= 0 && n <= 2 ? CameraSize(n) : fallback;
}
}  // namespace

CameraSettings CameraSettings::load()
{
    CameraSettings s;
    s.camera.id = readSetting(kCameraKey).toString();
    s.camera.name = readSetting(kCameraNameKey).toString();
    s.camera.kind = readSetting(kCameraKindKey).toString() == QLatin1String("v4l2")
                        ? CameraInfo::Kind::V4L2
                        : CameraInfo::Kind::PipeWire;
    s.showWhileRecording = readSetting(kShowKey).toBool();
    s.shape = readSetting(kShapeKey).toInt() == 1 ? CameraShape::RoundedRect : CameraShape::Circle;
    s.size = sizeFrom(readSetting(kSizeKey), CameraSize::Medium);
    s.mirrorPreview =
        readSetting(kMirrorPreviewKey).isNull() || readSetting(kMirrorPreviewKey).toBool();
    s.mirrorRecording = readSetting(kMirrorRecordingKey).toBool();
    return s;
}

void CameraSettings::save() const
{
    writeSetting(kCameraKey, camera.id);
    writeSetting(kCameraNameKey, camera.name);
    writeSetting(kCameraKindKey, camera.kind == CameraInfo::Kind::V4L2
                                     ? QStringLiteral("v4l2")
                                     : QStringLiteral("pipewire"));
    writeSetting(kShowKey, showWhileRecording);
    writeSetting(kShapeKey, int(shape));
    writeSetting(kSizeKey, int(size));
    writeSetting(kMirrorPreviewKey, mirrorPreview);
    writeSetting(kMirrorRecordingKey, mirrorRecording);
}

const CameraInfo *CameraSettings::choose(const QList<CameraInfo> &found) const
{
    for (const CameraInfo &c : found)
        if (c == camera)
            return &c;
    return found.isEmpty() ? nullptr : &found.first();
}

double cameraWidthShare(CameraSize size)
{
    switch (size) {
    case CameraSize::Small: return 0.15;
    case CameraSize::Large: return 0.30;
    case CameraSize::Medium: break;
    }
    return 0.22;
}

QRect CameraPlace::rectIn(const QSize &picture, CameraShape shape) const
{
    if (picture.width() < 8 || picture.height() < 8)
        return QRect();
    int width = std::max(2, even(picture.width() * cameraWidthShare(size)));
    int height = shape == CameraShape::Circle ? width : std::max(2, even(width * 9.0 / 16.0));
    // A tall narrow picture: the camera keeps to its height.
    if (height > picture.height() - picture.height() % 2) {
        height = picture.height() - picture.height() % 2;
        width = shape == CameraShape::Circle ? height : std::max(2, even(height * 16.0 / 9.0));
        width = std::min(width, picture.width() - picture.width() % 2);
    }
    const double sx = std::clamp(share.x(), 0.0, 1.0);
    const double sy = std::clamp(share.y(), 0.0, 1.0);
    const int x = std::clamp(even(sx * (picture.width() - width)), 0, picture.width() - width);
    const int y = std::clamp(even(sy * (picture.height() - height)), 0, picture.height() - height);
    return QRect(x & ~1, y & ~1, width, height);
}

QPointF CameraPlace::shareFor(const QSize &picture, const QSize &camera, const QPoint &topLeft)
{
    const int roomX = picture.width() - camera.width();
    const int roomY = picture.height() - camera.height();
    return QPointF(roomX > 0 ? std::clamp(double(topLeft.x()) / roomX, 0.0, 1.0) : 0.0,
                   roomY > 0 ? std::clamp(double(topLeft.y()) / roomY, 0.0, 1.0) : 0.0);
}

CameraPlace CameraPlace::load(const QString &kind, CameraSize defaultSize)
{
    CameraPlace place;
    const QString group = QStringLiteral("camera_") + kind + QLatin1Char('/');
    place.size = sizeFrom(readSetting(group + QLatin1String("size")), defaultSize);
    const QVariant x = readSetting(group + QLatin1String("x"));
    const QVariant y = readSetting(group + QLatin1String("y"));
    if (!x.isNull() && !y.isNull())
        place.share =
            QPointF(std::clamp(x.toDouble(), 0.0, 1.0), std::clamp(y.toDouble(), 0.0, 1.0));
    return place;
}

void CameraPlace::save(const QString &kind) const
{
    const QString group = QStringLiteral("camera_") + kind + QLatin1Char('/');
    writeSetting(group + QLatin1String("size"), int(size));
    writeSetting(group + QLatin1String("x"), share.x());
    writeSetting(group + QLatin1String("y"), share.y());
}

void CameraPlace::forgetSizes()
{
    for (const char *kind : {"screen", "board", "slides"})
        writeSetting(QStringLiteral("camera_%1/size").arg(QLatin1String(kind)), QString());
}
