#pragma once
// Keeps the recorded sound one continuous stream of samples that stays in step with the
// file's time line (RecordTimeline): each kept part of a captured chunk is placed where the
// time line puts it; when the stream has fallen behind by more than the tolerance, silence
// fills the gap, and when it runs ahead, the surplus samples of the chunk are skipped.
// Positions are counted in samples at the capture rate. Used by the sound encoder thread only.
#include "core/record/recordtimeline.h"

#include <QList>
#include <QtGlobal>

class AudioAligner
{
public:
    struct Step
    {
        enum Kind { Silence, Take };
        Kind kind = Take;
        qint64 offset = 0;  // Take: first sample of the chunk to use
        qint64 count = 0;   // samples written
        bool operator==(const Step &o) const
        {
            return kind == o.kind && offset == o.offset && count == o.count;
        }
    };

    // leadSamples: how far the written stream runs ahead of the file's time line (an encoder
    // that puts that many samples of its own before the sound plays it that much later).
    explicit AudioAligner(int sampleRate, qint64 toleranceUs = 10000, qint64 leadSamples = 0);

    // What to write for a chunk of `samples` samples captured from `captureUs` on, given the
    // kept parts of that chunk (RecordTimeline::mapAudio).
    QList<Step> place(qint64 captureUs, qint64 samples, const QList<RecordTimeline::Part> &parts);
    // Silence that makes the stream reach `fileEndUs` (nothing when it is already there).
    QList<Step> padTo(qint64 fileEndUs);

    qint64 writtenSamples() const { return m_written; }
    qint64 samplesAt(qint64 us) const;

private:
    int m_sampleRate;
    qint64 m_toleranceSamples;
    qint64 m_lead;
    qint64 m_written = 0;
};
