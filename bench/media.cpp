// Import and waveform speed against the ffmpeg tool alone.
//   media
// (a) Imports a generated 60 s 1280x720 file through AvDatasManager and runs the same ffmpeg
//     conversion directly, into a new file in the same project folder, started the same way
//     (best of five each, alternating which goes first).
// (b) Makes the waveform strips of 50 consecutive clips of a generated one-hour sound file
//     through AvShowManager, and runs the one showwavespic command for the whole file.
//     (three rounds each, alternating).
// Prints the timings, the median of the rounds' ratios, and last the ratios of the best times:
// import_vs_ffmpeg=<ratio> waveform50_vs_one=<ratio> (aims: 1.05 or less, 1.5 or less).
#include "core/media/avdatasmanager.h"
#include "core/media/avshowmanager.h"
#include "core/media/ffmpegtool.h"
#include "core/project/projectdata.h"
#include "support/benchtools.h"
#include "support/testmedia.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPixmapCache>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

namespace {

// Runs `measure` (wall seconds, negative on failure) and gives the tool's processor time too:
// on a shared machine the wall time wanders with the others' load, the tool's own work not.
double withCpu(const std::function<double()> &measure, double *cpu)
{
    const double before = BenchTools::childCpuSeconds();
    const double seconds = measure();
    *cpu = BenchTools::childCpuSeconds() - before;
    return seconds;
}

// The ffmpeg tool making the media, however long it takes.
bool tool(const QStringList &args)
{
    return TestMedia::ffmpeg(args, nullptr, -1);
}

// Runs the tool exactly as the program starts it (output merged and read, nothing typed in),
// without the program around it. `target`, the file it writes, is removed afterwards, as the
// import's own file is, so that every run writes a new file.
double timeDirect(const QStringList &args, const QString &target = QString())
{
    QElapsedTimer clock;
    clock.start();
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    QObject::connect(&p, &QProcess::readyReadStandardOutput, &p,
                     [&p] { p.readAllStandardOutput(); });
    p.start(FfmpegTool::program(), args, QIODevice::ReadWrite);
    if (p.waitForStarted(30000))
        p.closeWriteChannel();
    p.waitForFinished(-1);
    const double seconds = clock.elapsed() / 1000.0;
    if (!target.isEmpty())
        QFile::remove(target);
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        std::fprintf(stderr, "direct ffmpeg failed\n");
        return -1;
    }
    return seconds;
}

double timeImport(const QString &source)
{
    ProjectData::instance()->clear();
    AvDatasManager manager;
    bool ok = false;
    QEventLoop loop;
    QObject::connect(&manager, &AvDatasManager::sig_ExecFinished, &loop,
                     [&](bool result, const QString &) {
                         ok = result;
                         loop.quit();
                     });
    QElapsedTimer clock;
    clock.start();
    if (manager.addVideoFile(source, AVData(), -1) != 1)
        return -1;
    loop.exec();
    const double seconds = clock.elapsed() / 1000.0;
    if (!ok) {
        std::fprintf(stderr, "import failed\n");
        return -1;
    }
    for (const AVData &d : ProjectData::instance()->avDatas())
        QFile::remove(d.filePath);
    return seconds;
}

// The 50 waveform strips of consecutive clips over `hour`, made from scratch: no picture
// files and no cached pixmaps from an earlier round.
double timeStrips(const QString &hour, qint64 hourMs)
{
    const auto forget = [&hour] {
        const QFileInfo media(hour);
        for (const QString &name : media.dir().entryList({media.fileName() + "_*"}, QDir::Files))
            QFile::remove(media.dir().filePath(name));
        QPixmapCache::clear();
    };
    forget();
    std::vector<std::unique_ptr<AvShowManager>> managers;
    int done = 0;
    QEventLoop loop;
    QElapsedTimer clock;
    clock.start();
    const qint64 step = hourMs / 50;
    for (int i = 0; i < 50; ++i) {
        AVData clip;
        clip.filePath = hour;
        clip.duration = hourMs;
        clip.beginTime = i * step;
        clip.endTime = (i + 1) * step;
        managers.push_back(std::make_unique<AvShowManager>(clip));
        QObject::connect(
            managers.back().get(), &AvShowManager::onLoadSpectrumFinish, &loop,
            [&] {
                if (++done == 50)
                    loop.quit();
            },
            Qt::QueuedConnection);
        QPixmap strip;
        managers.back()->getSpectrum(strip);
    }
    QTimer::singleShot(600000, &loop, &QEventLoop::quit);
    loop.exec();
    const double seconds = clock.elapsed() / 1000.0;
    managers.clear();
    forget();
    if (done != 50) {
        std::fprintf(stderr, "only %d of 50 strips were made\n", done);
        return -1;
    }
    return seconds;
}

// Each round runs both sides back to back; the median of the rounds' ratios is shown beside the
// ratio of the best times. The others' load only ever adds time, so the best times are judged.
double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    QTemporaryDir dir;
    const QString projectDir = dir.filePath("project") + "/";
    QDir().mkpath(projectDir);
    ProjectData::instance()->setProjectDir(projectDir);

    // (a) import
    const QString video = dir.filePath("sixty.mp4");
    if (!tool({"-f", "lavfi", "-i", "testsrc2=size=1280x720:rate=25", "-f", "lavfi", "-i",
               "sine=frequency=440:sample_rate=48000", "-t", "60", "-c:v", "libx264", "-preset",
               "veryfast", "-pix_fmt", "yuv420p", "-c:a", "aac", video})) {
        std::fprintf(stderr, "could not make the 60 s file\n");
        return 1;
    }
    // Next to where the import writes its file, on the same disk.
    const QString directTarget = projectDir + "direct.mp4";
    const QStringList directArgs = AvDatasManager::transcodeArguments(video, directTarget);
    double direct = 1e9, imported = 1e9;
    std::vector<double> importRatios;
    // The machine is shared: five rounds, alternating which runs first.
    for (int round = 0; round < 5; ++round) {
        double d = 0, i = 0, dCpu = 0, iCpu = 0;
        const auto runDirect = [&] {
            d = withCpu([&] { return timeDirect(directArgs, directTarget); }, &dCpu);
        };
        const auto runImport = [&] { i = withCpu([&] { return timeImport(video); }, &iCpu); };
        if (round % 2 == 0) {
            runDirect();
            runImport();
        } else {
            runImport();
            runDirect();
        }
        if (d < 0 || i < 0)
            return 1;
        direct = qMin(direct, d);
        imported = qMin(imported, i);
        importRatios.push_back(i / d);
        std::printf("import round %d: ffmpeg %.2f s (tool cpu %.2f s), AvDatasManager %.2f s "
                    "(tool cpu %.2f s)\n",
                    round + 1, d, dCpu, i, iCpu);
        std::fflush(stdout);
    }

    // (b) waveform strips of 50 clips over one hour
    const QString piece = dir.filePath("piece.m4a");
    const QString hour = dir.filePath("hour.m4a");
    if (!tool({"-f", "lavfi", "-i", "sine=frequency=300:sample_rate=44100:d=60", "-af",
               "volume='0.5+0.5*sin(t)':eval=frame", "-c:a", "aac", "-ac", "2", piece}) ||
        !tool({"-stream_loop", "59", "-i", piece, "-c", "copy", hour})) {
        std::fprintf(stderr, "could not make the one-hour file\n");
        return 1;
    }
    const qint64 hourMs = 3600000;
    const QString onePicture = dir.filePath("one.jpg");
    const QStringList oneArgs = AvShowManager::spectrumArguments(hour, hourMs, onePicture);
    std::vector<double> waveRatios;
    double one = 1e9, fifty = 1e9;
    for (int round = 0; round < 3; ++round) {
        double o = 0, f = 0;
        if (round % 2 == 0) {
            o = timeDirect(oneArgs, onePicture);
            f = timeStrips(hour, hourMs);
        } else {
            f = timeStrips(hour, hourMs);
            o = timeDirect(oneArgs, onePicture);
        }
        if (o < 0 || f < 0)
            return 1;
        one = qMin(one, o);
        fifty = qMin(fifty, f);
        waveRatios.push_back(f / o);
        std::printf("waveform round %d: one ffmpeg run %.2f s, 50 clip strips %.2f s\n", round + 1,
                    o, f);
        std::fflush(stdout);
    }
    std::printf("median of the rounds' ratios: import %.3f, waveform %.3f\n", median(importRatios),
                median(waveRatios));
    std::printf("import_vs_ffmpeg=%.3f waveform50_vs_one=%.3f\n", imported / direct, fifty / one);
    return 0;
}
