#include "core/camera/v4l2camera.h"

#include "core/camera/camerafeedbase.h"
#include "core/record/picturesource.h"

extern "C" {
#include <libavdevice/avdevice.h>
}

#include <QCollator>
#include <QCoreApplication>
#include <QDebug>
#include <QDir>

#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

#include <fcntl.h>
#include <linux/videodev2.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {
constexpr int kFirstPictureWaitMs = 3000;
// How long the reader rests when the device has no new picture yet.
constexpr int kIdleWaitMs = 5;
// A driver's time further from the arrival than this is not understood: the arrival counts.
constexpr qint64 kMostDriverLagUs = 1000000;

// The device's capture abilities and name; false when it cannot be asked.
bool queryDevice(const QString &path, QString *card, bool *captures, bool *offersMjpeg)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    v4l2_capability cap{};
    const bool asked = ::ioctl(fd, VIDIOC_QUERYCAP, &cap) == 0;
    if (asked) {
        const quint32 caps =
            (cap.capabilities & V4L2_CAP_DEVICE_CAPS) ? cap.device_caps : cap.capabilities;
        *captures = caps & V4L2_CAP_VIDEO_CAPTURE;
        *card = QString::fromUtf8(
            reinterpret_cast<const char *>(cap.card),
            int(strnlen(reinterpret_cast<const char *>(cap.card), sizeof(cap.card))));
        *offersMjpeg = false;
        v4l2_fmtdesc format{};
        format.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        for (format.index = 0; ::ioctl(fd, VIDIOC_ENUM_FMT, &format) == 0; ++format.index) {
            if (format.pixelformat == V4L2_PIX_FMT_MJPEG)
                *offersMjpeg = true;
        }
    }
    ::close(fd);
    return asked;
}

QString describeOpenError(int ret)
{
    if (ret == AVERROR(EBUSY))
        return QCoreApplication::translate("CameraFeed", "摄像头正被其他程序使用。");
    if (ret == AVERROR(ENOENT) || ret == AVERROR(ENODEV) || ret == AVERROR(ENXIO))
        return QCoreApplication::translate("CameraFeed", "找不到这个摄像头。");
    if (ret == AVERROR(EACCES) || ret == AVERROR(EPERM))
        return QCoreApplication::translate("CameraFeed", "没有使用摄像头的权限。");
    return ffmpeg::errorText(ret);
}

class V4L2CameraFeed final : public CameraFeedBase
{
public:
    ~V4L2CameraFeed() override
    {
        {
            std::lock_guard<std::mutex> lock(m_stopMutex);
            m_stop = true;
        }
        m_stopped.notify_all();
        if (m_reader.joinable())
            m_reader.join();
    }

    bool start(const CameraInfo &camera, QString *error);

private:
    int openInput(const QString &path, bool sizeAndRate, bool mjpeg);
    void readInThread();
    bool stopRequested()
    {
        std::lock_guard<std::mutex> lock(m_stopMutex);
        return m_stop;
    }

    ffmpeg::InputFormatContextPtr m_input;
    ffmpeg::CodecContextPtr m_decoder;
    int m_streamIndex = -1;
    std::thread m_reader;
    std::mutex m_stopMutex;
    std::condition_variable m_stopped;
    bool m_stop = false;  // m_stopMutex
};

// Opens the device, at 1280x720 and 30 pictures a second when `sizeAndRate`, as MJPEG when
// `mjpeg`; the driver's times converted to the capture clock. The FFmpeg result.
int V4L2CameraFeed::openInput(const QString &path, bool sizeAndRate, bool mjpeg)
{
    const AVInputFormat *format = av_find_input_format("video4linux2");
    if (!format)
        return AVERROR_DEMUXER_NOT_FOUND;
    ffmpeg::Dictionary options;
    // "abs": the driver's monotonic times turned into the wall clock av_gettime() reads.
    if (!options.set("timestamps", "abs") ||
        (sizeAndRate &&
         (!options.set("video_size", "1280x720") || !options.set("framerate", 30))) ||
        (mjpeg && !options.set("input_format", "mjpeg")))
        return AVERROR(ENOMEM);
    AVFormatContext *context = avformat_alloc_context();
    if (!context)
        return AVERROR(ENOMEM);
    // The reader asks for pictures without blocking, so that it can be stopped at any time.
    context->flags |= AVFMT_FLAG_NONBLOCK;
    const int ret = avformat_open_input(&context, path.toUtf8().constData(), format, options.ref());
    if (ret < 0)
        return ret;  // the context is freed
    m_input.reset(context);
    return 0;
}

bool V4L2CameraFeed::start(const CameraInfo &camera, QString *error)
{
    avdevice_register_all();
    QString card;
    bool captures = false, offersMjpeg = false;
    if (!queryDevice(camera.id, &card, &captures, &offersMjpeg)) {
        const int err = errno;
        *error = cannotOpenText(describeOpenError(AVERROR(err)));
        return false;
    }
    // What the camera accepts of what we prefer: the size and rate may be refused.
    int ret = openInput(camera.id, true, offersMjpeg);
    if (ret < 0 && ret != AVERROR(EBUSY))
        ret = openInput(camera.id, false, offersMjpeg);
    if (ret < 0 && ret != AVERROR(EBUSY) && offersMjpeg)
        ret = openInput(camera.id, false, false);
    if (ret < 0) {
        qWarning().noquote() << "CameraFeed:" << camera.id << ffmpeg::errorText(ret);
        *error = cannotOpenText(describeOpenError(ret));
        return false;
    }
    m_streamIndex = av_find_best_stream(m_input.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (m_streamIndex >= 0)
        m_decoder = ffmpeg::openDecoder(m_input->streams[m_streamIndex], 1, &ret);
    if (!m_decoder) {
        qWarning().noquote() << "CameraFeed:" << camera.id
                             << "no decoder:" << ffmpeg::errorText(ret);
        *error = cannotOpenText(describeOpenError(ret));
        return false;
    }
    qInfo() << "CameraFeed:" << camera.id << avcodec_get_name(m_decoder->codec_id)
            << m_decoder->width << "x" << m_decoder->height;
    m_reader = std::thread([this]() { readInThread(); });
    return waitForFirstPicture(kFirstPictureWaitMs, error);
}

void V4L2CameraFeed::readInThread()
{
    ffmpeg::PacketPtr packet = ffmpeg::makePacket();
    if (!packet) {
        end(disconnectedText());
        return;
    }
    const AVStream *stream = m_input->streams[m_streamIndex];
    const bool raw = m_decoder->codec_id == AV_CODEC_ID_RAWVIDEO;
    while (!stopRequested()) {
        const int ret = av_read_frame(m_input.get(), packet.get());
        if (ret == AVERROR(EAGAIN)) {
            std::unique_lock<std::mutex> lock(m_stopMutex);
            m_stopped.wait_for(lock, std::chrono::milliseconds(kIdleWaitMs),
                               [this]() { return m_stop; });
            continue;
        }
        if (ret < 0) {
            qWarning().noquote() << "CameraFeed: the camera does not read:"
                                 << ffmpeg::errorText(ret);
            end(disconnectedText());
            return;
        }
        const qint64 arrivalUs = PictureSource::captureClockUs();
        qint64 takenUs = arrivalUs;
        if (packet->pts != AV_NOPTS_VALUE) {
            const qint64 driverUs =
                av_rescale_q(packet->pts, stream->time_base, AVRational{1, 1000000});
            if (driverUs <= arrivalUs && arrivalUs - driverUs < kMostDriverLagUs)
                takenUs = driverUs;
        }
        ffmpeg::FramePtr picture;
        if (packet->stream_index == m_streamIndex)
            picture = decodeOne(m_decoder.get(), packet.get());
        av_packet_unref(packet.get());
        // A raw picture may still lie in the driver's buffer: copied, that buffer goes back.
        if (picture && raw) {
            ffmpeg::FramePtr copy = ffmpeg::makePicture(AVPixelFormat(picture->format),
                                                        picture->width, picture->height);
            if (!copy || av_frame_copy(copy.get(), picture.get()) < 0 ||
                av_frame_copy_props(copy.get(), picture.get()) < 0)
                copy.reset();
            picture = std::move(copy);
        }
        if (picture)
            deliver(std::move(picture), takenUs);
    }
}
}  // namespace

V4L2Camera::Found V4L2Camera::find(QList<CameraInfo> *cameras, const QString &folder)
{
    QStringList names = QDir(folder).entryList({QStringLiteral("video*")}, QDir::System);
    QCollator collator;
    collator.setNumericMode(true);
    std::sort(names.begin(), names.end(), collator);
    for (const QString &name : names) {
        const QString path = QDir(folder).filePath(name);
        QString card;
        bool captures = false, offersMjpeg = false;
        if (queryDevice(path, &card, &captures, &offersMjpeg) && captures)
            cameras->append(CameraInfo{CameraInfo::Kind::V4L2, path, card.isEmpty() ? name : card});
    }
    if (!cameras->isEmpty())
        return Found::Cameras;
    return names.isEmpty() ? Found::NoDevices : Found::NoneCaptures;
}

std::shared_ptr<CameraFeed> V4L2Camera::open(const CameraInfo &camera, QString *error)
{
    return CameraFeedBase::startFeed<V4L2CameraFeed>(camera, error);
}
