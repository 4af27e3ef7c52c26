#include "core/camera/camerafeedbase.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDebug>

bool CameraFeedBase::newest(AVFrame *frame, qint64 *captureUs, qint64 *number) const
{
    QMutexLocker lock(&m_mutex);
    if (!m_picture || av_frame_ref(frame, m_picture.get()) < 0)
        return false;
    if (captureUs)
        *captureUs = m_captureUs;
    if (number)
        *number = m_number;
    return true;
}

qint64 CameraFeedBase::newestNumber() const
{
    QMutexLocker lock(&m_mutex);
    return m_number;
}

QSize CameraFeedBase::pictureSize() const
{
    QMutexLocker lock(&m_mutex);
    return m_picture ? QSize(m_picture->width, m_picture->height) : QSize();
}

bool CameraFeedBase::hasEnded(QString *reason) const
{
    QMutexLocker lock(&m_mutex);
    if (reason && m_ended)
        *reason = m_endReason;
    return m_ended;
}

int CameraFeedBase::addListener(std::function<void()> listener)
{
    QMutexLocker lock(&m_listenerMutex);
    const int id = m_nextListenerId++;
    m_listeners.insert(id, std::move(listener));
    return id;
}

void CameraFeedBase::removeListener(int id)
{
    QMutexLocker lock(&m_listenerMutex);
    m_listeners.remove(id);
}

QString CameraFeedBase::disconnectedText()
{
    return QCoreApplication::translate("CameraFeed", "摄像头已断开。");
}

QString CameraFeedBase::cannotOpenText(const QString &why)
{
    return QCoreApplication::translate("CameraFeed", "无法打开摄像头：%1").arg(why);
}

QString CameraFeedBase::noPictureText()
{
    return QCoreApplication::translate("CameraFeed", "摄像头 3 秒内没有送来画面。");
}

void CameraFeedBase::deliver(ffmpeg::FramePtr picture, qint64 captureUs)
{
    {
        QMutexLocker lock(&m_mutex);
        if (m_ended)
            return;
        m_picture = std::move(picture);
        m_captureUs = captureUs;
        ++m_number;
        m_changed.wakeAll();
    }
    callListeners();
}

void CameraFeedBase::end(const QString &reason)
{
    {
        QMutexLocker lock(&m_mutex);
        if (m_ended)
            return;
        m_ended = true;
        m_endReason = reason;
        m_changed.wakeAll();
    }
    qInfo().noquote() << "CameraFeed: ended:" << reason;
    callListeners();
}

bool CameraFeedBase::waitForFirstPicture(int timeoutMs, QString *reason)
{
    QMutexLocker lock(&m_mutex);
    QDeadlineTimer deadline(timeoutMs);
    while (m_number == 0 && !m_ended) {
        if (!m_changed.wait(&m_mutex, deadline))
            break;
    }
    if (m_number > 0)
        return true;
    if (reason)
        *reason = m_ended ? m_endReason : cannotOpenText(noPictureText());
    return false;
}

ffmpeg::FramePtr CameraFeedBase::decodeOne(AVCodecContext *decoder, const AVPacket *packet)
{
    int ret = avcodec_send_packet(decoder, packet);
    if (ret < 0) {
        qWarning().noquote() << "CameraFeed: the picture does not decode:"
                             << ffmpeg::errorText(ret);
        return {};
    }
    ffmpeg::FramePtr picture = ffmpeg::makeFrame();
    if (!picture)
        return {};
    ret = avcodec_receive_frame(decoder, picture.get());
    if (ret < 0) {
        if (ret != AVERROR(EAGAIN))
            qWarning().noquote() << "CameraFeed: no picture from the decoder:"
                                 << ffmpeg::errorText(ret);
        return {};
    }
    return picture;
}

void CameraFeedBase::callListeners()
{
    QMutexLocker lock(&m_listenerMutex);
    // A listener may remove listeners (itself too): go by the ids there are now.
    const QList<int> ids = m_listeners.keys();
    for (int id : ids) {
        const auto it = m_listeners.constFind(id);
        if (it == m_listeners.constEnd())
            continue;
        const std::function<void()> listener = it.value();  // it may remove itself
        listener();
    }
}

void CameraFeedBase::logFailure(const CameraInfo &camera, const QString &why)
{
    qWarning().noquote() << "CameraFeed:" << camera.id << why;
}
