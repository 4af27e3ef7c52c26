#include "core/record/yuvpicture.h"

#include <algorithm>
#include <cstring>

YuvPicture::YuvPicture(const QSize &size) : m_size(size)
{
    if (size.width() <= 0 || size.height() <= 0 || size.width() % 2 || size.height() % 2)
        return;
    m_bytes = size.width() * size.height() * 3 / 2;
    m_pool = av_buffer_pool_init(size_t(m_bytes), av_buffer_alloc);
    m_kept = m_pool ? av_buffer_pool_get(m_pool) : nullptr;
    if (!m_kept)
        return;
    const int luma = size.width() * size.height();
    std::memset(m_kept->data, 16, size_t(luma));
    std::memset(m_kept->data + luma, 128, size_t(m_bytes - luma));
}

YuvPicture::~YuvPicture()
{
    av_buffer_unref(&m_kept);
    for (Spare &spare : m_spares)
        av_buffer_unref(&spare.buffer);
    av_buffer_pool_uninit(&m_pool);
}

void YuvPicture::describe(AVCodecParameters *parameters) const
{
    parameters->codec_type = AVMEDIA_TYPE_VIDEO;
    parameters->codec_id = AV_CODEC_ID_RAWVIDEO;
    parameters->format = AV_PIX_FMT_YUV420P;
    parameters->width = m_size.width();
    parameters->height = m_size.height();
    parameters->sample_aspect_ratio = AVRational{1, 1};
}

void YuvPicture::copyRows(uint8_t *to, int top, int bottom) const
{
    const qsizetype width = m_size.width();
    const qsizetype luma = width * m_size.height();
    const qsizetype chroma = (width / 2) * (m_size.height() / 2);
    const uint8_t *from = m_kept->data;
    std::memcpy(to + top * width, from + top * width, size_t((bottom - top) * width));
    for (qsizetype plane = luma; plane < luma + 2 * chroma; plane += chroma)
        std::memcpy(to + plane + (top / 2) * (width / 2), from + plane + (top / 2) * (width / 2),
                    size_t((bottom - top) / 2 * (width / 2)));
}

bool YuvPicture::makeWritable()
{
    if (!m_kept)
        return false;
    if (av_buffer_is_writable(m_kept))
        return true;
    // The recorder holds the kept picture. Take the spare it gave back that is the most up to
    // date, and copy into it only what changed since it was kept.
    Spare *best = nullptr;
    for (Spare &spare : m_spares)
        if (spare.buffer && av_buffer_is_writable(spare.buffer) &&
            (!best || spare.shows > best->shows))
            best = &spare;
    AVBufferRef *next = nullptr;
    if (best && m_changes - best->shows < quint64(kHistory)) {
        next = best->buffer;
        best->buffer = nullptr;
        for (const Change &change : m_history)
            if (change.number > best->shows && change.number <= m_changes)
                copyRows(next->data, change.top, change.bottom);
    } else {
        next = av_buffer_pool_get(m_pool);
        if (!next)
            return false;
        std::memcpy(next->data, m_kept->data, size_t(m_bytes));
    }
    // The kept buffer becomes a spare (replacing the one used, or the oldest).
    Spare *slot = best;
    for (Spare &spare : m_spares)
        if (!slot || !spare.buffer || (slot->buffer && spare.shows < slot->shows))
            slot = &spare;
    av_buffer_unref(&slot->buffer);
    slot->buffer = m_kept;
    slot->shows = m_changes;
    m_kept = next;
    return true;
}

void YuvPicture::convertPair(const uint8_t *row0, const uint8_t *row1, int width, uint8_t *y0,
                             uint8_t *y1, uint8_t *u, uint8_t *v)
{
    // Integer BT.601 with 8 bits of fraction; chroma from the sums of four pixels (10 bits).
    for (int x = 0; x < width / 2; ++x) {
        const uint8_t *a = row0 + 8 * x;
        const uint8_t *b = row1 + 8 * x;
        const int b0 = a[0], g0 = a[1], r0 = a[2];
        const int b1 = a[4], g1 = a[5], r1 = a[6];
        const int b2 = b[0], g2 = b[1], r2 = b[2];
        const int b3 = b[4], g3 = b[5], r3 = b[6];
        y0[2 * x] = uint8_t(((66 * r0 + 129 * g0 + 25 * b0 + 128) >> 8) + 16);
        y0[2 * x + 1] = uint8_t(((66 * r1 + 129 * g1 + 25 * b1 + 128) >> 8) + 16);
        y1[2 * x] = uint8_t(((66 * r2 + 129 * g2 + 25 * b2 + 128) >> 8) + 16);
        y1[2 * x + 1] = uint8_t(((66 * r3 + 129 * g3 + 25 * b3 + 128) >> 8) + 16);
        const int r = r0 + r1 + r2 + r3;
        const int g = g0 + g1 + g2 + g3;
        const int bl = b0 + b1 + b2 + b3;
        u[x] = uint8_t(((-38 * r - 74 * g + 112 * bl + 512) >> 10) + 128);
        v[x] = uint8_t(((112 * r - 94 * g - 18 * bl + 512) >> 10) + 128);
    }
}

bool YuvPicture::convertRows(const uint8_t *bgr0, qsizetype stride, int top, int bottom,
                             RowSource rowSource, void *context)
{
    top = std::max(0, top & ~1);
    bottom = std::min(m_size.height(), (bottom + 1) & ~1);
    if (top >= bottom)
        return true;
    if (!makeWritable())
        return false;
    ++m_changes;
    m_history[m_changes % kHistory] = Change{m_changes, top, bottom};
    const int width = m_size.width();
    uint8_t *luma = m_kept->data;
    uint8_t *cb = luma + width * m_size.height();
    uint8_t *cr = cb + (width / 2) * (m_size.height() / 2);
    for (int row = top; row < bottom; row += 2) {
        const uint8_t *first = rowSource ? rowSource(context, row) : nullptr;
        const uint8_t *second = first ? first + stride : nullptr;
        if (!first) {
            first = bgr0 + qsizetype(row) * stride;
            second = first + stride;
        }
        convertPair(first, second, width, luma + qsizetype(row) * width,
                    luma + qsizetype(row + 1) * width, cb + qsizetype(row / 2) * (width / 2),
                    cr + qsizetype(row / 2) * (width / 2));
    }
    return true;
}

bool YuvPicture::takeReference(AVPacket *packet) const
{
    if (!m_kept)
        return false;
    av_packet_unref(packet);
    packet->buf = av_buffer_ref(m_kept);
    if (!packet->buf)
        return false;
    packet->data = packet->buf->data;
    packet->size = m_bytes;
    packet->flags |= AV_PKT_FLAG_KEY;
    return true;
}
