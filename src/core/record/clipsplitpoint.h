#pragma once
// Where a recording goes on in its next clip. The slide show reports a new slide a moment
// before it has painted it (one or two pictures on an ordinary machine), so a split at the
// next picture would start the new slide's clip with the slide before, and deleting a slide's
// clip would leave a flash of it at the start of the next one.
//
// The split is asked for at one picture (the request picture). The pictures after it, up to
// kWatchedPictures, are compared with it on a sparse grid of pixels. The split goes to the
// first picture that changed by at least half of the largest change seen, so the drawing over
// the slides, which is gone the moment the next slide is asked for, does not decide it when the
// slide changes after it. When nothing changed by more than kLeastChange of the grid (the
// pointer moved, or the new slide was already shown) the split stays at the request picture.
//
// Pictures are packed rows of pixels of 1 to 4 bytes, as the screen grabber delivers them. A
// picture of another size than the request picture counts as unchanged. Used by one thread.
#include <QtGlobal>

#include <cstdint>
#include <vector>

class ClipSplitPoint
{
public:
    struct Picture
    {
        const uint8_t *data = nullptr;
        qsizetype size = 0;  // bytes: height rows of the same length
        int width = 0;
        int height = 0;
        int bytesPerPixel = 4;
    };

    static constexpr int kWatchedPictures = 15;
    static constexpr double kLeastChange = 0.002;  // share of the grid's pixels
    static constexpr int kGridStep = 8;            // pixels between grid points, both ways

    // Starts watching for a split asked for at the picture at `fileUs`.
    void start(qint64 fileUs, const Picture &picture);
    bool isWatching() const { return m_watching; }
    // The next picture; true once kWatchedPictures were seen and the split is decided.
    bool add(qint64 fileUs, const Picture &picture);
    // The split's file time from what was seen so far; ends the watch.
    qint64 finish();

private:
    static std::vector<uint32_t> gridOf(const Picture &picture);

    bool m_watching = false;
    qint64 m_requestUs = 0;
    std::vector<uint32_t> m_reference;
    struct Seen
    {
        qint64 fileUs;
        double changed;  // share of the grid that differs from the request picture
    };
    std::vector<Seen> m_seen;
};
