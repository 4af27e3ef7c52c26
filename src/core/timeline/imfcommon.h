#pragma once
// Frame-accurate time values of the timeline: EditRate (frames per second with a display
// name), Timecode (a frame position at a rate) and Duration (a frame count), plus the
// conversion between project milliseconds and timeline frames at the fixed rate "24".
// Plain values, usable from any thread; the registry of named rates is built once, on first
// use, and is read-only afterwards.
#include <QList>
#include <QMetaType>
#include <QString>
#include <QtGlobal>

class EditRate
{
public:
    EditRate() = default;
    // A rate over 1000 is normalised to whole frames per second when it is one (25000/1000 is
    // 25/1); the name is taken from the registered rate with the same value, if any.
    EditRate(qint32 numerator, qint32 denominator);

    qint32 numerator() const { return m_numerator; }
    qint32 denominator() const { return m_denominator; }
    QString name() const { return m_name; }
    bool isValid() const { return m_numerator >= 1 && m_denominator >= 1; }
    // Frames per second rounded to a whole number (29.97 counts as 30); 0 for an invalid rate.
    qint64 roundedFps() const;

    // The registered rate of that name (exact, case-sensitive); 0/0 without a name otherwise.
    static EditRate byName(const QString &name);
    // Names of the registered video frame rates, in registry order (audio rates left out).
    static QStringList frameRateNames();
    // Every registered rate, in registry order.
    static const QList<EditRate> &registry();
    // The rate the timeline counts in: "24".
    static EditRate timeline();

    bool operator==(const EditRate &o) const
    {
        return m_numerator == o.m_numerator && m_denominator == o.m_denominator;
    }
    bool operator!=(const EditRate &o) const { return !(*this == o); }
    bool operator<(const EditRate &o) const
    {
        return m_numerator < o.m_numerator ||
               (m_numerator == o.m_numerator && m_denominator < o.m_denominator);
    }
    bool operator>(const EditRate &o) const { return o < *this; }

private:
    EditRate(qint32 numerator, qint32 denominator, const QString &name);
    friend struct EditRateRegistry;

    qint32 m_numerator = 0;
    qint32 m_denominator = 0;
    QString m_name;
};

class Duration;

class Timecode
{
public:
    Timecode() = default;
    Timecode(const EditRate &rate, qint64 frames) : m_rate(rate), m_frames(frames) {}
    Timecode(const EditRate &rate, const Duration &duration);
    Timecode(const EditRate &rate, qint64 hours, qint64 minutes, qint64 seconds, qint64 frames);

    EditRate editRate() const { return m_rate; }
    qint64 frames() const { return m_frames; }
    // The frame count, or 0 when it is negative.
    qint64 clampedFrames() const { return m_frames < 0 ? 0 : m_frames; }

    // Fields of the position; all 0 for a negative count or an invalid rate.
    qint64 hours() const;
    qint64 minutes() const;
    qint64 seconds() const;
    qint64 frameInSecond() const;

    // "MM:SS" with total minutes (hours folded in); "-00:00" for a negative count.
    QString toMinutesSecondsString() const;
    // The frame count as it is; "-0" for a negative count.
    QString toFramesString() const;
    // "%1" hours, "%2" minutes, "%3" seconds, "%4" frame within the second, two digits each;
    // text after each field is kept, anything else is dropped.
    QString toFormattedString(const QString &pattern) const;

    Timecode operator+(const Timecode &o) const;
    Timecode operator-(const Timecode &o) const;
    Timecode operator+(const Duration &d) const;
    Timecode operator-(const Duration &d) const;
    Timecode operator++(int);

    bool operator==(const Timecode &o) const
    {
        return m_rate == o.m_rate && m_frames == o.m_frames;
    }
    bool operator!=(const Timecode &o) const { return !(*this == o); }

private:
    qint64 fieldOrZero(qint64 divisorSeconds, qint64 modulo) const;

    EditRate m_rate;
    qint64 m_frames = 0;
};

class Duration
{
public:
    Duration() = default;
    explicit Duration(qint64 frames) : m_frames(frames) {}
    explicit Duration(const Timecode &tc) : m_frames(tc.frames()) {}
    // The absolute difference of the two frame counts.
    Duration(const Timecode &a, const Timecode &b);

    static Duration absolute(const Timecode &tc);
    // Left minus right, keeping the sign.
    static Duration signedDifference(const Timecode &a, const Timecode &b);

    qint64 frames() const { return m_frames; }
    // Minutes-and-seconds text of the duration counted at `rate`.
    QString toString(const EditRate &rate) const;

    Duration &operator++()
    {
        ++m_frames;
        return *this;
    }
    Duration operator*(qint64 factor) const { return Duration(m_frames * factor); }
    friend Duration operator*(qint64 factor, const Duration &d) { return d * factor; }
    bool operator<(const Duration &o) const { return m_frames < o.m_frames; }
    bool operator>(const Duration &o) const { return m_frames > o.m_frames; }
    bool operator==(const Duration &o) const { return m_frames == o.m_frames; }
    bool operator!=(const Duration &o) const { return m_frames != o.m_frames; }

private:
    qint64 m_frames = 0;
};

// Timeline frames (24 per second) and project milliseconds, truncated toward zero.
constexpr int kTimelineFps = 24;
inline qint64 msToFrames(qint64 ms)
{
    return ms * kTimelineFps / 1000;
}
inline qint64 framesToMs(qint64 frames)
{
    return frames * 1000 / kTimelineFps;
}
// Whole seconds as "MM:SS" with unwrapped minutes.
QString secondsToText(qint64 seconds);

// Registers Timecode and Duration under their names for queued signal arguments.
void registerTimeMetaTypes();

Q_DECLARE_METATYPE(Timecode)
Q_DECLARE_METATYPE(Duration)
