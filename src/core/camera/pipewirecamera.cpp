#include "core/camera/pipewirecamera.h"

#include "core/camera/camerafeedbase.h"
#include "core/camera/pipewirepictures.h"
#include "core/record/pipewireconnection.h"

#include <spa/param/video/format-utils.h>
#include <spa/utils/result.h>

extern "C" {
#include <libavutil/pixdesc.h>
}

#include <QCoreApplication>
#include <QDebug>
#include <QRegularExpression>

#include <atomic>
#include <cstring>

namespace {
constexpr int kServerWaitMs = 3000;
constexpr int kFirstPictureWaitMs = 3000;

QString property(const spa_dict *props, const char *key)
{
    const char *value = props ? spa_dict_lookup(props, key) : nullptr;
    return value ? QString::fromUtf8(value) : QString();
}

// A node that shows a camera: a video source that is not a desktop's screen cast (those are
// video sources too, and are told apart by their role or their name).
bool isCamera(const spa_dict *props, CameraInfo *camera)
{
    if (property(props, PW_KEY_MEDIA_CLASS) != QLatin1String("Video/Source"))
        return false;
    if (property(props, PW_KEY_MEDIA_ROLE).compare(QLatin1String("Screen"), Qt::CaseInsensitive) ==
        0)
        return false;
    static const QRegularExpression screenCast(QStringLiteral("screen[-_ ]?cast|xdpw"),
                                               QRegularExpression::CaseInsensitiveOption);
    const QString name = property(props, PW_KEY_NODE_NAME);
    if (name.isEmpty() || name.contains(screenCast) ||
        property(props, PW_KEY_MEDIA_NAME).contains(screenCast))
        return false;
    camera->kind = CameraInfo::Kind::PipeWire;
    camera->id = name;
    camera->name = property(props, PW_KEY_NODE_DESCRIPTION);
    if (camera->name.isEmpty())
        camera->name = property(props, PW_KEY_NODE_NICK);
    if (camera->name.isEmpty())
        camera->name = name;
    return true;
}

// What PipeWire said when the camera could not be opened, in the program's language where it
// is one of the usual reasons.
QString describeStreamError(const QString &error)
{
    if (error.contains(QLatin1String("busy"), Qt::CaseInsensitive))
        return QCoreApplication::translate("CameraFeed", "摄像头正被其他程序使用。");
    if (error.contains(QLatin1String("no target"), Qt::CaseInsensitive) ||
        error.contains(QLatin1String("not found"), Qt::CaseInsensitive))
        return QCoreApplication::translate("CameraFeed", "找不到这个摄像头。");
    return error;
}

class PipeWireCameraFeed final : public CameraFeedBase
{
public:
    PipeWireCameraFeed() : m_connection("lumora-camera") {}
    ~PipeWireCameraFeed() override
    {
        m_connection.stop();
        if (m_stream)
            pw_stream_destroy(m_stream);
        if (m_registry)
            pw_proxy_destroy(reinterpret_cast<pw_proxy *>(m_registry));
    }
    PipeWireCameraFeed(const PipeWireCameraFeed &) = delete;
    PipeWireCameraFeed &operator=(const PipeWireCameraFeed &) = delete;

    bool start(const CameraInfo &camera, QString *error);

private:
    static void onGlobal(void *data, uint32_t id, uint32_t, const char *type, uint32_t,
                         const spa_dict *props);
    static void onGlobalRemove(void *data, uint32_t id);
    static void onStateChanged(void *data, pw_stream_state old, pw_stream_state state,
                               const char *error);
    static void onParamChanged(void *data, uint32_t id, const spa_pod *param);
    static void onProcess(void *data);
    void take(pw_buffer *buffer);
    void endStream(const QString &why);

    PipeWireConnection m_connection;
    QByteArray m_nodeName;
    pw_registry *m_registry = nullptr;
    pw_stream *m_stream = nullptr;
    spa_hook m_registryListener{};
    spa_hook m_streamListener{};

    // The loop's thread (or its lock) only.
    uint32_t m_nodeId = SPA_ID_INVALID;
    bool m_mjpeg = false;
    AVPixelFormat m_format = AV_PIX_FMT_NONE;
    AVColorRange m_range = AVCOL_RANGE_UNSPECIFIED;
    int m_width = 0;
    int m_height = 0;
    ffmpeg::CodecContextPtr m_decoder;
    ffmpeg::PacketPtr m_packet = ffmpeg::makePacket();
};

void PipeWireCameraFeed::onGlobal(void *data, uint32_t id, uint32_t, const char *type, uint32_t,
                                  const spa_dict *props)
{
    auto *self = static_cast<PipeWireCameraFeed *>(data);
    CameraInfo camera;
    if (std::strcmp(type, PW_TYPE_INTERFACE_Node) == 0 && isCamera(props, &camera) &&
        camera.id.toUtf8() == self->m_nodeName)
        self->m_nodeId = id;
}

void PipeWireCameraFeed::onGlobalRemove(void *data, uint32_t id)
{
    auto *self = static_cast<PipeWireCameraFeed *>(data);
    if (id == self->m_nodeId && self->m_nodeId != SPA_ID_INVALID) {
        qInfo() << "CameraFeed: the node" << self->m_nodeName << "was removed";
        self->end(disconnectedText());
    }
}

void PipeWireCameraFeed::onStateChanged(void *data, pw_stream_state old, pw_stream_state state,
                                        const char *error)
{
    auto *self = static_cast<PipeWireCameraFeed *>(data);
    qInfo() << "CameraFeed:" << self->m_nodeName << pw_stream_state_as_string(old) << "->"
            << pw_stream_state_as_string(state) << (error ? error : "");
    // A stream that ran and pauses lost its link: the camera's node went away.
    if (state == PW_STREAM_STATE_ERROR ||
        (state == PW_STREAM_STATE_UNCONNECTED && old != PW_STREAM_STATE_UNCONNECTED) ||
        (old == PW_STREAM_STATE_STREAMING && state == PW_STREAM_STATE_PAUSED))
        self->endStream(QString::fromUtf8(error ? error : ""));
}

void PipeWireCameraFeed::endStream(const QString &why)
{
    if (newestNumber() == 0 && !why.isEmpty())
        end(cannotOpenText(describeStreamError(why)));
    else
        end(disconnectedText());
}

void PipeWireCameraFeed::onParamChanged(void *data, uint32_t id, const spa_pod *param)
{
    auto *self = static_cast<PipeWireCameraFeed *>(data);
    if (!param || id != SPA_PARAM_Format)
        return;
    uint32_t mediaType = 0, mediaSubtype = 0;
    if (spa_format_parse(param, &mediaType, &mediaSubtype) < 0 || mediaType != SPA_MEDIA_TYPE_video)
        return;
    self->m_format = AV_PIX_FMT_NONE;
    self->m_decoder.reset();
    spa_rectangle size{};
    if (mediaSubtype == SPA_MEDIA_SUBTYPE_raw) {
        spa_video_info_raw info{};
        if (spa_format_video_raw_parse(param, &info) < 0)
            return;
        self->m_format = PipeWirePictures::pixelFormatOf(info.format);
        self->m_range = info.color_range == SPA_VIDEO_COLOR_RANGE_0_255 ? AVCOL_RANGE_JPEG
                        : info.color_range == SPA_VIDEO_COLOR_RANGE_16_235
                            ? AVCOL_RANGE_MPEG
                            : AVCOL_RANGE_UNSPECIFIED;
        size = info.size;
        self->m_mjpeg = false;
    } else if (mediaSubtype == SPA_MEDIA_SUBTYPE_mjpg) {
        spa_video_info_mjpg info{};
        if (spa_format_video_mjpg_parse(param, &info) < 0)
            return;
        const AVCodec *codec = avcodec_find_decoder(AV_CODEC_ID_MJPEG);
        self->m_decoder = ffmpeg::makeCodecContext(codec);
        if (!self->m_decoder)
            return;
        // One thread: each picture comes out as its packet goes in.
        self->m_decoder->thread_count = 1;
        const int ret = avcodec_open2(self->m_decoder.get(), codec, nullptr);
        if (ret < 0) {
            qWarning().noquote() << "CameraFeed: no MJPEG decoder:" << ffmpeg::errorText(ret);
            self->m_decoder.reset();
            return;
        }
        size = info.size;
        self->m_mjpeg = true;
    } else {
        return;
    }
    self->m_width = int(size.width);
    self->m_height = int(size.height);
    qInfo() << "CameraFeed:" << self->m_nodeName
            << (self->m_mjpeg ? "MJPEG" : av_get_pix_fmt_name(self->m_format)) << self->m_width
            << "x" << self->m_height;

    PipeWireConnection::askForMappableBuffersWithTimes(self->m_stream);
}

void PipeWireCameraFeed::onProcess(void *data)
{
    auto *self = static_cast<PipeWireCameraFeed *>(data);
    // Only the newest picture counts.
    pw_buffer *newest = nullptr;
    while (pw_buffer *next = pw_stream_dequeue_buffer(self->m_stream)) {
        if (newest)
            pw_stream_queue_buffer(self->m_stream, newest);
        newest = next;
    }
    if (newest)
        self->take(newest);
}

void PipeWireCameraFeed::take(pw_buffer *buffer)
{
    // The picture is copied out first and the buffer goes straight back to the camera.
    const spa_buffer *b = buffer->buffer;
    qint64 takenUs = 0;
    ffmpeg::FramePtr picture;
    if (b && PipeWireConnection::pictureTimeUs(b, &takenUs) && m_width > 0 && m_height > 0) {
        if (m_mjpeg && m_decoder) {
            const spa_data &block = b->datas[0];
            const qint64 offset =
                block.chunk && block.maxsize ? block.chunk->offset % block.maxsize : 0;
            const bool whole = b->n_datas >= 1 && block.data && block.chunk &&
                               block.chunk->size > 0 &&
                               !(block.chunk->flags & SPA_CHUNK_FLAG_CORRUPTED) &&
                               offset + qint64(block.chunk->size) <= qint64(block.maxsize);
            if (whole && m_packet && av_new_packet(m_packet.get(), int(block.chunk->size)) == 0)
                std::memcpy(m_packet->data, static_cast<const uint8_t *>(block.data) + offset,
                            block.chunk->size);
        } else if (m_format != AV_PIX_FMT_NONE) {
            picture = PipeWirePictures::copyRaw(b, m_format, m_width, m_height);
        }
    }
    pw_stream_queue_buffer(m_stream, buffer);
    if (m_mjpeg && m_decoder && m_packet && m_packet->size > 0) {
        picture = decodeOne(m_decoder.get(), m_packet.get());
        av_packet_unref(m_packet.get());
    } else if (picture) {
        picture->color_range = m_range;
    }
    if (picture)
        deliver(std::move(picture), takenUs);
}

bool PipeWireCameraFeed::start(const CameraInfo &camera, QString *error)
{
    m_nodeName = camera.id.toUtf8();
    m_connection.setFailureHandler([this](const QString &) {
        end(QCoreApplication::translate("CameraFeed", "与 PipeWire 服务的连接已断开。"));
    });
    QString why;
    if (!m_connection.connect(-1, &why)) {
        qWarning().noquote() << "CameraFeed:" << why;
        *error = cannotOpenText(QCoreApplication::translate("CameraFeed", "没有 PipeWire 服务。"));
        return false;
    }
    static const pw_registry_events registryEvents = []() {
        pw_registry_events events{};
        events.version = PW_VERSION_REGISTRY_EVENTS;
        events.global = onGlobal;
        events.global_remove = onGlobalRemove;
        return events;
    }();
    static const pw_stream_events streamEvents = []() {
        pw_stream_events events{};
        events.version = PW_VERSION_STREAM_EVENTS;
        events.state_changed = onStateChanged;
        events.param_changed = onParamChanged;
        events.process = onProcess;
        return events;
    }();
    int ret = 0;
    {
        PipeWireConnection::Lock lock(m_connection);
        m_registry = pw_core_get_registry(m_connection.core(), PW_VERSION_REGISTRY, 0);
        if (m_registry)
            pw_registry_add_listener(m_registry, &m_registryListener, &registryEvents, this);
        // The camera is linked only when it is there, and never to another one in its place.
        if (!m_registry || !m_connection.sync(kServerWaitMs) || m_nodeId == SPA_ID_INVALID) {
            *error = m_connection.hasFailed()
                         ? cannotOpenText(
                               QCoreApplication::translate("CameraFeed", "没有 PipeWire 服务。"))
                         : cannotOpenText(describeStreamError(QStringLiteral("not found")));
            return false;
        }
        m_stream = pw_stream_new(
            m_connection.core(), "lumora-camera",
            pw_properties_new(PW_KEY_MEDIA_TYPE, "Video", PW_KEY_MEDIA_CATEGORY, "Capture",
                              PW_KEY_MEDIA_ROLE, "Camera", PW_KEY_TARGET_OBJECT,
                              m_nodeName.constData(), PW_KEY_NODE_DONT_RECONNECT, "true", nullptr));
        if (!m_stream) {
            *error = cannotOpenText(QString::fromLocal8Bit(std::strerror(errno)));
            return false;
        }
        pw_stream_add_listener(m_stream, &m_streamListener, &streamEvents, this);
        // Preferred first: 1280x720 as MJPEG, then raw, then any size of either.
        uint8_t buffer[4096];
        spa_pod_builder builder;
        spa_pod_builder_init(&builder, buffer, sizeof(buffer));
        const spa_rectangle preferred{1280, 720};
        const spa_pod *params[4] = {PipeWirePictures::formatParam(&builder, true, &preferred),
                                    PipeWirePictures::formatParam(&builder, false, &preferred),
                                    PipeWirePictures::formatParam(&builder, true, nullptr),
                                    PipeWirePictures::formatParam(&builder, false, nullptr)};
        ret = pw_stream_connect(
            m_stream, PW_DIRECTION_INPUT, PW_ID_ANY,
            static_cast<pw_stream_flags>(PW_STREAM_FLAG_AUTOCONNECT | PW_STREAM_FLAG_MAP_BUFFERS),
            params, 4);
    }
    if (ret < 0) {
        *error = cannotOpenText(QString::fromUtf8(spa_strerror(ret)));
        return false;
    }
    return waitForFirstPicture(kFirstPictureWaitMs, error);
}

void onFoundGlobal(void *data, uint32_t, uint32_t, const char *type, uint32_t,
                   const spa_dict *props)
{
    CameraInfo camera;
    if (std::strcmp(type, PW_TYPE_INTERFACE_Node) == 0 && isCamera(props, &camera))
        static_cast<QList<CameraInfo> *>(data)->append(camera);
}
}  // namespace

bool PipeWireCamera::find(QList<CameraInfo> *cameras)
{
    PipeWireConnection connection("lumora-cameras");
    QString why;
    if (!connection.connect(-1, &why)) {
        qInfo().noquote() << "CameraFeed:" << why;
        return false;
    }
    static const pw_registry_events events = []() {
        pw_registry_events e{};
        e.version = PW_VERSION_REGISTRY_EVENTS;
        e.global = onFoundGlobal;
        return e;
    }();
    QList<CameraInfo> found;
    bool answered = false;
    {
        PipeWireConnection::Lock lock(connection);
        pw_registry *registry = pw_core_get_registry(connection.core(), PW_VERSION_REGISTRY, 0);
        spa_hook listener{};
        if (registry) {
            pw_registry_add_listener(registry, &listener, &events, &found);
            answered = connection.sync(kServerWaitMs);
            spa_hook_remove(&listener);
            pw_proxy_destroy(reinterpret_cast<pw_proxy *>(registry));
        }
    }
    if (!answered)
        return false;
    *cameras = found;
    return true;
}

std::shared_ptr<CameraFeed> PipeWireCamera::open(const CameraInfo &camera, QString *error)
{
    return CameraFeedBase::startFeed<PipeWireCameraFeed>(camera, error);
}
