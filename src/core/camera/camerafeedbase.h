#pragma once
// CameraFeedBase: what every kind of camera keeps the same way: the newest picture with its
// number and time, the end and its reason, and the listeners. A camera's reader hands each
// picture to deliver() and its end to end(); open() waits with waitForFirstPicture().
//
// Threads: deliver() and end() on the reader's thread; waitForFirstPicture() on the thread that
// opens the camera; the CameraFeed functions from any thread.
#include "core/camera/camerafeed.h"
#include "core/media/ffmpeghandles.h"

#include <QMap>
#include <QMutex>
#include <QRecursiveMutex>
#include <QWaitCondition>

#include <memory>

class CameraFeedBase : public CameraFeed
{
public:
    bool newest(AVFrame *frame, qint64 *captureUs, qint64 *number) const override;
    qint64 newestNumber() const override;
    QSize pictureSize() const override;
    bool hasEnded(QString *reason = nullptr) const override;
    int addListener(std::function<void()> listener) override;
    void removeListener(int id) override;

    // The texts of the ends and failures every kind of camera shares.
    static QString disconnectedText();
    static QString cannotOpenText(const QString &why);
    static QString noPictureText();

    // A feed of the kind `Feed` started on `camera` (Feed::start(camera, &why)); null with the
    // reason in `error` when it does not start.
    template <class Feed>
    static std::shared_ptr<CameraFeed> startFeed(const CameraInfo &camera, QString *error)
    {
        auto feed = std::make_shared<Feed>();
        QString why;
        if (feed->start(camera, &why))
            return feed;
        logFailure(camera, why);
        if (error)
            *error = why;
        return {};
    }

protected:
    static void logFailure(const CameraInfo &camera, const QString &why);
    // A new picture, taken at `captureUs` (capture clock); then the listeners are called.
    // Ignored once the feed ended.
    void deliver(ffmpeg::FramePtr picture, qint64 captureUs);
    // The feed ends with `reason` (the first reason stays); the listeners are called once.
    void end(const QString &reason);
    // Waits up to `timeoutMs` for the first picture; false when none came (then `reason` says
    // why in the program's language: the end's reason, or that no picture came).
    bool waitForFirstPicture(int timeoutMs, QString *reason);
    // Decodes one compressed picture (`packet`) with `decoder`, which gives each picture as soon
    // as it has its packet (MJPEG, raw video). Empty when the packet holds no picture.
    static ffmpeg::FramePtr decodeOne(AVCodecContext *decoder, const AVPacket *packet);

private:
    void callListeners();

    mutable QMutex m_mutex;
    QWaitCondition m_changed;  // a picture came or the feed ended
    ffmpeg::FramePtr m_picture;
    qint64 m_captureUs = 0;
    qint64 m_number = 0;
    bool m_ended = false;
    QString m_endReason;

    // Held while listeners run, so that removeListener() waits for a running one; recursive,
    // so that a listener may remove itself.
    mutable QRecursiveMutex m_listenerMutex;
    QMap<int, std::function<void()>> m_listeners;
    int m_nextListenerId = 1;
};
