#include "core/media/pausefinder.h"

#include "core/media/avdatasmanager.h"
#include "core/media/pausemedia.h"
#include "core/platform/settings.h"

#include <QHash>
#include <QThread>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentMap>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <limits>
#include <numeric>
#include <vector>

namespace pauses {

namespace {

// The sound is read in stretches of this length, several at a time.
constexpr qint64 kStretchMs = 60000;

// The pauses of `clip` from its window levels (the first at its beginTime).
QList<Pause> pausesOf(const AVData &clip, const QList<float> &levels, qint64 minMs,
                      const std::atomic_bool *stop)
{
    QList<Pause> found;
    const QList<Span> silent = silentSpans(levels, minMs);
    if (silent.isEmpty())
        return found;
    const QList<qint64> pictures = pictureTimes(clip.filePath);
    const bool changeDriven = isChangeDriven(pictures);
    const QList<qint64> indexChanges = changesOfPictureTimes(pictures);
    for (Span s : silent) {
        if (stop && *stop)
            break;
        s.fromMs += clip.beginTime;
        s.toMs = std::min(s.toMs + clip.beginTime, clip.endTime);
        const QList<qint64> changes =
            changeDriven ? indexChanges : decodedChanges(clip.filePath, s, stop);
        for (const Span &still : stillSpans(changes, s, minMs)) {
            const Span cut = cutOf(levels, clip.beginTime, still);
            if (cut.lengthMs() > 0)
                found.append(Pause{clip.filePath, still, cut});
        }
    }
    return found;
}

}  // namespace

int minimumSeconds()
{
    bool ok = false;
    const int seconds = readSetting(QStringLiteral("pauses/minimumSeconds")).toInt(&ok);
    return ok ? std::clamp(seconds, kMinimumSecondsLow, kMinimumSecondsHigh)
              : kDefaultMinimumSeconds;
}

void setMinimumSeconds(int seconds)
{
    writeSetting(QStringLiteral("pauses/minimumSeconds"),
                 std::clamp(seconds, kMinimumSecondsLow, kMinimumSecondsHigh));
}

QList<Span> silentSpans(const QList<float> &levelsDb, qint64 minMs)
{
    QList<Span> spans;
    if (levelsDb.isEmpty())
        return spans;
    QList<float> sorted = levelsDb;
    std::sort(sorted.begin(), sorted.end());
    const auto at = [&sorted](double p) {
        return sorted.at(std::min<qsizetype>(sorted.size() - 1, qsizetype(p * sorted.size())));
    };
    const double floor = at(kFloorPercentile);
    const double loud = at(0.9);
    const double spread = loud - floor;
    // One level throughout: all of it silent, or none of it. Otherwise a weak voice shrinks
    // the margin, so that the voice stays above it.
    if (spread < kVoiceSpreadDb && loud > kNoVoiceDb)
        return spans;
    const double threshold =
        spread < kVoiceSpreadDb ? loud + kMarginDb : floor + std::min(kMarginDb, spread / 2);
    int start = -1;
    for (int i = 0; i <= levelsDb.size(); ++i) {
        const bool silent = i < levelsDb.size() && levelsDb.at(i) <= threshold;
        if (silent && start < 0)
            start = i;
        if (!silent && start >= 0) {
            const Span s{qint64(start) * kWindowMs, qint64(i) * kWindowMs};
            if (s.lengthMs() >= minMs)
                spans.append(s);
            start = -1;
        }
    }
    return spans;
}

QList<qint64> changesOfPictureTimes(const QList<qint64> &picturesMs)
{
    QList<qint64> changes;
    for (int i = 1; i < picturesMs.size(); ++i)
        if (picturesMs.at(i) - picturesMs.at(i - 1) < kRepeatMs)
            changes.append(picturesMs.at(i));
    return changes;
}

bool isChangeDriven(const QList<qint64> &picturesMs)
{
    for (int i = 1; i < picturesMs.size(); ++i)
        if (picturesMs.at(i) - picturesMs.at(i - 1) >= kRepeatMs)
            return true;
    return false;
}

QList<Span> stillSpans(const QList<qint64> &changesMs, Span within, qint64 minMs)
{
    QList<Span> spans;
    qint64 from = within.fromMs;
    auto close = [&](qint64 to) {
        if (to - from >= minMs)
            spans.append(Span{from, to});
    };
    for (qint64 change : changesMs) {
        if (change <= within.fromMs)
            continue;
        if (change >= within.toMs)
            break;
        close(change);
        from = change;
    }
    close(within.toMs);
    return spans;
}

Span cutOf(const QList<float> &levelsDb, qint64 levelsFromMs, Span pause)
{
    // The quietest window start within [lo, hi], the one nearest `target` among equals.
    auto snap = [&](qint64 target, qint64 lo, qint64 hi) {
        qint64 best = target;
        float bestLevel = std::numeric_limits<float>::max();
        for (qint64 t = lo; t <= hi; t += kWindowMs / 2) {
            const qint64 w = (t - levelsFromMs) / kWindowMs;
            if (w < 0 || w >= levelsDb.size())
                continue;
            const float level = levelsDb.at(w);
            if (level < bestLevel ||
                (level == bestLevel && std::abs(t - target) < std::abs(best - target))) {
                bestLevel = level;
                best = t;
            }
        }
        return best;
    };
    const qint64 from = pause.fromMs + kBreathMs;
    const qint64 to = pause.toMs - kBreathMs;
    if (to - from < 2 * kSnapMs)
        return Span{from, from};
    const Span cut{snap(from, from - kBreathMs / 2, from + kSnapMs),
                   snap(to, to - kSnapMs, to + kBreathMs / 2)};
    return cut.toMs > cut.fromMs ? cut : Span{from, from};
}

QList<PlacedPause> place(const QList<AVData> &clips, const QList<Pause> &found)
{
    QMultiHash<QString, const Pause *> byFile;
    for (const Pause &p : found)
        byFile.insert(p.filePath, &p);
    QList<PlacedPause> placed;
    qint64 position = 0;
    for (const AVData &clip : clips) {
        QList<PlacedPause> inClip;
        for (auto it = byFile.find(clip.filePath); it != byFile.end() && it.key() == clip.filePath;
             ++it) {
            const Pause &p = *it.value();
            if (p.span.fromMs < clip.beginTime || p.span.toMs > clip.endTime ||
                p.cut.lengthMs() <= 0)
                continue;
            const qint64 shift = position - clip.beginTime;
            inClip.append(
                PlacedPause{p, clip.uuid, Span{p.span.fromMs + shift, p.span.toMs + shift}});
        }
        std::sort(inClip.begin(), inClip.end(), [](const PlacedPause &a, const PlacedPause &b) {
            return a.timeline.fromMs < b.timeline.fromMs;
        });
        placed += inClip;
        position += clip.length();
    }
    return placed;
}

QList<AVData> cutOut(const QList<AVData> &clips, const QList<PlacedPause> &placed)
{
    QList<AVData> result;
    qint64 position = 0;
    auto keep = [&](const AVData &clip, qint64 from, qint64 to) {
        if (to <= from)
            return;
        AVData part = AvDatasManager::subClip(clip, from - clip.beginTime, to - clip.beginTime);
        part.position = position;
        position += part.length();
        result.append(part);
    };
    for (const AVData &clip : clips) {
        QList<Span> cuts;
        for (const PlacedPause &p : placed)
            if (p.clipUuid == clip.uuid)
                cuts.append(p.pause.cut);
        if (cuts.isEmpty()) {
            AVData same = clip;
            same.position = position;
            position += same.length();
            result.append(same);
            continue;
        }
        std::sort(cuts.begin(), cuts.end(),
                  [](const Span &a, const Span &b) { return a.fromMs < b.fromMs; });
        qint64 from = clip.beginTime;
        for (const Span &cut : cuts) {
            keep(clip, from, std::min(cut.fromMs, clip.endTime));
            from = std::max(from, cut.toMs);
        }
        keep(clip, from, clip.endTime);
    }
    return result;
}

}  // namespace pauses

using namespace pauses;

struct PauseFinder::Run
{
    std::atomic_bool stop{false};
};

PauseFinder::PauseFinder(QObject *parent)
    : QObject(parent), m_watcher(new QFutureWatcher<QList<Pause>>(this))
{
    connect(m_watcher, &QFutureWatcher<QList<Pause>>::finished, this, [this] {
        if (m_run && !m_run->stop) {
            m_run.reset();
            emit sig_Finished(m_watcher->future().result());
        }
    });
}

PauseFinder::~PauseFinder()
{
    cancel();
    m_watcher->waitForFinished();
}

void PauseFinder::cancel()
{
    if (m_run)
        m_run->stop = true;
    m_run.reset();
}

bool PauseFinder::isRunning() const
{
    return m_run != nullptr;
}

void PauseFinder::start(const QList<AVData> &clips, qint64 minMs)
{
    cancel();
    m_watcher->waitForFinished();
    auto run = std::make_shared<Run>();
    m_run = run;
    m_watcher->setFuture(QtConcurrent::run([run, clips, minMs, this] {
        return findAll(clips, minMs, &run->stop, [run, this](int percent) {
            if (!run->stop)
                emit sig_Progress(percent);
        });
    }));
}

QList<Pause> PauseFinder::findAll(const QList<AVData> &clips, qint64 minMs,
                                  const std::atomic_bool *stop,
                                  const std::function<void(int)> &progress)
{
    // The sound of every clip in stretches, read side by side; then each clip's pauses.
    struct Stretch
    {
        int clip = 0;
        qint64 fromMs = 0;
        qint64 toMs = 0;
        QList<float> levels;
    };
    std::vector<Stretch> stretches;
    for (int i = 0; i < clips.size(); ++i) {
        const AVData &clip = clips.at(i);
        for (qint64 from = clip.beginTime; from < clip.endTime; from += kStretchMs)
            stretches.push_back(Stretch{i, from, std::min(from + kStretchMs, clip.endTime), {}});
    }
    const int steps = int(stretches.size()) + int(clips.size());
    std::atomic_int done{0};
    auto stepDone = [&] {
        const int n = ++done;
        if (progress)
            progress(steps > 0 ? n * 100 / steps : 100);
    };
    QThreadPool pool;
    pool.setMaxThreadCount(std::max(1, QThread::idealThreadCount()));
    QtConcurrent::blockingMap(&pool, stretches, [&](Stretch &s) {
        if (!(stop && *stop))
            s.levels = soundLevels(clips.at(s.clip).filePath, s.fromMs, s.toMs, stop);
        stepDone();
    });
    std::vector<QList<float>> levels(size_t(clips.size()));
    for (Stretch &s : stretches)
        levels[size_t(s.clip)] += s.levels;
    std::vector<int> order(size_t(clips.size()));
    std::iota(order.begin(), order.end(), 0);
    std::vector<QList<Pause>> perClip(size_t(clips.size()));
    QtConcurrent::blockingMap(&pool, order, [&](int i) {
        if (!(stop && *stop))
            perClip[size_t(i)] = pausesOf(clips.at(i), levels[size_t(i)], minMs, stop);
        stepDone();
    });
    QList<Pause> found;
    for (const QList<Pause> &p : perClip)
        found += p;
    return found;
}
