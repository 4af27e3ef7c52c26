#pragma once
// PictureCadence: when a picture of a change-driven source goes to the encoder, and with which
// timestamp. The rule:
// - a picture goes out when something changed, at most one per kMinSpacingUs (30 a second): a
//   change within that spacing of the last picture waits until the spacing has passed;
// - while nothing changes, the last picture goes out again kMaxSpacingUs after the one before
//   (at least once a second), so every stretch of the file has recent pictures;
// - when a stretch ends (a pause or the stop), one last picture just before its end shows the
//   board as it was then, so the file's pictures reach the end of the stretch (none when the
//   last picture is within the spacing of the end);
// - each picture is stamped with the moment it became due: when its change happened, or when
//   the spacing allowed it, or when the repeat was due. Stamps strictly increase.
// Times are microseconds on the capture clock. Before the first change and after end() nothing
// is due; the next changed() starts again. A plain value class; one thread.
#include <QtGlobal>

#include <limits>

class PictureCadence
{
public:
    // A whole 1/30 s and a microsecond more: two pictures never fall on one tick of a
    // 30-a-second time base, however their times are rounded.
    static constexpr qint64 kMinSpacingUs = 1000000 / 30 + 1;
    static constexpr qint64 kMaxSpacingUs = 1000000;
    static constexpr qint64 kNever = std::numeric_limits<qint64>::max();

    // Something changed at `us`.
    void changed(qint64 us);
    // When the next picture is due, or kNever.
    qint64 dueUs() const;
    // The stamp of the picture due at or before `nowUs` (it is then counted as sent), or -1
    // when none is due yet.
    qint64 take(qint64 nowUs);
    // The stretch ends at `us` (its pictures must be stamped before it): the stamp of its last
    // picture, or -1 when the last picture sent is already that close to the end. Nothing is
    // due afterwards until the next change.
    qint64 end(qint64 us);

    // A picture was sent at `us` outside the rule (its owner asked for it at once); later
    // pictures keep their spacing from it.
    void sentAt(qint64 us);

    qint64 lastSentUs() const { return m_lastSentUs; }

private:
    bool m_active = false;        // a change was seen since the last end()
    bool m_pending = false;       // a change not shown by a sent picture yet
    qint64 m_pendingSinceUs = 0;  // the first such change
    qint64 m_lastSentUs = -1;
};
