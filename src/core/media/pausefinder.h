#pragma once
// The pauses of a project (编辑器: "查找停顿"): spans of a clip's used part where the voice is
// silent and the picture stands still for at least a minimum time, and the part of each that
// "删除全部停顿" cuts out.
//
// Silence is judged against the clip's own noise floor: the sound is measured in windows of
// kWindowMs (RMS in dB), the floor is a low percentile of those levels and a window counts as
// silent when it stays within kMarginDb of it (a room's hum is not speech). The picture is
// judged from the file only where the sound is silent: a change-driven recording has pictures
// only where something changed and repeats the last one about once a second, so the times in
// its index tell the changes without decoding; the pictures of any other video are decoded
// there, shrunk and compared.
//
// Threads: the functions of the namespace are plain and may run on any thread. PauseFinder
// lives on the main thread: start(), cancel(), isRunning() and the destructor are called
// there, and its signals come there. Its work runs on a pool of its own, one task per stretch
// of a clip's sound and then one per clip; it reads files only and never touches a project.
#include "core/project/avdata.h"

#include <QFutureWatcher>
#include <QList>
#include <QObject>

#include <atomic>
#include <functional>
#include <memory>

class QThreadPool;

namespace pauses {

constexpr int kWindowMs = 50;
// The floor is this fraction of the clip's windows from the quietest one...
constexpr double kFloorPercentile = 0.1;
// ...and a window is silent up to this much above it...
constexpr double kMarginDb = 12;
// A clip whose loud windows (the 90th percentile) are this close to its floor has one level
// throughout: no voice at all when that level is under kNoVoiceDb, else a voice that never
// stops.
constexpr double kVoiceSpreadDb = 6;
constexpr double kNoVoiceDb = -40;
// What is left of a pause at each of its sides.
constexpr qint64 kBreathMs = 300;
// A cut end moves to the quietest moment within this distance.
constexpr qint64 kSnapMs = 150;
// A change-driven recording repeats a still picture about once a second: a picture that
// follows the one before sooner than this shows a change.
constexpr qint64 kRepeatMs = 900;
// The default of the setting, and its bounds (seconds).
constexpr int kDefaultMinimumSeconds = 2;
constexpr int kMinimumSecondsLow = 1;
constexpr int kMinimumSecondsHigh = 10;

struct Span
{
    qint64 fromMs = 0;
    qint64 toMs = 0;
    qint64 lengthMs() const { return toMs - fromMs; }
    bool operator==(const Span &o) const { return fromMs == o.fromMs && toMs == o.toMs; }
};

// One pause in a media file (times as AVData::beginTime counts them) and the part of it that
// is cut out.
struct Pause
{
    QString filePath;
    Span span;
    Span cut;
};

// A pause on the timeline: the clip it lies in and where it shows (timeline ms).
struct PlacedPause
{
    Pause pause;
    QString clipUuid;
    Span timeline;
};

// The setting "最短停顿" in seconds (conf.ini), within its bounds.
int minimumSeconds();
void setMinimumSeconds(int seconds);

// The silent spans of `levelsDb` (one level a window, the first window at 0 ms), each at least
// `minMs` long.
QList<Span> silentSpans(const QList<float> &levelsDb, qint64 minMs);
// The picture changes shown by a change-driven file's picture times (sorted, ms): every
// picture that came sooner than kRepeatMs after the one before.
QList<qint64> changesOfPictureTimes(const QList<qint64> &picturesMs);
// True when picture times look like a change-driven recording's: some picture repeats the one
// before after about a second.
bool isChangeDriven(const QList<qint64> &picturesMs);
// The parts of `within` between the changes `changesMs` (sorted) at least `minMs` long.
QList<Span> stillSpans(const QList<qint64> &changesMs, Span within, qint64 minMs);
// The part of `pause` that is cut out: kBreathMs in from each end, each end moved to the
// quietest window within kSnapMs that keeps at least half a breath. `levelsDb` start at
// `levelsFromMs`. An empty span when the pause is too short to keep its breaths.
Span cutOf(const QList<float> &levelsDb, qint64 levelsFromMs, Span pause);
// The pauses that lie inside one clip's used span of `clips`, in timeline order.
QList<PlacedPause> place(const QList<AVData> &clips, const QList<Pause> &found);
// `clips` with the cuts of `placed` taken out; every part keeps its clip's title and file, and
// the clips keep their order.
QList<AVData> cutOut(const QList<AVData> &clips, const QList<PlacedPause> &placed);

}  // namespace pauses

class PauseFinder : public QObject
{
    Q_OBJECT
public:
    explicit PauseFinder(QObject *parent = nullptr);
    ~PauseFinder() override;

    // Starts finding the pauses of at least `minMs` in `clips`; a search still running is
    // cancelled first (its result never comes).
    void start(const QList<AVData> &clips, qint64 minMs);
    void cancel();
    bool isRunning() const;

    // The same search on the calling thread, with the pool's threads (for the benchmark).
    static QList<pauses::Pause> findAll(const QList<AVData> &clips, qint64 minMs,
                                        const std::atomic_bool *stop = nullptr,
                                        const std::function<void(int)> &progress = {});

signals:
    // Percent done.
    void sig_Progress(int percent);
    void sig_Finished(QList<pauses::Pause> found);

private:
    struct Run;
    std::shared_ptr<Run> m_run;
    QFutureWatcher<QList<pauses::Pause>> *m_watcher = nullptr;
};
