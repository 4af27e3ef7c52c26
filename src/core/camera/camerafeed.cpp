#include "core/camera/camerafeed.h"

#include "core/camera/camerafeedbase.h"
#include "core/camera/pipewirecamera.h"
#include "core/camera/v4l2camera.h"

#include <QCoreApplication>

QList<CameraInfo> CameraFeed::findCameras(QString *whyNone)
{
    // Where PipeWire runs it owns the cameras; its cameras are the ones to use. The devices
    // are asked as well when it lists none (a desktop whose session manager leaves them alone).
    QList<CameraInfo> cameras;
    const bool pipeWire = PipeWireCamera::find(&cameras);
    if (!cameras.isEmpty())
        return cameras;
    const V4L2Camera::Found devices = V4L2Camera::find(&cameras);
    if (!cameras.isEmpty() || !whyNone)
        return cameras;
    if (pipeWire) {
        *whyNone =
            devices == V4L2Camera::Found::NoDevices
                ? QCoreApplication::translate(
                      "CameraFeed", "PipeWire 服务中没有摄像头，也没有找到 /dev/video 设备。")
                : QCoreApplication::translate(
                      "CameraFeed",
                      "PipeWire 服务中没有摄像头，/dev/video 设备也都不能打开或不能拍摄。");
    } else {
        *whyNone = devices == V4L2Camera::Found::NoDevices
                       ? QCoreApplication::translate(
                             "CameraFeed", "没有运行 PipeWire 服务，也没有找到 /dev/video 设备。")
                       : QCoreApplication::translate(
                             "CameraFeed",
                             "没有运行 PipeWire 服务，/dev/video 设备也都不能打开或不能拍摄。");
    }
    return cameras;
}

std::shared_ptr<CameraFeed> CameraFeed::open(const CameraInfo &camera, QString *error)
{
    if (camera.id.isEmpty()) {
        if (error)
            *error = CameraFeedBase::cannotOpenText(
                QCoreApplication::translate("CameraFeed", "找不到这个摄像头。"));
        return {};
    }
    return camera.kind == CameraInfo::Kind::PipeWire ? PipeWireCamera::open(camera, error)
                                                     : V4L2Camera::open(camera, error);
}
