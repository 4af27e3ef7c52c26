// Export speed against one ffmpeg command doing the same job.
//
//   bench_export [total seconds, default 60]
//
// Generates a 1280x720 and a 1920x1080 clip with sound, uses a trimmed span of each (half of
// the total each), exports them with ExportManager and, in the same run, with one ffmpeg
// command (720p padded to 1080p on white, concat, libx264 veryfast zerolatency at the same
// crf, AAC). Checks that both outputs decode without errors and prints the times; the last
// line is export_vs_ffmpeg=<our time / ffmpeg time>. The aim is 1.0 or less.
#include "core/export/exportcliplist.h"
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

#include <cstdio>

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

    const QString ours = dir.filePath("ours.mp4");
    ExportManager manager;
    QEventLoop loop;
    bool ok = false;
    QObject::connect(&manager, &ExportManager::sig_ExportFinished, &loop, [&](bool success) {
        ok = success;
        loop.quit();
    });
    QElapsedTimer timer;
    timer.start();
    manager.exportClipsToFile(clips, ours);
    loop.exec();
    const double oursSeconds = timer.elapsed() / 1000.0;
    if (!ok) {
        std::fprintf(stderr, "export failed: %s\n", qPrintable(manager.errorText()));
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
    timer.restart();
    const bool refOk = TestMedia::ffmpeg(args, nullptr, -1);
    const double ffmpegSeconds = timer.elapsed() / 1000.0;
    if (!refOk) {
        std::fprintf(stderr, "the ffmpeg command failed\n");
        return 1;
    }

    const bool oursClean = MediaReadback::decodeErrors(ours).isEmpty();
    const bool refClean = MediaReadback::decodeErrors(reference).isEmpty();
    std::printf("project: %d s (1280x720 and 1920x1080, trimmed), crf %s\n", total,
                qPrintable(crf));
    std::printf("our export:     %.2f s, %s\n", oursSeconds,
                oursClean ? "decodes cleanly" : "DECODE ERRORS");
    std::printf("ffmpeg command: %.2f s, %s\n", ffmpegSeconds,
                refClean ? "decodes cleanly" : "DECODE ERRORS");
    std::printf("export_vs_ffmpeg=%.3f\n", oursSeconds / ffmpegSeconds);
    return oursClean && refClean ? 0 : 1;
}
