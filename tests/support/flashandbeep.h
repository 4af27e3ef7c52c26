#pragma once
// A window that flashes white exactly when a beep is heard on a sound sink, for checking that
// a recording keeps sound and picture in step. A thread plays one continuous stream into the
// sink (silence with a 10 ms, 1 kHz beep every `everyMs`); after every write the server's
// latency tells on the monotonic clock when each sample is heard, and the window turns white
// for 100 ms at each beep's moment, noting when it was really painted. offsetsMs() then reads
// a recorded file: for each flash in its pictures (midway between the last dark and the first
// white picture, or the white one's own time where pictures come only on change) the beep
// nearest to it, less what the stage itself had between the two.
// Main thread, except the playing thread inside.
#include "support/beeptrack.h"

#include <QList>
#include <QTimer>
#include <QWidget>

class FlashAndBeep : public QWidget
{
public:
    FlashAndBeep(const QRect &geometry, const QString &sink, int everyMs = 1000);
    ~FlashAndBeep() override;

    // True once the stream plays (the first beep follows a second later).
    bool isPlaying() const { return m_track.origin() != BeepTrack::kUnknown; }
    // The recorder's click-to-flash offsets (ms) in `file`, whose time 0 was captured at
    // `startedUs` (monotonic clock); one per flash that has its beep. A file of a
    // change-driven source (`changeDriven`) has a picture when the screen changed, stamped when
    // it appeared: a flash is then its first white picture.
    QList<double> offsetsMs(const QString &file, qint64 startedUs, bool changeDriven = false) const;
    int flashes() const { return m_flashes.size(); }
    // Whether at least `atLeast` flashes of `file` found their beep, the median of them within
    // 45 ms of it; `why` tells the offsets either way.
    bool inStep(const QString &file, qint64 startedUs, int atLeast, QString *why,
                bool changeDriven = false) const;
    void stop();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    struct Flash
    {
        qint64 shownUs;
        qint64 beep;
    };
    void check();

    BeepTrack m_track;
    QTimer m_timer;
    bool m_white = false;
    qint64 m_next = 0;
    QList<Flash> m_flashes;
};
