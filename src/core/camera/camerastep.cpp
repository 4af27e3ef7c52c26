#include "core/camera/camerastep.h"

#include "core/camera/camerafeed.h"

extern "C" {
#include <libavutil/imgutils.h>
}

#include <QDebug>

#include <algorithm>
#include <chrono>
#include <cstring>

void CameraPlacement::set(const State &state)
{
    QMutexLocker lock(&m_mutex);
    m_state = state;
    ++m_version;
}

CameraPlacement::State CameraPlacement::state(qint64 *version) const
{
    QMutexLocker lock(&m_mutex);
    if (version)
        *version = m_version;
    return m_state;
}

void CameraPlacement::setFeed(std::shared_ptr<CameraFeed> feed)
{
    QMutexLocker lock(&m_mutex);
    m_feed = std::move(feed);
    ++m_version;
}

std::shared_ptr<CameraFeed> CameraPlacement::feed() const
{
    QMutexLocker lock(&m_mutex);
    return m_feed;
}

CameraStep::CameraStep(std::shared_ptr<PictureSource> source,
                       std::shared_ptr<CameraPlacement> placement)
    : m_source(std::move(source)), m_placement(std::move(placement)),
      m_cameraFrame(ffmpeg::makeFrame())
{
    if (!m_placement)
        m_placement = std::make_shared<CameraPlacement>();
}

CameraStep::~CameraStep()
{
    interrupt();
    if (m_sourceReader.joinable())
        m_sourceReader.join();
    if (m_feed && m_listener >= 0)
        m_feed->removeListener(m_listener);
    av_buffer_pool_uninit(&m_pool);
}

void CameraStep::setOnCameraLost(std::function<void(const QString &)> onLost)
{
    m_onLost = std::move(onLost);
}

bool CameraStep::open(QString *error)
{
    const AVCodecParameters *parameters = m_source->parameters();
    m_format = parameters ? AVPixelFormat(parameters->format) : AV_PIX_FMT_NONE;
    m_size = m_source->size();
    if (!parameters || parameters->codec_id != AV_CODEC_ID_RAWVIDEO ||
        !CameraOverlay::canLayOn(m_format) || m_size.isEmpty()) {
        *error = QStringLiteral("the camera cannot be laid onto pictures of format %1")
                     .arg(int(m_format));
        return false;
    }
    followFeed();
    if (m_source->isChangeDriven())
        m_sourceReader = std::thread([this]() { readSourceInThread(); });
    return true;
}

void CameraStep::interrupt()
{
    m_interrupted = true;
    m_source->interrupt();
    std::lock_guard<std::mutex> lock(m_mutex);
    m_changed.notify_all();
}

void CameraStep::readSourceInThread()
{
    ffmpeg::PacketPtr packet = ffmpeg::makePacket();
    while (packet && !m_interrupted.load()) {
        qint64 takenUs = 0;
        const Read read = m_source->read(packet.get(), &takenUs, 100);
        if (read == Read::Ended)
            break;
        if (read != Read::Picture)
            continue;
        std::lock_guard<std::mutex> lock(m_mutex);
        // A newer picture shows more than one not read yet.
        m_waiting = std::move(packet);
        m_waitingUs = takenUs;
        m_changed.notify_all();
        packet = ffmpeg::makePacket();
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    m_sourceEnded = true;
    m_changed.notify_all();
}

void CameraStep::followFeed()
{
    std::shared_ptr<CameraFeed> feed = m_placement->feed();
    if (feed == m_feed)
        return;
    if (m_feed && m_listener >= 0)
        m_feed->removeListener(m_listener);
    m_listener = -1;
    m_feed = std::move(feed);
    m_lostTold = false;
    m_usedCamera = 0;
    if (m_feed) {
        m_listener = m_feed->addListener([this]() {
            std::lock_guard<std::mutex> lock(m_mutex);
            ++m_wakes;
            m_changed.notify_all();
        });
    }
}

QRect CameraStep::shownRect(CameraPlacement::State *state)
{
    if (!m_feed || m_lostTold)
        return QRect();
    QString reason;
    if (m_feed->hasEnded(&reason)) {
        m_lostTold = true;
        qWarning() << "CameraStep: the camera stopped:" << reason;
        if (m_onLost)
            m_onLost(reason);
        return QRect();
    }
    if (!state->visible)
        return QRect();
    return state->place.rectIn(m_size, state->shape);
}

void CameraStep::layOn(AVPacket *packet, const CameraPlacement::State &state, const QRect &rect)
{
    qint64 takenUs = 0, number = 0;
    av_frame_unref(m_cameraFrame.get());
    if (!m_cameraFrame || !m_feed->newest(m_cameraFrame.get(), &takenUs, &number))
        return;
    uint8_t *planes[4] = {};
    int strides[4] = {};
    const int bytes = av_image_fill_arrays(planes, strides, packet->data, m_format, m_size.width(),
                                           m_size.height(), 1);
    if (bytes <= 0 || bytes > packet->size)
        return;
    m_overlay.lay(m_cameraFrame.get(), number, state.mirror, state.shape, rect, m_format, m_size,
                  planes, strides);
    m_usedCamera = number;
    av_frame_unref(m_cameraFrame.get());
}

bool CameraStep::deliverKept(AVPacket *packet, qint64 *captureUs, qint64 stampUs)
{
    followFeed();
    CameraPlacement::State state = m_placement->state(&m_usedVersion);
    // Every camera picture up to now is seen, laid on or not (the camera hidden, or gone).
    if (m_feed)
        m_usedCamera = std::max(m_usedCamera, m_feed->newestNumber());
    const QRect rect = shownRect(&state);
    if (rect.isEmpty()) {
        if (av_packet_ref(packet, m_kept.get()) < 0)
            return false;
    } else {
        if (!m_pool || m_poolBytes != m_kept->size) {
            av_buffer_pool_uninit(&m_pool);
            m_poolBytes = m_kept->size;
            m_pool = av_buffer_pool_init(size_t(m_poolBytes), av_buffer_alloc);
        }
        AVBufferRef *buffer = m_pool ? av_buffer_pool_get(m_pool) : nullptr;
        if (!buffer || av_packet_copy_props(packet, m_kept.get()) < 0) {
            av_buffer_unref(&buffer);
            return false;
        }
        std::memcpy(buffer->data, m_kept->data, size_t(m_kept->size));
        packet->buf = buffer;
        packet->data = buffer->data;
        packet->size = m_kept->size;
        layOn(packet, state, rect);
    }
    m_lastStampUs = std::max(stampUs, m_lastStampUs + 1);
    *captureUs = m_lastStampUs;
    return true;
}

PictureSource::Read CameraStep::read(AVPacket *packet, qint64 *captureUs, int timeoutMs)
{
    followFeed();
    if (!m_source->isChangeDriven()) {
        const Read read = m_source->read(packet, captureUs, timeoutMs);
        if (read != Read::Picture)
            return read;
        CameraPlacement::State state = m_placement->state();
        const QRect rect = shownRect(&state);
        if (!rect.isEmpty() && av_packet_make_writable(packet) >= 0)
            layOn(packet, state, rect);
        return read;
    }

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        ffmpeg::PacketPtr picture;
        qint64 takenUs = 0;
        qint64 wakes = 0;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_interrupted.load())
                return Read::Ended;
            picture = std::move(m_waiting);
            takenUs = m_waitingUs;
            if (!picture && m_sourceEnded)
                return Read::Ended;
            wakes = m_wakes;
        }
        if (picture) {
            m_kept = std::move(picture);
            return deliverKept(packet, captureUs, takenUs) ? Read::Picture : Read::Unchanged;
        }
        followFeed();
        if (m_kept) {
            // The camera moved, was turned on or off, or stopped; or it took a new picture
            // while it shows: the kept picture again, as it looks now. (The camera is asked
            // outside m_mutex: it calls its listeners holding its own lock.)
            qint64 version = 0;
            const CameraPlacement::State state = m_placement->state(&version);
            const bool ended = m_feed && !m_lostTold && m_feed->hasEnded();
            const bool fresh =
                m_feed && state.visible && !m_lostTold && m_feed->newestNumber() > m_usedCamera;
            if (version != m_usedVersion || ended || fresh) {
                qint64 stampUs = PictureSource::captureClockUs();
                if (fresh && !ended && version == m_usedVersion) {
                    qint64 number = 0;
                    av_frame_unref(m_cameraFrame.get());
                    if (m_feed->newest(m_cameraFrame.get(), &stampUs, &number))
                        av_frame_unref(m_cameraFrame.get());
                }
                return deliverKept(packet, captureUs, stampUs) ? Read::Picture : Read::Unchanged;
            }
        }
        std::unique_lock<std::mutex> lock(m_mutex);
        if (!m_changed.wait_until(lock, deadline, [&]() {
                return m_wakes != wakes || m_waiting || m_sourceEnded || m_interrupted.load();
            }))
            return Read::Unchanged;
    }
}
