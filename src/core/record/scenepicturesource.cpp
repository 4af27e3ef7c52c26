#include "core/record/scenepicturesource.h"

#include <QDeadlineTimer>

#include <algorithm>
#include <cstring>

ScenePictureSource::ScenePictureSource(const QSize &size) : m_size(size), m_picture(size)
{
    m_parameters = avcodec_parameters_alloc();
    if (m_parameters)
        m_picture.describe(m_parameters);
    m_pool = av_buffer_pool_init(size_t(size.width()) * size_t(size.height()) * 4, av_buffer_alloc);
}

ScenePictureSource::~ScenePictureSource()
{
    {
        QMutexLocker lock(&m_mutex);
        m_waiting.reset();
    }
    m_converted.reset();
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
    m_waitingIsYuv = false;
    m_waitingUs = captureUs;
    ++m_pushed;
    m_arrived.wakeAll();
}

bool ScenePictureSource::pushRows(const QImage &picture, int top, int bottom, qint64 captureUs)
{
    if (picture.size() != m_size || picture.format() != QImage::Format_RGB32)
        return false;
    if (!m_rowsPushed) {
        top = 0;
        bottom = m_size.height();
    }
    ffmpeg::PacketPtr packet = ffmpeg::makePacket();
    if (!packet)
        return false;
    {
        // A picture still waiting is replaced by this one, which shows its rows as well: let
        // it go first, so that its buffer can take the change without a copy.
        QMutexLocker lock(&m_mutex);
        m_waiting.reset();
    }
    if (!m_picture.convertRows(picture.constBits(), picture.bytesPerLine(), top, bottom) ||
        !m_picture.takeReference(packet.get()))
        return false;
    m_rowsPushed = true;
    packet->pts = packet->dts = captureUs;
    QMutexLocker lock(&m_mutex);
    m_waiting = std::move(packet);
    m_waitingIsYuv = true;
    m_waitingUs = captureUs;
    ++m_pushed;
    m_arrived.wakeAll();
    return true;
}

qint64 ScenePictureSource::pushedCount() const
{
    QMutexLocker lock(&m_mutex);
    return m_pushed;
}

bool ScenePictureSource::open(QString *error)
{
    if (!m_parameters || !m_pool || !m_picture.isValid()) {
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
    ffmpeg::PacketPtr drawn = std::move(m_waiting);
    *captureUs = m_waitingUs;
    if (m_waitingIsYuv) {
        av_packet_unref(packet);
        av_packet_move_ref(packet, drawn.get());
        return Read::Picture;
    }
    lock.unlock();
    // Only the rows that differ from the picture before are converted.
    const qsizetype stride = qsizetype(m_size.width()) * 4;
    const int height = m_size.height();
    const uint8_t *now = drawn->data;
    const uint8_t *before = m_converted ? m_converted->data : nullptr;
    for (int row = 0; row < height;) {
        if (before && std::memcmp(now + row * stride, before + row * stride, size_t(stride)) == 0) {
            ++row;
            continue;
        }
        int end = row + 1;
        while (end < height && (!before || std::memcmp(now + end * stride, before + end * stride,
                                                       size_t(stride)) != 0))
            ++end;
        if (!m_picture.convertRows(now, stride, row, end))
            return Read::Ended;
        row = end;
    }
    m_converted = std::move(drawn);
    if (!m_picture.takeReference(packet))
        return Read::Ended;
    packet->pts = packet->dts = *captureUs;
    return Read::Picture;
}

void ScenePictureSource::interrupt()
{
    QMutexLocker lock(&m_mutex);
    m_interrupted = true;
    m_arrived.wakeAll();
}
