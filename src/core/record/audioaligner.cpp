#include "core/record/audioaligner.h"

#include <algorithm>

AudioAligner::AudioAligner(int sampleRate, qint64 toleranceUs, qint64 leadSamples)
    : m_sampleRate(sampleRate), m_toleranceSamples(toleranceUs * sampleRate / 1000000),
      m_lead(leadSamples)
{
}

qint64 AudioAligner::samplesAt(qint64 us) const
{
    // Rounded to the nearest sample, also for negative times.
    const qint64 scaled = us * m_sampleRate;
    return scaled >= 0 ? (scaled + 500000) / 1000000 : -((-scaled + 500000) / 1000000);
}

QList<AudioAligner::Step> AudioAligner::place(qint64 captureUs, qint64 samples,
                                              const QList<RecordTimeline::Part> &parts)
{
    QList<Step> steps;
    for (const RecordTimeline::Part &part : parts) {
        qint64 offset = std::clamp<qint64>(samplesAt(part.captureUs - captureUs), 0, samples);
        qint64 count = std::min(samplesAt(part.durationUs), samples - offset);
        if (count <= 0)
            continue;
        const qint64 diff = samplesAt(part.fileUs) - m_lead - m_written;
        if (diff > m_toleranceSamples) {
            steps.append(Step{Step::Silence, 0, diff});
            m_written += diff;
        } else if (diff < -m_toleranceSamples) {
            const qint64 skip = std::min(-diff, count);
            offset += skip;
            count -= skip;
        }
        if (count <= 0)
            continue;
        steps.append(Step{Step::Take, offset, count});
        m_written += count;
    }
    return steps;
}

QList<AudioAligner::Step> AudioAligner::padTo(qint64 fileEndUs)
{
    const qint64 missing = samplesAt(fileEndUs) - m_lead - m_written;
    if (missing <= 0)
        return {};
    m_written += missing;
    return {Step{Step::Silence, 0, missing}};
}
