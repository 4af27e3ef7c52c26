#include "core/record/clipsplitpoint.h"

#include <algorithm>
#include <cstring>

std::vector<uint32_t> ClipSplitPoint::gridOf(const Picture &picture)
{
    std::vector<uint32_t> grid;
    if (!picture.data || picture.width <= 0 || picture.height <= 0 || picture.bytesPerPixel < 1 ||
        picture.bytesPerPixel > 4)
        return grid;
    const qsizetype stride = picture.size / picture.height;
    if (stride < qsizetype(picture.width) * picture.bytesPerPixel)
        return grid;
    grid.reserve(size_t(picture.width / kGridStep + 1) * size_t(picture.height / kGridStep + 1));
    for (int y = kGridStep / 2; y < picture.height; y += kGridStep) {
        const uint8_t *row = picture.data + y * stride;
        for (int x = kGridStep / 2; x < picture.width; x += kGridStep) {
            uint32_t pixel = 0;
            std::memcpy(&pixel, row + qsizetype(x) * picture.bytesPerPixel,
                        size_t(picture.bytesPerPixel));
            grid.push_back(pixel);
        }
    }
    return grid;
}

void ClipSplitPoint::start(qint64 fileUs, const Picture &picture)
{
    m_watching = true;
    m_requestUs = fileUs;
    m_reference = gridOf(picture);
    m_seen.clear();
}

bool ClipSplitPoint::add(qint64 fileUs, const Picture &picture)
{
    if (!m_watching)
        return false;
    const std::vector<uint32_t> grid = gridOf(picture);
    double changed = 0;
    if (!m_reference.empty() && grid.size() == m_reference.size()) {
        size_t differing = 0;
        for (size_t i = 0; i < grid.size(); ++i)
            differing += grid[i] != m_reference[i];
        changed = double(differing) / double(grid.size());
    }
    m_seen.push_back({fileUs, changed});
    return int(m_seen.size()) >= kWatchedPictures;
}

qint64 ClipSplitPoint::finish()
{
    m_watching = false;
    double largest = 0;
    for (const Seen &seen : m_seen)
        largest = std::max(largest, seen.changed);
    qint64 at = m_requestUs;
    if (largest > kLeastChange) {
        for (const Seen &seen : m_seen) {
            if (seen.changed >= largest / 2) {
                at = seen.fileUs;
                break;
            }
        }
    }
    m_seen.clear();
    m_reference.clear();
    return at;
}
