#pragma once
// X11DamageSource: the change-driven picture source of screen recording on an X server. The
// X Damage extension tells which areas of the screen were drawn, XFixes gives the pointer's
// image, and MIT-SHM copies only the changed rows of the recorded rectangle into the kept
// picture, of which only those rows are converted (YuvPicture). The pointer is drawn into the
// picture where it is over the rectangle. A picture is delivered when something in the
// rectangle changed or the pointer moved over it, at most one per PictureCadence's least
// spacing; the recorder does the rest (PictureCadence).
//
// open() fails, with the reason, when the display lacks one of the three extensions (or shared
// memory with it, as over a network): the recorder then falls back to X11GrabSource.
// Threads as PictureSource says; the X connection is the source's own.
#include "core/record/picturecadence.h"
#include "core/record/picturesource.h"
#include "core/record/yuvpicture.h"

#include <QRect>

#include <atomic>
#include <memory>
#include <utility>
#include <vector>

struct xcb_connection_t;

class X11DamageSource : public PictureSource
{
public:
    // `rect` in the X server's pixels; width and height even.
    explicit X11DamageSource(const QRect &rect);
    ~X11DamageSource() override;
    X11DamageSource(const X11DamageSource &) = delete;
    X11DamageSource &operator=(const X11DamageSource &) = delete;

    bool open(QString *error) override;
    const AVCodecParameters *parameters() const override { return m_parameters; }
    AVRational timeBase() const override { return AVRational{1, 1000000}; }
    bool isChangeDriven() const override { return true; }
    Read read(AVPacket *packet, qint64 *captureUs, int timeoutMs) override;
    void interrupt() override { m_interrupted = true; }

private:
    struct Pointer
    {
        QRect box;  // where its image lies, in the rectangle's pixels; empty: not over it
        std::vector<uint32_t> image;  // premultiplied ARGB, box's size
        int width = 0;
        int height = 0;
        int hotX = 0;
        int hotY = 0;
    };
    void close();
    void takeEvents();
    void markRows(int top, int bottom);
    bool fetchPointerImage();
    void pollPointer();
    bool makePicture();
    // The runs of changed rows, [top, bottom) each, top to bottom.
    std::vector<std::pair<int, int>> dirtyBands() const;
    bool grabRows(int top, int bottom);
    const uint8_t *pointerRows(int row);

    QRect m_rect;
    AVCodecParameters *m_parameters = nullptr;  // owned
    std::unique_ptr<YuvPicture> m_picture;
    xcb_connection_t *m_connection = nullptr;
    uint32_t m_root = 0;
    uint32_t m_damage = 0;
    uint32_t m_segment = 0;
    uint8_t *m_screen = nullptr;       // shared memory: the rectangle as last read, BGR0 rows
    int m_damageEvent = 0;             // first event code of the Damage extension
    int m_fixesEvent = 0;              // of XFixes
    std::vector<uint8_t> m_dirtyRows;  // rows of the rectangle drawn since the last picture
    bool m_dirty = false;
    Pointer m_pointer;
    QRect m_shownPointerBox;  // where the pointer is in the kept picture
    int m_pointerX = -1000000;
    int m_pointerY = -1000000;
    bool m_pointerChanged = false;
    bool m_pointerImageChanged = true;
    std::vector<uint8_t> m_pointerRows;  // the rows under the pointer, pointer drawn in
    int m_pointerRowsTop = 0;
    qint64 m_nextPointerPollUs = 0;
    // When the next picture may be read: one spacing after the moment the last one was due,
    // not after the read woke (a wake-up a millisecond late would otherwise delay every picture
    // after it, and a screen changing 30 times a second would lose one every few dozen).
    PictureCadence m_spacing;
    bool m_firstPicture = true;
    std::atomic<bool> m_interrupted{false};
};
