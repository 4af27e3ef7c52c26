#include "core/timeline/imfcommon.h"

#include <QStringList>
#include <QtDebug>

// The named rates, constructed once in this order. The last two are audio sample rates.
struct EditRateRegistry
{
    QList<EditRate> rates;
    EditRateRegistry()
    {
        add(24000, 1001, "23.976");
        add(24, 1, "24");
        add(25, 1, "25");
        add(30000, 1001, "29.97");
        add(30, 1, "30");
        add(48, 1, "48");
        add(50, 1, "50");
        add(60000, 1001, "59.94");
        add(60, 1, "60");
        add(96, 1, "96");
        add(100, 1, "100");
        add(120000, 1001, "119.88");
        add(120, 1, "120");
        add(48000, 1, "48000");
        add(96000, 1, "96000");
    }
    void add(qint32 n, qint32 d, const char *name)
    {
        rates.append(EditRate(n, d, QString::fromLatin1(name)));
    }
};

const QList<EditRate> &EditRate::registry()
{
    static const EditRateRegistry registry;
    return registry.rates;
}

EditRate::EditRate(qint32 numerator, qint32 denominator, const QString &name)
    : m_numerator(numerator), m_denominator(denominator), m_name(name)
{
}

EditRate::EditRate(qint32 numerator, qint32 denominator)
    : m_numerator(numerator), m_denominator(denominator)
{
    // Only an exact multiple of 1000 is folded into whole frames per second; 23976/1000 stays
    // as it is instead of being cut down to 23 frames per second.
    if (m_denominator == 1000 && m_numerator % 1000 == 0) {
        m_numerator /= 1000;
        m_denominator = 1;
    }
    for (const EditRate &r : registry())
        if (r == *this)
            m_name = r.m_name;
}

qint64 EditRate::roundedFps() const
{
    if (!isValid())
        return 0;
    const long double fps = static_cast<long double>(m_numerator) / m_denominator;
    return static_cast<qint64>(fps + 0.5L);
}

EditRate EditRate::byName(const QString &name)
{
    for (const EditRate &r : registry())
        if (r.m_name == name)
            return r;
    return EditRate();
}

QStringList EditRate::frameRateNames()
{
    const EditRate audio48(48000, 1), audio96(96000, 1);
    QStringList names;
    for (const EditRate &r : registry())
        if (r != audio48 && r != audio96)
            names << r.m_name;
    return names;
}

EditRate EditRate::timeline()
{
    static const EditRate rate = byName(QStringLiteral("24"));
    return rate;
}

Timecode::Timecode(const EditRate &rate, const Duration &duration)
    : m_rate(rate), m_frames(duration.frames())
{
}

Timecode::Timecode(const EditRate &rate, qint64 hours, qint64 minutes, qint64 seconds,
                   qint64 frames)
    : m_rate(rate)
{
    m_frames = (hours * 3600 + minutes * 60 + seconds) * rate.roundedFps() + frames;
}

qint64 Timecode::fieldOrZero(qint64 divisorSeconds, qint64 modulo) const
{
    const qint64 fps = m_rate.roundedFps();
    if (m_frames < 0 || fps <= 0)
        return 0;
    return (m_frames / (fps * divisorSeconds)) % modulo;
}

qint64 Timecode::hours() const
{
    return fieldOrZero(3600, 60);
}
qint64 Timecode::minutes() const
{
    return fieldOrZero(60, 60);
}
qint64 Timecode::seconds() const
{
    return fieldOrZero(1, 60);
}

qint64 Timecode::frameInSecond() const
{
    const qint64 fps = m_rate.roundedFps();
    if (m_frames < 0 || fps <= 0)
        return 0;
    return m_frames % fps;
}

QString Timecode::toMinutesSecondsString() const
{
    const QString text = QStringLiteral("%1:%2")
                             .arg(hours() * 60 + minutes(), 2, 10, QLatin1Char('0'))
                             .arg(seconds(), 2, 10, QLatin1Char('0'));
    return m_frames < 0 ? QLatin1Char('-') + text : text;
}

QString Timecode::toFramesString() const
{
    return m_frames < 0 ? QStringLiteral("-0") : QString::number(m_frames);
}

QString Timecode::toFormattedString(const QString &pattern) const
{
    QString out;
    if (m_frames < 0)
        out += QLatin1Char('-');
    const QStringList pieces = pattern.split(QLatin1Char('%'), Qt::SkipEmptyParts);
    for (const QString &piece : pieces) {
        qint64 value;
        switch (piece.at(0).unicode()) {
        case '1': value = hours(); break;
        case '2': value = minutes(); break;
        case '3': value = seconds(); break;
        case '4': value = frameInSecond(); break;
        default: continue;
        }
        out += QString(QLatin1Char('%') + piece).arg(value, 2, 10, QLatin1Char('0'));
    }
    return out;
}

Timecode Timecode::operator+(const Timecode &o) const
{
    if (m_rate != o.m_rate) {
        qCritical() << "Timcode values with different Edit Rates detected.";
        return *this;
    }
    return Timecode(m_rate, m_frames + o.m_frames);
}

Timecode Timecode::operator-(const Timecode &o) const
{
    if (m_rate != o.m_rate) {
        qCritical() << "Timcode values with different Edit Rates detected.";
        return *this;
    }
    return Timecode(m_rate, m_frames - o.m_frames);
}

Timecode Timecode::operator+(const Duration &d) const
{
    return Timecode(m_rate, m_frames + d.frames());
}
Timecode Timecode::operator-(const Duration &d) const
{
    return Timecode(m_rate, m_frames - d.frames());
}

Timecode Timecode::operator++(int)
{
    const Timecode old = *this;
    ++m_frames;
    return old;
}

Duration::Duration(const Timecode &a, const Timecode &b) : m_frames(qAbs(a.frames() - b.frames()))
{
}

Duration Duration::absolute(const Timecode &tc)
{
    return Duration(qAbs(tc.frames()));
}

Duration Duration::signedDifference(const Timecode &a, const Timecode &b)
{
    return Duration(a.frames() - b.frames());
}

QString Duration::toString(const EditRate &rate) const
{
    return Timecode(rate, *this).toMinutesSecondsString();
}

QString secondsToText(qint64 seconds)
{
    return QStringLiteral("%1:%2")
        .arg(seconds / 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

void registerTimeMetaTypes()
{
    qRegisterMetaType<Timecode>("Timecode");
    qRegisterMetaType<Duration>("Duration");
}
