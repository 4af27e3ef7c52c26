#include "core/record/scenepicturesource.h"

#include <QDeadlineTimer>

#include <algorithm>

ScenePictureSource::ScenePictureSource(const QSize &size) : m_size(size)
{
    m_parameters = avcodec_parameters_alloc();
    if (m_parameters) {
        m_parameters->codec_type = AVMEDIA_TYPE_VIDEO;
        m_parameters->codec_id = AV_CODEC_ID_RAWVIDEO;
        m_parameters->format = AV_PIX_FMT_BGR0;
        m_parameters->width = size.width();
        m_parameters->height = size.height();
        m_parameters->sample_aspect_ratio = AVRational{1, 1};
    }
    m_pool = av_buffer_pool_init(size_t(size.width()) * size_t(size.height()) * 4, av_buffer_alloc);
}

ScenePictureSource::~ScenePictureSource()
{
    {
        QMutexLocker lock(&m_mutex);
        m_waiting.reset();
    }
    avcodec_parameters_free(&m_parameters);
    // Pictures still held by the recorder return their buffers later; the pool goes with the
    // last of them.
    av_buffer_pool_uninit(&m_pool);
}

ScenePictureSource::Canvas ScenePictureSource::newCanvas()
{
    Canvas canvas;
    if (!m_pool)
        return canvas;
    ffmpeg::PacketPtr packet = ffmpeg::makePacket();
    AVBufferRef *buffer = packet ? av_buffer_pool_get(m_pool) : nullptr;
    if (!buffer)
        return canvas;
    packet->buf = buffer;
    packet->data = buffer->data;
    packet->size = m_size.width() * m_size.height() * 4;
    canvas.image = QImage(packet->data, m_size.width(), m_size.height(), m_size.width() * 4,
                          QImage::Format_RGB32);
    canvas.packet = std::move(packet);
    return canvas;
}

void ScenePictureSource::push(Canvas canvas, qint64 captureUs)
{
    if (!canvas.packet)
        return;
    canvas.image = QImage();  // no view of the memory stays behind
    canvas.packet->pts = canvas.packet->dts = captureUs;
    canvas.packet->flags |= AV_PKT_FLAG_KEY;
    QMutexLocker lock(&m_mutex);
    m_waiting = std::move(canvas.packet);
    m_waitingUs = captureUs;
    ++m_pushed;
    m_arrived.wakeAll();
}

qint64 ScenePictureSource::pushedCount() const
{
    QMutexLocker lock(&m_mutex);
    return m_pushed;
}

bool ScenePictureSource::open(QString *error)
{
    if (!m_parameters || !m_pool || m_size.width() <= 0 || m_size.height() <= 0) {
        *error = QStringLiteral("no memory for pictures of %1x%2")
                     .arg(m_size.width())
                     .arg(m_size.height());
        return false;
    }
    return true;
}

PictureSource::Read ScenePictureSource::read(AVPacket *packet, qint64 *captureUs, int timeoutMs)
{
    QMutexLocker lock(&m_mutex);
    QDeadlineTimer deadline(std::max(0, timeoutMs));
    while (!m_waiting && !m_interrupted) {
        if (!m_arrived.wait(&m_mutex, deadline))
            break;
    }
    if (m_interrupted)
        return Read::Ended;
    if (!m_waiting)
        return Read::Unchanged;
    av_packet_move_ref(packet, m_waiting.get());
    m_waiting.reset();
    *captureUs = m_waitingUs;
    return Read::Picture;
}

void ScenePictureSource::interrupt()
{
    QMutexLocker lock(&m_mutex);
    m_interrupted = true;
    m_arrived.wakeAll();
}
