#include "core/record/pipewiresource.h"

#include "core/record/pipewireconnection.h"
#include "core/record/scenepicturesource.h"

#include <spa/param/video/format-utils.h>
#include <spa/utils/result.h>

extern "C" {
#include <libswscale/swscale.h>
}

#include <QDeadlineTimer>
#include <QDebug>
#include <QMutex>
#include <QWaitCondition>

#include <atomic>
#include <cmath>

#include <unistd.h>

namespace {
constexpr int kFirstPictureWaitMs = 5000;

AVPixelFormat pixelFormatOf(uint32_t format)
{
    switch (format) {
    case SPA_VIDEO_FORMAT_BGRx: return AV_PIX_FMT_BGR0;
    case SPA_VIDEO_FORMAT_BGRA: return AV_PIX_FMT_BGRA;
    case SPA_VIDEO_FORMAT_RGBx: return AV_PIX_FMT_RGB0;
    case SPA_VIDEO_FORMAT_RGBA: return AV_PIX_FMT_RGBA;
    default: return AV_PIX_FMT_NONE;
    }
}
}  // namespace

struct PipeWireSource::Impl
{
    Impl(const QRect &monitor, const QRect &rect)
        : monitor(monitor), rect(rect), scene(rect.size()), connection("lumora-screencast")
    {
    }

    QRect monitor;
    QRect rect;
    ScenePictureSource scene;
    int fd = -1;
    quint32 node = 0;

    PipeWireConnection connection;
    pw_stream *stream = nullptr;
    spa_hook streamListener{};

    // Stream thread only.
    AVPixelFormat format = AV_PIX_FMT_NONE;
    QSize frame;
    SwsContext *sws = nullptr;

    QMutex mutex;
    QWaitCondition changed;  // a picture came or the stream failed
    QString failure;         // under mutex
    std::atomic<qint64> delivered{0};
    std::atomic<bool> closing{false};  // the source is being destroyed

    void take(const spa_buffer *buffer);
    void setFailed(const QString &why);
};

namespace {
void onParamChanged(void *data, uint32_t id, const spa_pod *param)
{
    auto *d = static_cast<PipeWireSource::Impl *>(data);
    if (!param || id != SPA_PARAM_Format)
        return;
    uint32_t mediaType = 0, mediaSubtype = 0;
    if (spa_format_parse(param, &mediaType, &mediaSubtype) < 0 ||
        mediaType != SPA_MEDIA_TYPE_video || mediaSubtype != SPA_MEDIA_SUBTYPE_raw)
        return;
    spa_video_info_raw info{};
    if (spa_format_video_raw_parse(param, &info) < 0)
        return;
    d->format = pixelFormatOf(info.format);
    d->frame = QSize(int(info.size.width), int(info.size.height));
    qInfo() << "PipeWireSource: format" << info.format << d->frame;

    PipeWireConnection::askForMappableBuffersWithTimes(d->stream);
}

void onStateChanged(void *data, pw_stream_state old, pw_stream_state state, const char *error)
{
    auto *d = static_cast<PipeWireSource::Impl *>(data);
    qInfo() << "PipeWireSource: stream" << pw_stream_state_as_string(state);
    if (d->closing.load())
        return;
    // A stream that ran and stops: its node is gone, the desktop stopped sharing the screen.
    if (state == PW_STREAM_STATE_ERROR || state == PW_STREAM_STATE_UNCONNECTED ||
        (old == PW_STREAM_STATE_STREAMING && state == PW_STREAM_STATE_PAUSED))
        d->setFailed(QStringLiteral("stream %1: %2")
                         .arg(QString::fromUtf8(pw_stream_state_as_string(state)),
                              QString::fromUtf8(error ? error : "")));
}

void onProcess(void *data)
{
    auto *d = static_cast<PipeWireSource::Impl *>(data);
    // Only the newest picture counts.
    pw_buffer *newest = nullptr;
    while (pw_buffer *next = pw_stream_dequeue_buffer(d->stream)) {
        if (newest)
            pw_stream_queue_buffer(d->stream, newest);
        newest = next;
    }
    if (!newest)
        return;
    d->take(newest->buffer);
    pw_stream_queue_buffer(d->stream, newest);
}

pw_stream_events streamEvents()
{
    pw_stream_events events{};
    events.version = PW_VERSION_STREAM_EVENTS;
    events.state_changed = onStateChanged;
    events.param_changed = onParamChanged;
    events.process = onProcess;
    return events;
}

const pw_stream_events kStreamEvents = streamEvents();
}  // namespace

void PipeWireSource::Impl::take(const spa_buffer *buffer)
{
    if (!buffer || buffer->n_datas < 1 || format == AV_PIX_FMT_NONE || frame.isEmpty())
        return;
    const spa_data &plane = buffer->datas[0];
    if (!plane.data || !plane.chunk || plane.chunk->size == 0 || plane.maxsize == 0 ||
        (plane.chunk->flags & SPA_CHUNK_FLAG_CORRUPTED))
        return;
    // When the compositor took the picture, when it says: the way here through PipeWire and
    // the conversion below do not make the picture later than its sound.
    qint64 takenUs = 0;
    if (!PipeWireConnection::pictureTimeUs(buffer, &takenUs))
        return;
    const int stride = plane.chunk->stride > 0 ? plane.chunk->stride : frame.width() * 4;
    const QRect crop = PipeWireSource::cropInFrame(frame, monitor, rect);
    const qint64 offset = plane.chunk->offset % plane.maxsize;
    // The last byte the crop reads lies within the picture and the buffer.
    const qint64 needed = qint64(crop.bottom()) * stride + qint64(crop.right() + 1) * 4;
    if (crop.isEmpty() || needed > qint64(plane.chunk->size) ||
        offset + needed > qint64(plane.maxsize)) {
        return;
    }
    sws = sws_getCachedContext(
        sws, crop.width(), crop.height(), format, rect.width(), rect.height(), AV_PIX_FMT_BGR0,
        crop.size() == rect.size() ? SWS_POINT : SWS_BICUBIC, nullptr, nullptr, nullptr);
    ScenePictureSource::Canvas canvas = scene.newCanvas();
    if (!sws || !canvas.packet)
        return;
    const uint8_t *base = static_cast<const uint8_t *>(plane.data) + offset;
    const uint8_t *source[4] = {base + qint64(crop.y()) * stride + qint64(crop.x()) * 4};
    const int sourceStride[4] = {stride};
    uint8_t *target[4] = {canvas.packet->data};
    const int targetStride[4] = {rect.width() * 4};
    sws_scale(sws, source, sourceStride, 0, crop.height(), target, targetStride);
    scene.push(std::move(canvas), takenUs);
    QMutexLocker lock(&mutex);
    ++delivered;
    changed.wakeAll();
}

void PipeWireSource::Impl::setFailed(const QString &why)
{
    qWarning() << "PipeWireSource:" << why;
    {
        QMutexLocker lock(&mutex);
        if (failure.isEmpty())
            failure = why;
        changed.wakeAll();
    }
    scene.interrupt();
}

PipeWireSource::PipeWireSource(int remoteFd, quint32 node, const QRect &monitor, const QRect &rect)
    : d(std::make_unique<Impl>(monitor, rect))
{
    d->fd = remoteFd;
    d->node = node;
}

PipeWireSource::~PipeWireSource()
{
    d->closing = true;
    d->connection.stop();
    if (d->stream)
        pw_stream_destroy(d->stream);
    if (d->fd >= 0)
        ::close(d->fd);
    sws_freeContext(d->sws);
}

QRect PipeWireSource::cropInFrame(const QSize &frame, const QRect &monitor, const QRect &rect)
{
    if (frame.isEmpty() || monitor.isEmpty() || rect.isEmpty() || !monitor.contains(rect))
        return QRect();
    const double sx = double(frame.width()) / monitor.width();
    const double sy = double(frame.height()) / monitor.height();
    const int left = int(std::lround((rect.left() - monitor.left()) * sx));
    const int top = int(std::lround((rect.top() - monitor.top()) * sy));
    const int right = int(std::lround((rect.right() + 1 - monitor.left()) * sx));
    const int bottom = int(std::lround((rect.bottom() + 1 - monitor.top()) * sy));
    return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1)) & QRect(QPoint(0, 0), frame);
}

bool PipeWireSource::open(QString *error)
{
    if (!d->scene.open(error))
        return false;
    if (d->fd < 0 || cropInFrame(d->monitor.size(), d->monitor, d->rect).isEmpty()) {
        *error = QStringLiteral("no stream, or the rectangle is not on its monitor");
        return false;
    }
    d->connection.setFailureHandler([this](const QString &why) { d->setFailed(why); });
    const int fd = d->fd;
    d->fd = -1;  // the connection owns it now, whatever comes of it
    if (!d->connection.connect(fd, error))
        return false;
    int ret = -1;
    {
        PipeWireConnection::Lock lock(d->connection);
        d->stream =
            pw_stream_new(d->connection.core(), "lumora-screen",
                          pw_properties_new(PW_KEY_MEDIA_TYPE, "Video", PW_KEY_MEDIA_CATEGORY,
                                            "Capture", PW_KEY_MEDIA_ROLE, "Screen", nullptr));
        if (d->stream) {
            pw_stream_add_listener(d->stream, &d->streamListener, &kStreamEvents, d.get());
            uint8_t buffer[1024];
            spa_pod_builder builder;
            spa_pod_builder_init(&builder, buffer, sizeof(buffer));
            const spa_rectangle defaultSize{uint32_t(d->monitor.width()),
                                            uint32_t(d->monitor.height())};
            const spa_rectangle minSize{1, 1};
            const spa_rectangle maxSize{16384, 16384};
            const spa_fraction rate{30, 1};
            const spa_fraction noRate{0, 1};
            const spa_fraction leastRate{1, 1};
            const spa_fraction mostRate{360, 1};
            const spa_pod *params[1];
            params[0] = static_cast<const spa_pod *>(spa_pod_builder_add_object(
                &builder, SPA_TYPE_OBJECT_Format, SPA_PARAM_EnumFormat, SPA_FORMAT_mediaType,
                SPA_POD_Id(SPA_MEDIA_TYPE_video), SPA_FORMAT_mediaSubtype,
                SPA_POD_Id(SPA_MEDIA_SUBTYPE_raw), SPA_FORMAT_VIDEO_format,
                SPA_POD_CHOICE_ENUM_Id(5, SPA_VIDEO_FORMAT_BGRx, SPA_VIDEO_FORMAT_BGRx,
                                       SPA_VIDEO_FORMAT_BGRA, SPA_VIDEO_FORMAT_RGBx,
                                       SPA_VIDEO_FORMAT_RGBA),
                SPA_FORMAT_VIDEO_size,
                SPA_POD_CHOICE_RANGE_Rectangle(&defaultSize, &minSize, &maxSize),
                SPA_FORMAT_VIDEO_framerate,
                SPA_POD_CHOICE_RANGE_Fraction(&noRate, &noRate, &mostRate),
                SPA_FORMAT_VIDEO_maxFramerate,
                SPA_POD_CHOICE_RANGE_Fraction(&rate, &leastRate, &rate)));
            ret = pw_stream_connect(d->stream, PW_DIRECTION_INPUT, d->node,
                                    static_cast<pw_stream_flags>(PW_STREAM_FLAG_AUTOCONNECT |
                                                                 PW_STREAM_FLAG_MAP_BUFFERS),
                                    params, 1);
        }
    }
    if (ret < 0) {
        *error = QStringLiteral("cannot connect to the PipeWire stream %1: %2")
                     .arg(d->node)
                     .arg(QString::fromUtf8(spa_strerror(ret)));
        return false;
    }
    // The compositor sends the screen as it is once the stream runs.
    QMutexLocker lock(&d->mutex);
    QDeadlineTimer deadline(kFirstPictureWaitMs);
    while (d->delivered.load() == 0 && d->failure.isEmpty()) {
        if (!d->changed.wait(&d->mutex, deadline))
            break;
    }
    if (d->delivered.load() > 0)
        return true;
    *error = d->failure.isEmpty()
                 ? QStringLiteral("no picture from the PipeWire stream %1 within %2 ms")
                       .arg(d->node)
                       .arg(kFirstPictureWaitMs)
                 : d->failure;
    return false;
}

const AVCodecParameters *PipeWireSource::parameters() const
{
    return d->scene.parameters();
}

PictureSource::Read PipeWireSource::read(AVPacket *packet, qint64 *captureUs, int timeoutMs)
{
    return d->scene.read(packet, captureUs, timeoutMs);
}

void PipeWireSource::interrupt()
{
    d->scene.interrupt();
}

qint64 PipeWireSource::deliveredCount() const
{
    return d->delivered.load();
}
