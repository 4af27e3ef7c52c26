#include "core/record/soundclock.h"

#include <algorithm>

SoundClock::SoundClock(int sampleRate, int windowPackets)
    : m_sampleRate(std::max(1, sampleRate)), m_window(std::max(1, windowPackets))
{
}

qint64 SoundClock::packetArrived(qint64 arrivalUs, qint64 samples)
{
    const qint64 first = m_samples;
    m_samples += samples;
    // The base cannot be later than this: the packet's last sample existed when it arrived.
    const Bound bound{m_packets++, arrivalUs - durationUs(m_samples)};
    while (!m_bounds.empty() && m_bounds.back().baseUs >= bound.baseUs)
        m_bounds.pop_back();
    m_bounds.push_back(bound);
    while (m_bounds.front().index <= bound.index - m_window)
        m_bounds.pop_front();
    return m_bounds.front().baseUs + durationUs(first);
}
