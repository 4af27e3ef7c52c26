#pragma once
// When the samples of a sound input were captured. The sound server's own packet times wander
// for the first second or two after the input opens; the samples themselves come without
// gaps. So the capture time of sample n is taken as base + n / rate, with the base estimated
// from when packets arrive: a packet can only arrive after its last sample was captured, and
// the packets that arrive soonest tell the base best. The estimate is the earliest such bound
// among the recent packets, so it also follows a sound card whose clock runs slightly off.
// Used by one reader thread only.
#include <QtGlobal>

#include <deque>

class SoundClock
{
public:
    explicit SoundClock(int sampleRate, int windowPackets = 500);

    // A packet of `samples` samples that arrived at `arrivalUs`; returns the capture time of
    // its first sample.
    qint64 packetArrived(qint64 arrivalUs, qint64 samples);
    qint64 samplesSeen() const { return m_samples; }

private:
    qint64 durationUs(qint64 samples) const { return samples * 1000000 / m_sampleRate; }

    struct Bound
    {
        qint64 index;
        qint64 baseUs;
    };
    int m_sampleRate;
    int m_window;
    qint64 m_samples = 0;
    qint64 m_packets = 0;
    std::deque<Bound> m_bounds;  // increasing baseUs: the minimum of the window is in front
};
