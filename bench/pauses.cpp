// 查找停顿 against the ffmpeg tool decoding the same sound.
//
//   bench_pauses [clip seconds, default 360]
//
// Makes a lesson of five recordings (three change-driven screen recordings, two ordinary
// 25-a-second videos; 30 minutes at the default length) whose tone stops for 4 s every 45 s
// while the picture stands still (40 pauses at the default length) and for 3 s every 45 s while
// the picture moves on (not pauses). Finds the pauses with PauseFinder and, taking turns, runs
// the ffmpeg tool decoding the sound of each file alone ("-map 0:a -f null -"), one file after
// the other. Prints the pauses found, the times and processor times (the least of three rounds
// each) and last pauses_vs_decode=<our time / the tool's time> (aim: 1.0 or less).
#include "core/media/avrecord.h"
#include "core/media/pausefinder.h"
#include "support/benchtools.h"
#include "support/testmedia.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

extern "C" {
#include <libavutil/log.h>
}

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false\n*.info=false"));
    av_log_set_level(AV_LOG_ERROR);
    const int seconds = argc > 1 ? std::max(60, atoi(argv[1])) : 360;
    constexpr int kClips = 5;
    constexpr int kPeriod = 45;

    QTemporaryDir dir;
    QList<AVData> clips;
    int expected = 0;
    std::printf("making %d recordings of %d s...\n", kClips, seconds);
    std::fflush(stdout);
    for (int i = 0; i < kClips; ++i) {
        QList<QPair<double, double>> silent, still;
        for (int t = 10; t + 4 < seconds; t += kPeriod) {
            silent.append({t, t + 4});
            still.append({t - 1, t + 5});
            ++expected;
            if (t + 23 < seconds)
                silent.append({t + 20, t + 23});
        }
        AVData clip;
        clip.filePath = dir.filePath(QStringLiteral("lesson%1.mp4").arg(i));
        if (!TestMedia::makePausedRecording(clip.filePath, seconds, silent, still, i % 2 == 0) ||
            !AVRecord::updateMediaInfo(clip)) {
            std::fprintf(stderr, "cannot make %s\n", qPrintable(clip.filePath));
            return 1;
        }
        clip.endTime = clip.duration;
        clips.append(clip);
    }

    auto timeOurs = [&clips](int *found) {
        QElapsedTimer timer;
        timer.start();
        const QList<pauses::Pause> pauses = PauseFinder::findAll(clips, 2000);
        *found = int(pauses.size());
        return timer.nsecsElapsed() / 1e9;
    };
    auto timeTool = [&clips] {
        QElapsedTimer timer;
        timer.start();
        for (const AVData &clip : clips)
            if (!TestMedia::ffmpeg({"-i", clip.filePath, "-map", "0:a", "-f", "null", "-"}, nullptr,
                                   -1))
                return -1.0;
        return timer.nsecsElapsed() / 1e9;
    };
    // The processor time of each too: on a shared machine the wall times wander with the
    // others' load, the work done does not.
    double ours = 1e9, tool = 1e9, oursCpu = 1e9, toolCpu = 1e9;
    int found = 0;
    for (int round = 0; round < 3; ++round) {
        const double toolCpuBefore = BenchTools::childCpuSeconds();
        const double t = timeTool();
        if (t < 0) {
            std::fprintf(stderr, "the ffmpeg tool failed\n");
            return 1;
        }
        const double tc = BenchTools::childCpuSeconds() - toolCpuBefore;
        const double ownCpuBefore = BenchTools::ownCpuSeconds();
        const double o = timeOurs(&found);
        const double oc = BenchTools::ownCpuSeconds() - ownCpuBefore;
        tool = std::min(tool, t);
        ours = std::min(ours, o);
        toolCpu = std::min(toolCpu, tc);
        oursCpu = std::min(oursCpu, oc);
        std::printf("round %d: tool %.2f s (cpu %.2f s), 查找停顿 %.2f s (cpu %.2f s)\n", round + 1,
                    t, tc, o, oc);
        std::fflush(stdout);
    }
    std::printf("lesson: %d clips, %d s, %d pauses made, %d found\n", kClips, kClips * seconds,
                expected, found);
    std::printf("ffmpeg tool decoding the sound: %.2f s\n", tool);
    std::printf("查找停顿: %.2f s\n", ours);
    std::printf("processor time: tool %.2f s, 查找停顿 %.2f s\n", toolCpu, oursCpu);
    std::printf("pauses_vs_decode=%.2f\n", ours / tool);
    return found == expected ? 0 : 1;
}
