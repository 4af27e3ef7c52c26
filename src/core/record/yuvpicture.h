#pragma once
// YuvPicture: a kept picture in YUV 4:2:0, the encoder's format, brought up to date from packed
// BGR0 rows (the X server's and QImage::Format_RGB32's layout) where they changed: only the
// rows given are converted. A picture handed out is a reference to the kept memory; while the
// recorder still holds one, the next change moves to another buffer first, so what was handed
// out never changes afterwards. That buffer is one the recorder gave back, brought up to date
// by copying only the rows changed since it was the kept one, so a small change costs little
// however often it happens. Colours as FFmpeg converts a grabbed screen (BT.601, limited range),
// each chroma sample the mean of its 2x2 pixels.
//
// One thread at a time; the pictures handed out may be used and freed on any thread.
#include <QSize>
#include <QtGlobal>

#include <cstdint>

extern "C" {
#include <libavcodec/avcodec.h>
}

class YuvPicture
{
public:
    // Width and height are even. Starts black.
    explicit YuvPicture(const QSize &size);
    ~YuvPicture();
    YuvPicture(const YuvPicture &) = delete;
    YuvPicture &operator=(const YuvPicture &) = delete;

    bool isValid() const { return m_kept != nullptr; }
    QSize size() const { return m_size; }
    // The packets' description: codec "rawvideo", AV_PIX_FMT_YUV420P, the size.
    void describe(AVCodecParameters *parameters) const;

    // Converts rows [top, bottom) of `bgr0`, whose row 0 is the picture's row 0 and whose rows
    // are `stride` bytes apart; the range is widened to whole pairs of rows. `rowSource`, when
    // given, names for a pair of rows another place to take it from (drawn over, e.g. with
    // the pointer): it returns that pair's first row or null for `bgr0`'s. False when out of
    // memory (the picture is then as before).
    using RowSource = const uint8_t *(*)(void *context, int row);
    bool convertRows(const uint8_t *bgr0, qsizetype stride, int top, int bottom,
                     RowSource rowSource = nullptr, void *context = nullptr);
    // `packet` refers to the picture as it is now (no copy). False when out of memory.
    bool takeReference(AVPacket *packet) const;

    // One pair of BGR0 rows into two luma rows and one row of each chroma plane. Public for
    // the benchmarks' and tests' use.
    static void convertPair(const uint8_t *row0, const uint8_t *row1, int width, uint8_t *y0,
                            uint8_t *y1, uint8_t *u, uint8_t *v);

private:
    bool makeWritable();
    // Copies rows [top, bottom) (an even range) of the kept picture into `to`.
    void copyRows(uint8_t *to, int top, int bottom) const;

    QSize m_size;
    int m_bytes = 0;
    AVBufferPool *m_pool = nullptr;  // owned; buffers handed out may outlive the picture
    AVBufferRef *m_kept = nullptr;

    // Each conversion is one change, numbered; the row ranges of the latest ones are kept, so
    // that a buffer which last held change N can be brought up to date by copying only the
    // rows of the changes after N.
    static constexpr int kHistory = 16;
    struct Change
    {
        quint64 number = 0;
        int top = 0, bottom = 0;
    };
    Change m_history[kHistory];
    quint64 m_changes = 0;
    // Buffers that were kept before, each with the change it shows.
    static constexpr int kSpares = 3;
    struct Spare
    {
        AVBufferRef *buffer = nullptr;
        quint64 shows = 0;
    };
    Spare m_spares[kSpares];
};
