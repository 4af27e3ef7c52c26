#include "core/record/recordtimeline.h"

#include <QDeadlineTimer>

#include <algorithm>
#include <limits>

namespace {
constexpr qint64 kOpen = std::numeric_limits<qint64>::max();
}

RecordTimeline::RecordTimeline(qint64 nominalFrameUs) : m_nominalFrameUs(nominalFrameUs) {}

void RecordTimeline::start(qint64 us)
{
    QMutexLocker lock(&m_mutex);
    if (!m_segments.isEmpty())
        return;
    m_segments.append(Segment{us, kOpen, 0, false});
}

void RecordTimeline::pause(qint64 us)
{
    QMutexLocker lock(&m_mutex);
    if (m_segments.isEmpty() || m_stopped || m_segments.last().endUs != kOpen)
        return;
    m_segments.last().endUs = std::max(us, m_segments.last().beginUs);
}

void RecordTimeline::resume(qint64 us)
{
    QMutexLocker lock(&m_mutex);
    if (m_segments.isEmpty() || m_stopped || m_segments.last().endUs == kOpen)
        return;
    m_segments.append(Segment{std::max(us, m_segments.last().endUs), kOpen, 0, false});
}

void RecordTimeline::stop(qint64 us)
{
    QMutexLocker lock(&m_mutex);
    if (m_stopped)
        return;
    m_stopped = true;
    if (m_segments.isEmpty()) {
        m_stopUs = us;
        return;
    }
    Segment &last = m_segments.last();
    if (last.endUs == kOpen)
        last.endUs = std::max(us, last.beginUs);
    m_stopUs = last.endUs;
}

void RecordTimeline::setFixedPauseSpacing(qint64 spacingUs)
{
    QMutexLocker lock(&m_mutex);
    m_fixedPauseSpacingUs = spacingUs;
}

bool RecordTimeline::lastStretch(qint64 *beginUs, qint64 *endUs) const
{
    QMutexLocker lock(&m_mutex);
    if (m_segments.isEmpty())
        return false;
    *beginUs = m_segments.last().beginUs;
    *endUs = m_segments.last().endUs;
    return true;
}

bool RecordTimeline::isStarted() const
{
    QMutexLocker lock(&m_mutex);
    return !m_segments.isEmpty();
}

bool RecordTimeline::isOverAt(qint64 us) const
{
    QMutexLocker lock(&m_mutex);
    return m_stopped && us >= m_stopUs;
}

qint64 RecordTimeline::offsetOf(int index) const
{
    // An unplaced stretch follows the one before it after the pause's measured length.
    int k = index;
    while (k > 0 && !m_segments.at(k).fixed)
        --k;
    qint64 offset =
        m_segments.at(k).fixed ? m_segments.at(k).fixedOffsetUs : m_segments.at(0).beginUs;
    for (int j = k + 1; j <= index; ++j)
        offset += m_segments.at(j).beginUs - m_segments.at(j - 1).endUs;
    return offset;
}

int RecordTimeline::segmentAt(qint64 captureUs) const
{
    for (int i = 0; i < m_segments.size(); ++i) {
        const Segment &s = m_segments.at(i);
        if (captureUs >= s.beginUs && captureUs < s.endUs)
            return i;
    }
    return -1;
}

qint64 RecordTimeline::mapVideo(qint64 captureUs)
{
    QMutexLocker lock(&m_mutex);
    const int index = segmentAt(captureUs);
    if (index < 0 || captureUs <= m_lastVideoCaptureUs)
        return -1;
    Segment &s = m_segments[index];
    bool heldBack = false;
    if (!s.fixed) {
        // The first frame of a stretch. The very first frame stands at the start of its
        // stretch, however late it came (a busy machine): the sound begins with the start, and
        // the frame is shown from there. After a pause the frame follows the last one by the
        // last spacing.
        if (m_lastVideoFileUs < 0) {
            s.fixedOffsetUs = offsetOf(index);
            heldBack = true;
        } else {
            const qint64 spacing = m_fixedPauseSpacingUs > 0 ? m_fixedPauseSpacingUs
                                   : m_lastVideoDeltaUs > 0  ? m_lastVideoDeltaUs
                                                             : m_nominalFrameUs;
            s.fixedOffsetUs = captureUs - (m_lastVideoFileUs + spacing);
        }
        s.fixed = true;
    }
    const qint64 fileUs = (heldBack ? s.beginUs : captureUs) - s.fixedOffsetUs;
    if (m_lastVideoCaptureUs >= 0 && segmentAt(m_lastVideoCaptureUs) == index)
        m_lastVideoDeltaUs = captureUs - m_lastVideoCaptureUs;
    m_lastVideoCaptureUs = captureUs;
    m_lastVideoFileUs = fileUs;
    return fileUs;
}

QList<RecordTimeline::Part> RecordTimeline::mapAudio(qint64 fromUs, qint64 toUs) const
{
    QMutexLocker lock(&m_mutex);
    QList<Part> parts;
    for (int i = 0; i < m_segments.size(); ++i) {
        const Segment &s = m_segments.at(i);
        const qint64 begin = std::max(fromUs, s.beginUs);
        const qint64 end = std::min(toUs, s.endUs);
        if (begin >= end)
            continue;
        parts.append(Part{begin, end - begin, begin - offsetOf(i)});
    }
    return parts;
}

void RecordTimeline::finishVideo(qint64 fileEndUs)
{
    QMutexLocker lock(&m_mutex);
    m_videoFinished = true;
    m_videoEndUs = fileEndUs;
    m_videoEnded.wakeAll();
}

qint64 RecordTimeline::waitForVideoEnd(int timeoutMs) const
{
    QMutexLocker lock(&m_mutex);
    QDeadlineTimer deadline(timeoutMs);
    while (!m_videoFinished) {
        if (!m_videoEnded.wait(&m_mutex, deadline))
            break;
    }
    return m_videoFinished ? m_videoEndUs : -1;
}
