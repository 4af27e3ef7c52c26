// Export speed against one ffmpeg command doing the same job, and what levelling the sound
// ("统一音量") adds to it.
//
//   bench_export [total seconds, default 60]
//
// Generates a 1280x720 and a 1920x1080 clip with sound, uses a trimmed span of each (half of
// the total each), exports them with ExportManager and, in the same run, with one ffmpeg
// command (720p padded to 1080p on white, concat, libx264 veryfast zerolatency at the same
// crf, AAC); and exports them with the sound brought to -16 LUFS (its tone is quieter, so the
// measuring pass, the limiter and the AAC encoder all run), taking turns with the plain export
// twice. Checks that the outputs decode without errors and prints the times (the faster of
// each pair); the last line is
// export_vs_ffmpeg=<our time / ffmpeg time> loudness_cost=<levelled time / our time>. The
// aims are 1.0 or less and 1.15 or less.
#include "core/export/exportcliplist.h"
#include "core/export/exportloudness.h"
#include "core/export/exportmanager.h"
#include "core/media/avrecord.h"
#include "core/media/h264settings.h"
#include "support/benchtools.h"
#include "support/mediareadback.h"
#include "support/testmedia.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLoggingCategory>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <optional>

extern "C" {
#include <libavutil/log.h>
}

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false\n*.info=false"));
    av_log_set_level(AV_LOG_ERROR);
    const int total = argc > 1 ? qMax(4, atoi(argv[1])) : 60;
    const int half = total / 2;
    const int skip = 5;

    QTemporaryDir dir;
    const QString small = dir.filePath("clip720.mp4"), large = dir.filePath("clip1080.mp4");
    std::printf("generating two clips of %d s...\n", half + 2 * skip);
    std::fflush(stdout);
    if (!TestMedia::makeClip(small, half + 2 * skip, QSize(1280, 720), true, 25, "testsrc2",
                             "veryfast") ||
        !TestMedia::makeClip(large, half + 2 * skip, QSize(1920, 1080), true, 25, "testsrc2",
                             "veryfast")) {
        std::fprintf(stderr, "cannot generate the clips\n");
        return 1;
    }

    QList<AVData> clips;
    for (const QString &file : {small, large}) {
        AVData clip;
        clip.filePath = file;
        AVRecord::updateMediaInfo(clip);
        clip.beginTime = skip * 1000;
        clip.endTime = (skip + half) * 1000;
        clips.append(clip);
    }

    // One export; its time in seconds, -1 when it failed.
    auto exportOnce = [&clips](const QString &out, std::optional<double> loudnessLufs,
                               std::optional<double> *gainDb) {
        ExportManager manager;
        manager.setLoudness(loudnessLufs);
        QEventLoop loop;
        bool ok = false;
        QObject::connect(&manager, &ExportManager::sig_ExportFinished, &loop, [&](bool success) {
            ok = success;
            loop.quit();
        });
        QElapsedTimer timer;
        timer.start();
        manager.exportClipsToFile(clips, out);
        loop.exec();
        if (!ok)
            std::fprintf(stderr, "export failed: %s\n", qPrintable(manager.errorText()));
        *gainDb = manager.appliedGainDb();
        return ok ? timer.elapsed() / 1000.0 : -1.0;
    };
    // The exports with and without the level take turns, twice, and the faster of each pair
    // counts: on a shared machine that keeps the other programs' load out of the ratio.
    const QString ours = dir.filePath("ours.mp4");
    const QString levelled = dir.filePath("levelled.mp4");
    std::optional<double> gainDb, unused;
    double oursSeconds = 1e9, levelledSeconds = 1e9;
    for (int round = 0; round < 2; ++round) {
        const double plain = exportOnce(ours, std::nullopt, &unused);
        const double level = exportOnce(levelled, loudness::kTargetLufs, &gainDb);
        if (plain < 0 || level < 0)
            return 1;
        oursSeconds = std::min(oursSeconds, plain);
        levelledSeconds = std::min(levelledSeconds, level);
    }
    if (!gainDb) {
        std::fprintf(stderr, "the levelled export left the sound as it was\n");
        return 1;
    }

    const QString crf = h264::crfFor(1920, 1080);
    const QString reference = dir.filePath("ffmpeg.mp4");
    const QString graph = "[0:v]pad=1920:1080:(ow-iw)/2:(oh-ih)/2:color=white,setsar=1[v0];"
                          "[1:v]setsar=1[v1];[v0][0:a][v1][1:a]concat=n=2:v=1:a=1[v][a]";
    QStringList args;
    for (const QString &input : {small, large})
        args += {"-ss", QString::number(skip), "-t", QString::number(half), "-i", input};
    args += {"-filter_complex", graph, "-map", "[v]", "-map", "[a]"};
    args += BenchTools::encoderArguments(crf);
    args += reference;
    QElapsedTimer timer;
    timer.start();
    const bool refOk = TestMedia::ffmpeg(args, nullptr, -1);
    const double ffmpegSeconds = timer.elapsed() / 1000.0;
    if (!refOk) {
        std::fprintf(stderr, "the ffmpeg command failed\n");
        return 1;
    }

    const bool oursClean = MediaReadback::decodeErrors(ours).isEmpty();
    const bool levelledClean = MediaReadback::decodeErrors(levelled).isEmpty();
    const bool refClean = MediaReadback::decodeErrors(reference).isEmpty();
    std::printf("project: %d s (1280x720 and 1920x1080, trimmed), crf %s\n", total,
                qPrintable(crf));
    std::printf("our export:     %.2f s, %s\n", oursSeconds,
                oursClean ? "decodes cleanly" : "DECODE ERRORS");
    std::printf("ffmpeg command: %.2f s, %s\n", ffmpegSeconds,
                refClean ? "decodes cleanly" : "DECODE ERRORS");
    std::printf("levelled export: %.2f s (gain %.1f dB to %.0f LUFS), %s\n", levelledSeconds,
                *gainDb, loudness::kTargetLufs,
                levelledClean ? "decodes cleanly" : "DECODE ERRORS");
    std::printf("export_vs_ffmpeg=%.3f loudness_cost=%.3f\n", oursSeconds / ffmpegSeconds,
                levelledSeconds / oursSeconds);
    return oursClean && refClean && levelledClean ? 0 : 1;
}
