#include "support/testcamera.h"

#include "core/media/ffmpeghandles.h"
#include "core/record/picturesource.h"
#include "core/record/pipewireconnection.h"

#include <spa/param/video/format-utils.h>

#include <QByteArray>
#include <QDebug>

#include <condition_variable>
#include <cstring>
#include <ctime>
#include <mutex>

namespace {
constexpr int kRate = 30;
constexpr int kWaitMs = 3000;
constexpr int kSentWaitMs = 2000;

qint64 monotonicNs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// The colour as BT.601 luma and chroma, in the limited range (raw YUY2, as cameras send it) or
// the full range (JPEG).
void toYuv(const QColor &c, bool fullRange, uint8_t *y, uint8_t *u, uint8_t *v)
{
    const double r = c.red(), g = c.green(), b = c.blue();
    const double luma = 0.299 * r + 0.587 * g + 0.114 * b;
    const double cb = -0.168736 * r - 0.331264 * g + 0.5 * b;
    const double cr = 0.5 * r - 0.418688 * g - 0.081312 * b;
    const auto clamp = [](double x) { return uint8_t(qBound(0.0, x + 0.5, 255.0)); };
    if (fullRange) {
        *y = clamp(luma);
        *u = clamp(128 + cb);
        *v = clamp(128 + cr);
    } else {
        *y = clamp(16 + luma * 219 / 255);
        *u = clamp(128 + cb * 224 / 255);
        *v = clamp(128 + cr * 224 / 255);
    }
}

// One picture of `colour` all over, as FFmpeg's MJPEG encoder makes it.
QByteArray encodeJpeg(const QColor &colour, const QSize &size)
{
    const AVCodec *codec = avcodec_find_encoder(AV_CODEC_ID_MJPEG);
    ffmpeg::CodecContextPtr encoder = ffmpeg::makeCodecContext(codec);
    ffmpeg::FramePtr picture =
        ffmpeg::makePicture(AV_PIX_FMT_YUVJ420P, size.width(), size.height());
    ffmpeg::PacketPtr packet = ffmpeg::makePacket();
    if (!encoder || !picture || !packet)
        return {};
    encoder->width = size.width();
    encoder->height = size.height();
    encoder->pix_fmt = AV_PIX_FMT_YUVJ420P;
    encoder->time_base = AVRational{1, kRate};
    if (avcodec_open2(encoder.get(), codec, nullptr) < 0)
        return {};
    uint8_t y = 0, u = 0, v = 0;
    toYuv(colour, true, &y, &u, &v);
    for (int row = 0; row < size.height(); ++row)
        std::memset(picture->data[0] + row * picture->linesize[0], y, size_t(size.width()));
    for (int row = 0; row < (size.height() + 1) / 2; ++row) {
        std::memset(picture->data[1] + row * picture->linesize[1], u, size_t(size.width() + 1) / 2);
        std::memset(picture->data[2] + row * picture->linesize[2], v, size_t(size.width() + 1) / 2);
    }
    picture->pts = 0;
    if (avcodec_send_frame(encoder.get(), picture.get()) < 0 ||
        avcodec_send_frame(encoder.get(), nullptr) < 0 ||
        avcodec_receive_packet(encoder.get(), packet.get()) < 0)
        return {};
    return QByteArray(reinterpret_cast<const char *>(packet->data), packet->size);
}
}  // namespace

struct TestCamera::Impl
{
    Impl(TestCamera::Format format, const QSize &size)
        : format(format), size(size), connection("lumora-test-camera")
    {
    }

    TestCamera::Format format;
    QSize size;
    PipeWireConnection connection;
    pw_stream *stream = nullptr;
    spa_source *timer = nullptr;
    spa_hook streamListener{};
    pw_stream_state state = PW_STREAM_STATE_UNCONNECTED;  // the loop's lock

    std::mutex mutex;
    std::condition_variable sent;  // the first picture of a new colour went out
    QColor colour;                 // mutex, as the next pictures show
    QByteArray jpeg;               // mutex: `colour` as MJPEG
    QColor sentColour;             // mutex: the colour of the last picture that went out
    qint64 firstSentUs = -1;       // mutex: when the first picture of `colour` was stamped
    quint64 sequence = 0;          // loop's thread

    // I420 rows are longer than the picture, as some drivers pad them; its planes follow
    // one another in the block, the chroma rows half as long.
    int stride() const
    {
        switch (format) {
        case TestCamera::Format::Yuy2: return size.width() * 2;
        case TestCamera::Format::I420: return size.width() + 64;
        default: return size.width() * 4;
        }
    }
    int bufferSize() const
    {
        switch (format) {
        // A JPEG of one colour is far smaller than the raw picture.
        case TestCamera::Format::Mjpeg: return size.width() * size.height() * 2;
        case TestCamera::Format::I420: return stride() * size.height() * 3 / 2;
        default: return stride() * size.height();
        }
    }
    void fill(spa_buffer *buffer);
    void setState(pw_stream_state newState);
};

void TestCamera::Impl::setState(pw_stream_state newState)
{
    state = newState;
    // The camera drives itself while someone watches.
    timespec value{}, interval{};
    if (newState == PW_STREAM_STATE_STREAMING) {
        value.tv_nsec = 1;
        interval.tv_nsec = 1000000000 / kRate;
    }
    pw_loop_update_timer(pw_thread_loop_get_loop(connection.loop()), timer, &value, &interval,
                         false);
    pw_thread_loop_signal(connection.loop(), false);
}

void TestCamera::Impl::fill(spa_buffer *buffer)
{
    spa_data &block = buffer->datas[0];
    auto *bytes = static_cast<uint8_t *>(block.data);
    if (!bytes)
        return;
    std::unique_lock<std::mutex> lock(mutex);
    const QColor shown = colour;
    quint32 used = 0;
    if (format == TestCamera::Format::Mjpeg) {
        used = quint32(qMin<qint64>(jpeg.size(), block.maxsize));
        std::memcpy(bytes, jpeg.constData(), used);
        block.chunk->stride = 0;
    } else if (format == TestCamera::Format::I420) {
        uint8_t y = 0, u = 0, v = 0;
        toYuv(shown, false, &y, &u, &v);
        const int lumaBytes = stride() * size.height();
        const int chromaBytes = stride() / 2 * size.height() / 2;
        std::memset(bytes, y, size_t(lumaBytes));
        std::memset(bytes + lumaBytes, u, size_t(chromaBytes));
        std::memset(bytes + lumaBytes + chromaBytes, v, size_t(chromaBytes));
        used = quint32(lumaBytes + 2 * chromaBytes);
        block.chunk->stride = stride();
    } else {
        uint8_t pixel[4];
        if (format == TestCamera::Format::Yuy2) {
            toYuv(shown, false, &pixel[0], &pixel[1], &pixel[3]);
            pixel[2] = pixel[0];  // Y0 U Y1 V: two pixels of one colour
        } else {
            pixel[0] = uint8_t(shown.blue());
            pixel[1] = uint8_t(shown.green());
            pixel[2] = uint8_t(shown.red());
            pixel[3] = 0xff;
        }
        const int rowBytes = stride();
        for (int x = 0; x < rowBytes; x += 4)
            std::memcpy(bytes + x, pixel, 4);
        for (int row = 1; row < size.height(); ++row)
            std::memcpy(bytes + qint64(row) * rowBytes, bytes, size_t(rowBytes));
        used = quint32(rowBytes) * quint32(size.height());
        block.chunk->stride = rowBytes;
    }
    block.chunk->offset = 0;
    block.chunk->size = used;
    const qint64 madeNs = monotonicNs();
    const qint64 madeUs = PictureSource::captureClockUs();
    if (auto *header = static_cast<spa_meta_header *>(
            spa_buffer_find_meta_data(buffer, SPA_META_Header, sizeof(spa_meta_header)))) {
        header->pts = madeNs;
        header->flags = 0;
        header->seq = sequence++;
        header->dts_offset = 0;
    }
    if (shown != sentColour) {
        sentColour = shown;
        firstSentUs = madeUs;
        sent.notify_all();
    }
}

namespace {
void onStateChanged(void *data, pw_stream_state, pw_stream_state state, const char *error)
{
    auto *d = static_cast<TestCamera::Impl *>(data);
    if (error)
        qWarning() << "TestCamera:" << pw_stream_state_as_string(state) << error;
    d->setState(state);
}

void onParamChanged(void *data, uint32_t id, const spa_pod *param)
{
    auto *d = static_cast<TestCamera::Impl *>(data);
    if (!param || id != SPA_PARAM_Format)
        return;
    const bool mjpeg = d->format == TestCamera::Format::Mjpeg;
    const int size = d->bufferSize();
    uint8_t buffer[512];
    spa_pod_builder builder;
    spa_pod_builder_init(&builder, buffer, sizeof(buffer));
    const spa_pod *params[2];
    params[0] = static_cast<const spa_pod *>(spa_pod_builder_add_object(
        &builder, SPA_TYPE_OBJECT_ParamBuffers, SPA_PARAM_Buffers, SPA_PARAM_BUFFERS_buffers,
        SPA_POD_CHOICE_RANGE_Int(4, 2, 16), SPA_PARAM_BUFFERS_blocks, SPA_POD_Int(1),
        SPA_PARAM_BUFFERS_size, SPA_POD_Int(size), SPA_PARAM_BUFFERS_stride,
        SPA_POD_Int(mjpeg ? 0 : d->stride()), SPA_PARAM_BUFFERS_dataType,
        SPA_POD_CHOICE_FLAGS_Int((1 << SPA_DATA_MemFd) | (1 << SPA_DATA_MemPtr))));
    params[1] = static_cast<const spa_pod *>(spa_pod_builder_add_object(
        &builder, SPA_TYPE_OBJECT_ParamMeta, SPA_PARAM_Meta, SPA_PARAM_META_type,
        SPA_POD_Id(SPA_META_Header), SPA_PARAM_META_size, SPA_POD_Int(sizeof(spa_meta_header))));
    pw_stream_update_params(d->stream, params, 2);
}

void onProcess(void *data)
{
    auto *d = static_cast<TestCamera::Impl *>(data);
    pw_buffer *buffer = pw_stream_dequeue_buffer(d->stream);
    if (!buffer)
        return;
    d->fill(buffer->buffer);
    pw_stream_queue_buffer(d->stream, buffer);
}

void onTimer(void *data, uint64_t)
{
    auto *d = static_cast<TestCamera::Impl *>(data);
    if (d->stream)
        pw_stream_trigger_process(d->stream);
}

const pw_stream_events kStreamEvents = []() {
    pw_stream_events events{};
    events.version = PW_VERSION_STREAM_EVENTS;
    events.state_changed = onStateChanged;
    events.param_changed = onParamChanged;
    events.process = onProcess;
    return events;
}();
}  // namespace

TestCamera::TestCamera(const QString &nodeName, Format format, const QColor &colour,
                       const QSize &size)
    : d(std::make_unique<Impl>(format, size))
{
    d->colour = colour;
    if (format == Format::Mjpeg)
        d->jpeg = encodeJpeg(colour, size);
    QString error;
    if (!d->connection.connect(-1, &error)) {
        qWarning().noquote() << "TestCamera:" << error;
        return;
    }
    const QByteArray name = nodeName.toUtf8();
    const QByteArray described = description().toUtf8();
    PipeWireConnection::Lock lock(d->connection);
    d->timer = pw_loop_add_timer(pw_thread_loop_get_loop(d->connection.loop()), onTimer, d.get());
    d->stream = pw_stream_new(
        d->connection.core(), name.constData(),
        pw_properties_new(PW_KEY_MEDIA_CLASS, "Video/Source", PW_KEY_MEDIA_TYPE, "Video",
                          PW_KEY_MEDIA_CATEGORY, "Capture", PW_KEY_MEDIA_ROLE, "Camera",
                          PW_KEY_NODE_NAME, name.constData(), PW_KEY_NODE_DESCRIPTION,
                          described.constData(), nullptr));
    if (!d->stream || !d->timer)
        return;
    pw_stream_add_listener(d->stream, &d->streamListener, &kStreamEvents, d.get());
    uint8_t buffer[1024];
    spa_pod_builder builder;
    spa_pod_builder_init(&builder, buffer, sizeof(buffer));
    const spa_rectangle pictureSize{uint32_t(size.width()), uint32_t(size.height())};
    const spa_fraction rate{kRate, 1};
    const spa_pod *param = nullptr;
    if (format == Format::Mjpeg) {
        param = static_cast<const spa_pod *>(spa_pod_builder_add_object(
            &builder, SPA_TYPE_OBJECT_Format, SPA_PARAM_EnumFormat, SPA_FORMAT_mediaType,
            SPA_POD_Id(SPA_MEDIA_TYPE_video), SPA_FORMAT_mediaSubtype,
            SPA_POD_Id(SPA_MEDIA_SUBTYPE_mjpg), SPA_FORMAT_VIDEO_size,
            SPA_POD_Rectangle(&pictureSize), SPA_FORMAT_VIDEO_framerate, SPA_POD_Fraction(&rate)));
    } else {
        const uint32_t pixels = format == Format::Yuy2   ? SPA_VIDEO_FORMAT_YUY2
                                : format == Format::I420 ? SPA_VIDEO_FORMAT_I420
                                                         : SPA_VIDEO_FORMAT_BGRx;
        param = static_cast<const spa_pod *>(spa_pod_builder_add_object(
            &builder, SPA_TYPE_OBJECT_Format, SPA_PARAM_EnumFormat, SPA_FORMAT_mediaType,
            SPA_POD_Id(SPA_MEDIA_TYPE_video), SPA_FORMAT_mediaSubtype,
            SPA_POD_Id(SPA_MEDIA_SUBTYPE_raw), SPA_FORMAT_VIDEO_format, SPA_POD_Id(pixels),
            SPA_FORMAT_VIDEO_size, SPA_POD_Rectangle(&pictureSize), SPA_FORMAT_VIDEO_framerate,
            SPA_POD_Fraction(&rate)));
    }
    if (pw_stream_connect(
            d->stream, PW_DIRECTION_OUTPUT, PW_ID_ANY,
            static_cast<pw_stream_flags>(PW_STREAM_FLAG_DRIVER | PW_STREAM_FLAG_MAP_BUFFERS),
            &param, 1) < 0)
        return;
    timespec deadline{};
    pw_thread_loop_get_time(d->connection.loop(), &deadline, qint64(kWaitMs) * SPA_NSEC_PER_MSEC);
    while (d->state != PW_STREAM_STATE_PAUSED && d->state != PW_STREAM_STATE_STREAMING &&
           d->state != PW_STREAM_STATE_ERROR) {
        if (pw_thread_loop_timed_wait_full(d->connection.loop(), &deadline) != 0)
            break;
    }
    // The node is on the server once the server answered what came before.
    d->connection.sync(kWaitMs);
}

TestCamera::~TestCamera()
{
    remove();
    d->connection.stop();
    if (d->timer)
        pw_loop_destroy_source(pw_thread_loop_get_loop(d->connection.loop()), d->timer);
}

bool TestCamera::isReady() const
{
    PipeWireConnection::Lock lock(d->connection);
    return d->stream &&
           (d->state == PW_STREAM_STATE_PAUSED || d->state == PW_STREAM_STATE_STREAMING);
}

qint64 TestCamera::setColour(const QColor &colour)
{
    const QByteArray jpeg = d->format == Format::Mjpeg ? encodeJpeg(colour, d->size) : QByteArray();
    std::unique_lock<std::mutex> lock(d->mutex);
    d->colour = colour;
    d->jpeg = jpeg;
    d->firstSentUs = -1;
    d->sentColour = QColor();  // the next picture is the first of `colour`, also when shown
    if (!d->sent.wait_for(lock, std::chrono::milliseconds(kSentWaitMs),
                          [this, colour]() { return d->sentColour == colour; }))
        return -1;
    return d->firstSentUs;
}

void TestCamera::remove()
{
    if (!d->connection.loop())
        return;
    PipeWireConnection::Lock lock(d->connection);
    if (d->timer) {
        timespec off{};
        pw_loop_update_timer(pw_thread_loop_get_loop(d->connection.loop()), d->timer, &off, &off,
                             false);
    }
    if (d->stream) {
        pw_stream_destroy(d->stream);
        d->stream = nullptr;
        d->state = PW_STREAM_STATE_UNCONNECTED;
        d->connection.sync(kWaitMs);
    }
}
