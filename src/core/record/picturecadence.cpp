#include "core/record/picturecadence.h"

#include <algorithm>

void PictureCadence::changed(qint64 us)
{
    m_active = true;
    if (m_pending)
        return;
    m_pending = true;
    // A change cannot be shown before the picture already sent.
    m_pendingSinceUs = std::max(us, m_lastSentUs + 1);
}

qint64 PictureCadence::dueUs() const
{
    if (!m_active)
        return kNever;
    if (m_pending)
        return m_lastSentUs < 0 ? m_pendingSinceUs
                                : std::max(m_pendingSinceUs, m_lastSentUs + kMinSpacingUs);
    return m_lastSentUs + kMaxSpacingUs;
}

qint64 PictureCadence::take(qint64 nowUs)
{
    const qint64 due = dueUs();
    if (due == kNever || due > nowUs)
        return -1;
    m_lastSentUs = due;
    m_pending = false;
    return due;
}

qint64 PictureCadence::end(qint64 us)
{
    const bool wasActive = m_active;
    m_active = false;
    m_pending = false;
    const qint64 stamp = us - 1;
    if (!wasActive || stamp <= m_lastSentUs)
        return -1;
    // A picture within one spacing of the end stands for the end: the spacing holds there too.
    // Otherwise the end gets a picture, whether the board changed since or not.
    if (m_lastSentUs >= 0 && stamp - m_lastSentUs < kMinSpacingUs)
        return -1;
    m_lastSentUs = stamp;
    return stamp;
}

void PictureCadence::sentAt(qint64 us)
{
    m_active = true;
    m_pending = false;
    m_lastSentUs = std::max(m_lastSentUs, us);
}
