// Exports of generated projects, read back with the FFmpeg libraries: picture sizes and
// placement, clip order, trimming, sound copied, transcoded or made silent, timestamps and a
// clean decode; failures, cancel and the copy of a single untrimmed clip (index first, with
// its chapter); the sound brought to the level, measured with the ffmpeg tool.
#include "core/export/exportloudness.h"
#include "core/export/exportmanager.h"
#include "core/media/avrecord.h"
#include "core/project/projectdata.h"
#include "support/datatable.h"
#include "support/mediareadback.h"
#include "support/mp4boxes.h"
#include "support/mp4chapters.h"
#include "support/smalldisk.h"
#include "support/testmedia.h"

#include <QColor>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <optional>

namespace {

struct ClipSpan
{
    QString file;
    qint64 beginMs = 0;
    qint64 endMs = -1;  // -1: to the end of the file
};

struct Probe
{
    double time;
    QPoint point;
    QColor colour;
};

struct SoundSpan
{
    double from;
    double to;
    bool audible;
};

bool near(const QColor &a, const QColor &b)
{
    return std::abs(a.red() - b.red()) < 48 && std::abs(a.green() - b.green()) < 48 &&
           std::abs(a.blue() - b.blue()) < 48;
}

}  // namespace

Q_DECLARE_METATYPE(QList<ClipSpan>)
Q_DECLARE_METATYPE(QList<Probe>)
Q_DECLARE_METATYPE(QList<SoundSpan>)

class TestExportManager : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void exportsProject_data();
    void exportsProject();
    void exportsTurnedPicturesUpright_data();
    void exportsTurnedPicturesUpright();
    void clampsSpansToMedia_data();
    void clampsSpansToMedia();
    void copiesWholeSingleClip_data();
    void copiesWholeSingleClip();
    void failsCleanly_data();
    void failsCleanly();
    void cancels_data();
    void cancels();
    void levelsLoudness_data();
    void levelsLoudness();

private:
    QString media(const QString &name) const { return m_dir.filePath(name); }
    QList<AVData> clipsFor(const QList<ClipSpan> &spans) const;
    // Runs one export of `clips` to `out`; true when a result signal came in time.
    bool runExport(ExportManager &manager, const QList<AVData> &clips, const QString &out);

    QTemporaryDir m_dir;
    ProjectData m_project;  // the project the exports read, not the program's own
};

// A lavfi picture `video` (H.264 unless `codecs` name another) with the lavfi input `audio`
// (none when empty), encoded with `codecs`.
static bool makeVideo(const QString &path, double seconds, const QString &video,
                      const QStringList &audio, const QStringList &codecs)
{
    QStringList args{"-f", "lavfi", "-i", video};
    if (!audio.isEmpty())
        args += audio;
    args +=
        {"-t",     QString::number(seconds), "-c:v", "libx264", "-preset", "ultrafast", "-pix_fmt",
         "yuv420p"};
    args += codecs;
    args += path;
    QString error;
    const bool ok = TestMedia::ffmpeg(args, &error);
    if (!ok)
        qWarning() << "ffmpeg:" << error;
    return ok;
}

void TestExportManager::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(TestMedia::makeClip(media("red720.mp4"), 2, QSize(1280, 720), true, 25, "color=c=red"));
    QVERIFY(
        TestMedia::makeClip(media("blue1080.mp4"), 2, QSize(1920, 1080), true, 25, "color=c=blue"));
    QVERIFY(TestMedia::makeClip(media("fast60.mp4"), 1.5, QSize(1280, 720), true, 60,
                                "color=c=yellow"));
    QVERIFY(TestMedia::makeClip(media("green_silent.mp4"), 1.5, QSize(1920, 1080), false, 25,
                                "color=c=green"));
    const QStringList tone{"-f", "lavfi", "-i", "sine=frequency=440:sample_rate=44100"};
    const QStringList aac{"-c:a", "aac", "-ar", "44100", "-ac", "2"};
    // Yellow for one second, then magenta.
    QVERIFY(makeVideo(media("twotone.mp4"), 2,
                      "color=c=yellow:size=1280x720:rate=25,"
                      "drawbox=c=magenta:t=fill:enable='gte(t,1)'",
                      tone, aac));
    // Black with a white flash and a beep made together at 1.0 s, silent otherwise.
    QVERIFY(makeVideo(media("flash.mp4"), 2,
                      "color=c=black:size=1280x720:rate=25,"
                      "drawbox=c=white:t=fill:enable='between(t,1,1.2)'",
                      {"-f", "lavfi", "-i",
                       "sine=frequency=1000:sample_rate=44100,"
                       "volume=volume=0:enable='not(between(t,1,1.2))'"},
                      aac));
    // Sound the output cannot take as it is.
    QVERIFY(makeVideo(media("aac48k_mono.mp4"), 2, "color=c=cyan:size=1280x720:rate=25", tone,
                      {"-c:a", "aac", "-ar", "48000", "-ac", "1"}));
    QVERIFY(makeVideo(media("ac3.mp4"), 2, "color=c=cyan:size=1280x720:rate=25", tone,
                      {"-c:a", "ac3", "-ar", "48000", "-ac", "2"}));
    QVERIFY(makeVideo(media("pcm22k.mkv"), 2, "color=c=cyan:size=1280x720:rate=25", tone,
                      {"-c:a", "pcm_s16le", "-ar", "22050", "-ac", "1"}));
    // AAC packets that do not all decode (about one in eight damaged).
    QVERIFY(makeVideo(media("tone.mp4"), 2, "color=c=cyan:size=1280x720:rate=25", tone, aac));
    QVERIFY(TestMedia::ffmpeg({"-i", media("tone.mp4"), "-c", "copy", "-bsf:a", "noise=amount=3000",
                               media("damaged_sound.mp4")}));
    QVERIFY(!MediaReadback::decodeErrors(media("damaged_sound.mp4")).isEmpty());
    // Whole files that are no MP4 of H.264 and AAC as the export writes it.
    QVERIFY(makeVideo(media("old.mpg"), 2, "color=c=cyan:size=720x576:rate=25", tone,
                      {"-c:v", "mpeg2video", "-c:a", "mp2", "-f", "mpeg"}));
    QVERIFY(makeVideo(media("hevc.mp4"), 2, "color=c=cyan:size=640x360:rate=25", tone,
                      {"-c:v", "libx265", "-x265-params", "log-level=error", "-tag:v", "hvc1",
                       "-c:a", "aac", "-ac", "2"}));
    QFile text(media("notvideo.mp4"));
    QVERIFY(text.open(QIODevice::WriteOnly));
    text.write("this is not a video\n");
}

QList<AVData> TestExportManager::clipsFor(const QList<ClipSpan> &spans) const
{
    QList<AVData> clips;
    for (const ClipSpan &span : spans) {
        AVData clip;
        clip.fileName = span.file;
        clip.filePath = media(span.file);
        AVRecord::updateMediaInfo(clip);
        clip.beginTime = span.beginMs;
        clip.endTime = span.endMs < 0 ? clip.duration : span.endMs;
        clips.append(clip);
    }
    return clips;
}

bool TestExportManager::runExport(ExportManager &manager, const QList<AVData> &clips,
                                  const QString &out)
{
    m_project.setAvDatas(clips);
    QSignalSpy finished(&manager, &ExportManager::sig_ExportFinished);
    QSignalSpy canceled(&manager, &ExportManager::sig_ExportCanceled);
    manager.exportToFile(out);
    return QTest::qWaitFor([&] { return finished.count() + canceled.count() > 0; }, 240000);
}

void TestExportManager::exportsProject_data()
{
    // flashAt: output time of a flash and beep made together
    DataTable::columns<QList<ClipSpan>, QSize, QList<Probe>, QList<SoundSpan>, double>(
        "spans", "size", "probes", "sounds", "flashAt");

    const QColor white(255, 255, 255), red(255, 0, 0), blue(0, 0, 255), green(0, 128, 0),
        yellow(255, 255, 0), magenta(255, 0, 255), cyan(0, 255, 255);

    QTest::newRow("720p centred on white before 1080p")
        << QList<ClipSpan>{{"red720.mp4", 0, 1500}, {"blue1080.mp4", 0, 1500}} << QSize(1920, 1080)
        << QList<Probe>{{0.5, {960, 540}, red},    {0.5, {322, 182}, red},
                        {0.5, {317, 177}, white},  {0.5, {1597, 897}, red},
                        {0.5, {1603, 903}, white}, {0.5, {10, 10}, white},
                        {2.2, {10, 10}, blue},     {2.2, {1910, 1070}, blue}}
        << QList<SoundSpan>{{0.05, 1.45, true}, {1.55, 2.95, true}} << -1.0;
    QTest::newRow("adjacent spans of one file and a trimmed clip")
        << QList<ClipSpan>{{"twotone.mp4", 0, 1000},
                           {"twotone.mp4", 1000, 2000},
                           {"blue1080.mp4", 500, 1300}}
        << QSize(1920, 1080)
        << QList<Probe>{{0.5, {960, 540}, yellow},
                        {1.5, {960, 540}, magenta},
                        {2.4, {960, 540}, blue},
                        {2.4, {10, 10}, blue}}
        << QList<SoundSpan>{{0.05, 2.75, true}} << -1.0;
    QTest::newRow("clip without sound gets silence")
        << QList<ClipSpan>{{"red720.mp4", 0, 1000},
                           {"green_silent.mp4", 0, -1},
                           {"blue1080.mp4", 0, 1000}}
        << QSize(1920, 1080)
        << QList<Probe>{{0.5, {960, 540}, red}, {1.7, {960, 540}, green}, {3.0, {960, 540}, blue}}
        << QList<SoundSpan>{{0.1, 0.9, true}, {1.05, 2.45, false}, {2.6, 3.4, true}} << -1.0;
    QTest::newRow("flash and beep stay together")
        << QList<ClipSpan>{{"blue1080.mp4", 0, 700}, {"flash.mp4", 600, 1800}} << QSize(1920, 1080)
        << QList<Probe>{{0.3, {960, 540}, blue},
                        {0.9, {960, 540}, QColor(0, 0, 0)},
                        {1.2, {960, 540}, white},
                        {1.2, {10, 10}, white}}
        << QList<SoundSpan>{{0.05, 0.65, true}, {0.75, 1.05, false}} << 1.1;
    // 60 pictures a second onto the 30 a second output: every other one is left out.
    QTest::newRow("faster picture rate than the output")
        << QList<ClipSpan>{{"fast60.mp4", 0, 1000}, {"red720.mp4", 0, 1000}} << QSize(1280, 720)
        << QList<Probe>{{0.5, {640, 360}, yellow}, {1.5, {640, 360}, red}}
        << QList<SoundSpan>{{0.05, 1.95, true}} << -1.0;
    QTest::newRow("damaged sound")
        << QList<ClipSpan>{{"blue1080.mp4", 0, 1000}, {"damaged_sound.mp4", 0, 2000}}
        << QSize(1920, 1080) << QList<Probe>{{1.5, {960, 540}, cyan}}
        << QList<SoundSpan>{{0.1, 0.9, true}} << -1.0;
    const QList<SoundSpan> toneAfterTone{{0.1, 0.9, true}, {1.1, 2.4, true}};
    for (const char *file : {"aac48k_mono.mp4", "ac3.mp4", "pcm22k.mkv"}) {
        QTest::newRow(qPrintable(QStringLiteral("sound transcoded from %1").arg(file)))
            << QList<ClipSpan>{{"blue1080.mp4", 0, 1000}, {file, 0, 1500}} << QSize(1920, 1080)
            << QList<Probe>{{1.5, {960, 540}, cyan}} << toneAfterTone << -1.0;
    }
}

void TestExportManager::exportsProject()
{
    const auto [spans, size, probes, sounds, flashAt] =
        DataTable::fetch<QList<ClipSpan>, QSize, QList<Probe>, QList<SoundSpan>, double>(
            "spans", "size", "probes", "sounds", "flashAt");

    const QList<AVData> clips = clipsFor(spans);
    qint64 totalMs = 0;
    for (const AVData &clip : clips)
        totalMs += clip.length();
    const double total = totalMs / 1000.0;
    const QString out = m_dir.filePath("export.mp4");
    QFile::remove(out);

    ExportManager manager(nullptr, &m_project);
    QSignalSpy finished(&manager, &ExportManager::sig_ExportFinished);
    QSignalSpy maximum(&manager, &ExportManager::sig_ExportMaxProgress);
    QVERIFY(runExport(manager, clips, out));
    QCOMPARE(finished.count(), 1);
    QCOMPARE(finished.at(0).at(0).toBool(), true);
    QCOMPARE(maximum.count(), 1);
    QCOMPARE(maximum.at(0).at(0).toInt(), int(totalMs / 1000));
    QVERIFY(!QFile::exists(ExportManager::partialPath(out)));

    const MediaReadback::StreamsInfo info = MediaReadback::streams(out);
    QVERIFY(info.opened);
    QCOMPARE(info.videoCodec, QStringLiteral("h264"));
    QCOMPARE(QSize(info.width, info.height), size);
    QCOMPARE(info.audioCodec, QStringLiteral("aac"));
    QCOMPARE(info.sampleRate, 44100);
    QCOMPARE(info.channels, 2);
    QVERIFY2(
        std::abs(info.durationSeconds - total) <= 0.04,
        qPrintable(QStringLiteral("length %1, spans %2").arg(info.durationSeconds).arg(total)));
    QCOMPARE(MediaReadback::decodeErrors(out), QString());

    const MediaReadback::PacketTimes times = MediaReadback::videoPacketTimes(out);
    QVERIFY(times.pts.size() > 10);
    for (int i = 1; i < times.pts.size(); ++i) {
        QVERIFY2(times.pts[i] > times.pts[i - 1], qPrintable(QString::number(i)));
        QVERIFY2(times.dts[i] > times.dts[i - 1], qPrintable(QString::number(i)));
    }

    // Pictures: the probes hit the expected colours, and the last picture ends with the spans.
    QList<Probe> pending = probes;
    double lastPicture = -1;
    double firstFlash = -1;
    int wrong = 0;
    QVERIFY(
        MediaReadback::forEachPicture(out, [&, flashAt = flashAt](double t, const QImage &image) {
            lastPicture = t;
            for (int i = pending.size() - 1; i >= 0; --i) {
                // The first picture at or after the probe's time is the one shown then.
                if (t < pending[i].time - 0.001)
                    continue;
                const QColor got = image.pixelColor(pending[i].point);
                if (!near(got, pending[i].colour)) {
                    qWarning() << "at" << t << pending[i].point << "got" << got << "expected"
                               << pending[i].colour;
                    ++wrong;
                }
                pending.removeAt(i);
            }
            if (flashAt > 0 && firstFlash < 0 && t > flashAt - 0.3 &&
                qGray(image.pixel(image.width() / 2, image.height() / 2)) > 200)
                firstFlash = t;
        }));
    QVERIFY2(pending.isEmpty(), "no picture at a probed time");
    QCOMPARE(wrong, 0);
    QVERIFY2(std::abs(lastPicture + 1.0 / 30 - total) <= 0.04,
             qPrintable(QStringLiteral("last picture %1, spans %2").arg(lastPicture).arg(total)));

    // Sound: one format throughout, tone where the clips have tone, silence where they have none.
    const MediaReadback::Sound sound = MediaReadback::sound(out);
    QCOMPARE(sound.sampleRate, 44100);
    for (int i = 0; i < sound.frameRates.size(); ++i) {
        QCOMPARE(sound.frameRates[i], 44100);
        QCOMPARE(sound.frameChannels[i], 2);
    }
    const double soundEnd = sound.startSeconds + sound.samples.size() / 44100.0;
    QVERIFY2(sound.startSeconds <= 0.03 && soundEnd >= total - 0.03,
             qPrintable(QStringLiteral("sound %1..%2").arg(sound.startSeconds).arg(soundEnd)));
    auto sampleAt = [&](double t) { return int((t - sound.startSeconds) * 44100); };
    for (const SoundSpan &span : sounds) {
        double energy = 0, peak = 0;
        const int from = sampleAt(span.from), to = sampleAt(span.to);
        QVERIFY(from >= 0 && to <= sound.samples.size());
        for (int i = from; i < to; ++i) {
            energy += double(sound.samples[i]) * sound.samples[i];
            peak = std::max(peak, double(std::abs(sound.samples[i])));
        }
        const double rms = std::sqrt(energy / std::max(1, to - from));
        if (span.audible)
            QVERIFY2(
                rms > 0.05,
                qPrintable(
                    QStringLiteral("quiet %1..%2: rms %3").arg(span.from).arg(span.to).arg(rms)));
        else
            QVERIFY2(peak < 0.01, qPrintable(QStringLiteral("not silent %1..%2: peak %3")
                                                 .arg(span.from)
                                                 .arg(span.to)
                                                 .arg(peak)));
    }
    if (flashAt > 0) {
        double beep = -1;
        for (int i = std::max(0, sampleAt(flashAt - 0.3)); i < sound.samples.size(); ++i) {
            if (std::abs(sound.samples[i]) > 0.05) {
                beep = sound.startSeconds + i / 44100.0;
                break;
            }
        }
        QVERIFY2(std::abs(firstFlash - flashAt) <= 0.045 && std::abs(beep - firstFlash) <= 0.045,
                 qPrintable(QStringLiteral("flash %1, beep %2").arg(firstFlash).arg(beep)));
    }
}

void TestExportManager::exportsTurnedPicturesUpright_data()
{
    // The "rotate" tag written, and the filter that stores the upright picture so that a
    // player, turning it as the tag says, shows it upright again.
    DataTable::columns<int, QString>("degrees", "storing");
    QTest::newRow("rotate=0") << 0 << "null";
    QTest::newRow("rotate=90") << 90 << "transpose=clock";
    QTest::newRow("rotate=180") << 180 << "hflip,vflip";
    QTest::newRow("rotate=270") << 270 << "transpose=cclock";
}

void TestExportManager::exportsTurnedPicturesUpright()
{
    const auto [degrees, storing] = DataTable::fetch<int, QString>("degrees", "storing");
    // Upright: 320×240 blue with a red top-left corner. Stored turned back and marked with the
    // turn, as a phone stores a video shot on its side.
    const QString plain = media(QStringLiteral("plain%1.mkv").arg(degrees));
    const QString turned = media(QStringLiteral("turned%1.mp4").arg(degrees));
    QVERIFY(TestMedia::ffmpeg({"-f", "lavfi", "-i",
                               "color=c=blue:size=320x240:rate=25,"
                               "drawbox=x=0:y=0:w=80:h=60:c=red:t=fill," +
                                   storing,
                               "-t", "1", "-c:v", "libx264", "-preset", "ultrafast", "-pix_fmt",
                               "yuv420p", plain}));
    QVERIFY(TestMedia::ffmpeg({"-i", plain, "-c", "copy", "-metadata:s:v:0",
                               QStringLiteral("rotate=%1").arg(degrees), turned}));
    auto upright = [](const QImage &image) {
        return image.size() == QSize(320, 240) && near(image.pixelColor(20, 15), Qt::red) &&
               near(image.pixelColor(300, 15), Qt::blue) &&
               near(image.pixelColor(20, 225), Qt::blue);
    };
    // The ffmpeg tool shows it upright, as players do.
    const QString shown = media(QStringLiteral("shown%1.png").arg(degrees));
    QVERIFY(TestMedia::ffmpeg({"-i", turned, "-frames:v", "1", shown}));
    QVERIFY(upright(QImage(shown)));

    // Trimmed and alone, so the picture is decoded and placed on a canvas of the clip's size.
    QList<AVData> clips = clipsFor({{QFileInfo(turned).fileName(), 0, 800}});
    QCOMPARE(QSize(clips[0].videoWidth, clips[0].videoHeight), QSize(320, 240));
    const QString out = m_dir.filePath("upright.mp4");
    QFile::remove(out);
    ExportManager manager(nullptr, &m_project);
    QSignalSpy finished(&manager, &ExportManager::sig_ExportFinished);
    QVERIFY(runExport(manager, clips, out));
    QCOMPARE(finished.count(), 1);
    QVERIFY2(finished.at(0).at(0).toBool(), qPrintable(manager.errorText()));
    const MediaReadback::StreamsInfo info = MediaReadback::streams(out);
    QCOMPARE(QSize(info.width, info.height), QSize(320, 240));
    int pictures = 0, wrong = 0;
    QVERIFY(MediaReadback::forEachPicture(out, [&](double, const QImage &image) {
        ++pictures;
        wrong += upright(image) ? 0 : 1;
    }));
    QVERIFY(pictures > 10);
    QCOMPARE(wrong, 0);
}

void TestExportManager::clampsSpansToMedia_data()
{
    // The span of a 2000 ms clip as a project file may give it, after 1000 ms of another clip.
    // usedMs: -1: refused
    DataTable::columns<qint64, qint64, qint64>("beginMs", "endMs", "usedMs");
    QTest::newRow("two seconds past the end") << qint64(500) << qint64(4000) << qint64(1500);
    QTest::newRow("10^12") << qint64(0) << qint64(1000000000000) << qint64(2000);
    QTest::newRow("2^62 either way") << -(qint64(1) << 62) << (qint64(1) << 62) << qint64(2000);
    QTest::newRow("64-bit limits")
        << std::numeric_limits<qint64>::min() << std::numeric_limits<qint64>::max() << qint64(2000);
    QTest::newRow("starts after the end") << qint64(3000) << qint64(5000) << qint64(-1);
}

void TestExportManager::clampsSpansToMedia()
{
    const auto [beginMs, endMs, usedMs] =
        DataTable::fetch<qint64, qint64, qint64>("beginMs", "endMs", "usedMs");
    QList<AVData> clips = clipsFor({{"red720.mp4", 0, 1000}, {"blue1080.mp4", 0, -1}});
    clips[1].title = QStringLiteral("蓝色片段");
    clips[1].beginTime = beginMs;
    clips[1].endTime = endMs;
    const QString out = m_dir.filePath("spans.mp4");
    QFile::remove(out);

    // Straight to the manager, as `--export` gives it the clips of a project file.
    ExportManager manager(nullptr, &m_project);
    QSignalSpy finished(&manager, &ExportManager::sig_ExportFinished);
    QSignalSpy maximum(&manager, &ExportManager::sig_ExportMaxProgress);
    manager.exportClipsToFile(clips, out);
    QVERIFY(QTest::qWaitFor([&] { return finished.count() > 0; }, 240000));
    QCOMPARE(finished.count(), 1);
    if (usedMs < 0) {
        QCOMPARE(finished.at(0).at(0).toBool(), false);
        QVERIFY2(manager.errorText().contains(QStringLiteral("蓝色片段")),
                 qPrintable(manager.errorText()));
        QVERIFY(!QFile::exists(out));
        return;
    }
    QCOMPARE(finished.at(0).at(0).toBool(), true);
    const double total = (1000 + usedMs) / 1000.0;
    QCOMPARE(maximum.at(0).at(0).toInt(), int(total));
    const MediaReadback::StreamsInfo info = MediaReadback::streams(out);
    QVERIFY2(
        std::abs(info.durationSeconds - total) <= 0.04,
        qPrintable(QStringLiteral("length %1, expected %2").arg(info.durationSeconds).arg(total)));
    QCOMPARE(MediaReadback::decodeErrors(out), QString());
    // No hole: pictures follow each other at the output rate up to the end.
    double last = -1, widestGap = 0;
    QVERIFY(MediaReadback::forEachPicture(out, [&](double t, const QImage &) {
        if (last >= 0)
            widestGap = std::max(widestGap, t - last);
        last = t;
    }));
    QVERIFY2(widestGap < 0.1 && std::abs(last + 1.0 / 30 - total) <= 0.04,
             qPrintable(QStringLiteral("gap %1, last %2").arg(widestGap).arg(last)));
}

void TestExportManager::copiesWholeSingleClip_data()
{
    // byteCopy: the file is copied as it is
    DataTable::columns<QString, bool, QString, bool>("file", "targetExists", "title", "byteCopy");

    // red720.mp4 has its index at the end, red720_fast.mp4 at the front.
    QTest::newRow("index first, no title: copied") << "red720_fast.mp4" << false << "" << true;
    QTest::newRow("replaces an existing file") << "red720_fast.mp4" << true << "" << true;
    QTest::newRow("index last: rewritten") << "red720.mp4" << false << "" << false;
    QTest::newRow("titled: rewritten with its chapter")
        << "red720_fast.mp4" << false << "第1页" << false;
    // Not what an export writes: encoded again into an MP4 of H.264 and AAC.
    QTest::newRow("MPEG program stream") << "old.mpg" << false << "" << false;
    QTest::newRow("HEVC") << "hevc.mp4" << false << "" << false;
    QTest::newRow("AAC at 48000 Hz mono") << "aac48k_mono.mp4" << true << "" << false;
    QTest::newRow("damaged sound") << "damaged_sound.mp4" << false << "" << false;
}

void TestExportManager::copiesWholeSingleClip()
{
    const auto [file, targetExists, title, byteCopy] =
        DataTable::fetch<QString, bool, QString, bool>("file", "targetExists", "title", "byteCopy");
    if (!QFile::exists(media("red720_fast.mp4")))
        QVERIFY(TestMedia::ffmpeg({"-i", media("red720.mp4"), "-c", "copy", "-movflags",
                                   "+faststart", media("red720_fast.mp4")}));
    const QString out = m_dir.filePath("copy.mp4");
    QFile::remove(out);
    if (targetExists) {
        QFile old(out);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old export");
    }
    ExportManager manager(nullptr, &m_project);
    QSignalSpy finished(&manager, &ExportManager::sig_ExportFinished);
    QList<AVData> clips = clipsFor({{file, 0, -1}});
    clips[0].title = title;
    QVERIFY(runExport(manager, clips, out));
    QCOMPARE(finished.count(), 1);
    QCOMPARE(finished.at(0).at(0).toBool(), true);
    QFile source(media(file)), copy(out);
    QVERIFY(source.open(QIODevice::ReadOnly) && copy.open(QIODevice::ReadOnly));
    QCOMPARE(source.readAll() == copy.readAll(), byteCopy);

    // Copied or not: an MP4 of H.264 and AAC-LC 44100 Hz stereo, index first, that decodes
    // cleanly, with its chapter when titled.
    const QStringList boxes = Mp4Boxes::topLevel(out);
    QCOMPARE(boxes.value(0), QStringLiteral("ftyp"));
    QVERIFY2(boxes.indexOf("moov") >= 0 && boxes.indexOf("moov") < boxes.indexOf("mdat"),
             qPrintable(boxes.join(' ')));
    const MediaReadback::StreamsInfo info = MediaReadback::streams(out);
    QCOMPARE(info.videoCodec, QStringLiteral("h264"));
    QCOMPARE(info.audioCodec, QStringLiteral("aac"));
    QCOMPARE(info.sampleRate, 44100);
    QCOMPARE(info.channels, 2);
    QVERIFY2(std::abs(info.durationSeconds - clips.first().duration / 1000.0) <= 0.1,
             qPrintable(QString::number(info.durationSeconds)));
    QCOMPARE(MediaReadback::decodeErrors(out), QString());
    QCOMPARE(Mp4Chapters::summary(out),
             title.isEmpty() ? QStringList() : QStringList{title + "@0.0"});
}

void TestExportManager::failsCleanly_data()
{
    // claimFrom: clip whose size claim is overridden, or -1
    // output: where the export goes: "" beside the clips, over an earlier export; "missing
    //   folder"; "full disk", over an earlier export on a disk with almost no room
    // named: what the message must name
    DataTable::columns<QList<ClipSpan>, int, QSize, QString, QStringList>(
        "spans", "claimFrom", "claimSize", "output", "named");

    QTest::newRow("a clip that is no video")
        << QList<ClipSpan>{{"red720.mp4", 0, 1000}, {"notvideo.mp4", 0, 1000}} << 1
        << QSize(1280, 720) << "" << QStringList{"notvideo.mp4"};
    QTest::newRow("a clip file that is missing")
        << QList<ClipSpan>{{"red720.mp4", 0, 1000}, {"gone.mp4", 0, 1000}} << 1 << QSize(1280, 720)
        << "" << QStringList{"gone.mp4"};
    QTest::newRow("a picture larger than its clip claims")
        << QList<ClipSpan>{{"red720.mp4", 0, 1000}, {"blue1080.mp4", 0, 1000}} << 1
        << QSize(1280, 720) << "" << QStringList{"第2段", "1920×1080", "1280×720"};
    QTest::newRow("an output that cannot be written")
        << QList<ClipSpan>{{"red720.mp4", 0, 1000}, {"blue1080.mp4", 0, 1000}} << -1 << QSize()
        << "missing folder" << QStringList{"missing/folder/out.mp4"};
    QTest::newRow("an output on a full disk")
        << QList<ClipSpan>{{"red720.mp4", 0, 1000}, {"blue1080.mp4", 0, 1000}} << -1 << QSize()
        << "full disk" << QStringList{"磁盘空间不足", "full/out.mp4"};
    QTest::newRow("a single whole clip that is missing")
        << QList<ClipSpan>{{"gone.mp4", 0, 1000}} << 0 << QSize(1280, 720) << ""
        << QStringList{"第1段"};
}

void TestExportManager::failsCleanly()
{
    const auto [spans, claimFrom, claimSize, output, named] =
        DataTable::fetch<QList<ClipSpan>, int, QSize, QString, QStringList>(
            "spans", "claimFrom", "claimSize", "output", "named");

    QList<AVData> clips = clipsFor(spans);
    if (claimFrom >= 0) {
        clips[claimFrom].videoWidth = claimSize.width();
        clips[claimFrom].videoHeight = claimSize.height();
        if (clips[claimFrom].duration <= 0)
            clips[claimFrom].duration = clips[claimFrom].endTime;
        // Named by its title where it has one, else by its file name.
        if (named.first().startsWith(QStringLiteral("第")))
            clips[claimFrom].title = named.first();
    }
    const bool outputInMissingFolder = output == QStringLiteral("missing folder");
    std::unique_ptr<SmallDisk> disk;
    QString out = m_dir.filePath("failed.mp4");
    if (outputInMissingFolder)
        out = m_dir.filePath("missing/folder/out.mp4");
    if (output == QStringLiteral("full disk")) {
        QVERIFY(QDir(m_dir.path()).mkpath("full"));
        disk = std::make_unique<SmallDisk>(m_dir.filePath("full"), 1);
        if (!disk->isMounted())
            QSKIP("mounting a tmpfs needs root");
        out = m_dir.filePath("full/out.mp4");
    }
    if (!outputInMissingFolder) {
        QFile old(out);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("earlier export");
    }
    // Beside the earlier export, room for a few kilobytes only.
    if (disk)
        QVERIFY(disk->fillLeaving(16 * 1024));

    ExportManager manager(nullptr, &m_project);
    QSignalSpy finished(&manager, &ExportManager::sig_ExportFinished);
    QSignalSpy canceled(&manager, &ExportManager::sig_ExportCanceled);
    QVERIFY(runExport(manager, clips, out));
    QTest::qWait(100);  // a second result would come now
    QCOMPARE(finished.count(), 1);
    QCOMPARE(finished.at(0).at(0).toBool(), false);
    QCOMPARE(canceled.count(), 0);
    for (const QString &name : named)
        QVERIFY2(manager.errorText().contains(name), qPrintable(manager.errorText()));
    // A clip is named as the teacher knows it, not by the folder the export reads it from.
    QVERIFY2(!output.isEmpty() || !manager.errorText().contains(m_dir.path()),
             qPrintable(manager.errorText()));
    QVERIFY(!QFile::exists(ExportManager::partialPath(out)));
    if (outputInMissingFolder) {
        QVERIFY(!QFile::exists(out));
    } else {
        QFile kept(out);
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), QByteArray("earlier export"));
    }
}

void TestExportManager::cancels_data()
{
    QTest::addColumn<int>("cancelAtSecond");  // -1: at once
    QTest::newRow("at once") << -1;
    QTest::newRow("during the second clip") << 2;
}

void TestExportManager::cancels()
{
    QFETCH(int, cancelAtSecond);
    const QString out = m_dir.filePath("canceled.mp4");
    QFile::remove(out);
    const QList<AVData> clips =
        clipsFor({{"blue1080.mp4", 0, -1}, {"red720.mp4", 0, -1}, {"blue1080.mp4", 0, -1}});
    m_project.setAvDatas(clips);

    ExportManager manager(nullptr, &m_project);
    QSignalSpy finished(&manager, &ExportManager::sig_ExportFinished);
    QSignalSpy canceled(&manager, &ExportManager::sig_ExportCanceled);
    connect(&manager, &ExportManager::sig_ExportProgress, &manager, [&](int seconds) {
        if (cancelAtSecond >= 0 && seconds >= cancelAtSecond)
            manager.cancelExport();
    });
    manager.exportToFile(out);
    if (cancelAtSecond < 0)
        manager.cancelExport();
    QVERIFY(QTest::qWaitFor([&] { return finished.count() + canceled.count() > 0; }, 240000));
    QTest::qWait(200);
    QCOMPARE(canceled.count(), 1);
    QCOMPARE(finished.count(), 0);
    QVERIFY(!QFile::exists(out));
    QVERIFY(!QFile::exists(ExportManager::partialPath(out)));
}

// A voice-like tone (its loudness swells and fades) at `lufs`, silent from 2.4 s until a white
// flash at 3.0 s where it starts again, and, when `clapDb` is given, a 2 ms clap that loud
// (dBFS) at 5.0 s.
static bool makeLevelledRecording(const QString &path, double lufs, std::optional<double> clapDb)
{
    // (Commas inside a filter's option are escaped.)
    const QString voice = "sin(2*PI*220*t)*abs(sin(0.9*t))*(0.4+0.6*abs(sin(3.1*t)))*"
                          "not(between(t\\,2.4\\,2.999))";
    const QString reference = path + ".reference.wav";
    if (!TestMedia::ffmpeg({"-f", "lavfi", "-i",
                            QString("aevalsrc=%1:s=44100:c=stereo:d=7").arg(voice), reference}))
        return false;
    const TestMedia::Loudness measured = TestMedia::measureLoudness(reference);
    QFile::remove(reference);
    if (!measured.ok)
        return false;
    const double gain = std::pow(10.0, (lufs - measured.integratedLufs) / 20.0);
    QString sound = QString("%1*%2").arg(gain).arg(voice);
    if (clapDb)
        sound += QString("+%1*sin(2*PI*1000*t)*between(t\\,5\\,5.002)")
                     .arg(std::pow(10.0, *clapDb / 20.0));
    return makeVideo(path, 7,
                     "color=c=black:size=640x360:rate=25,"
                     "drawbox=c=white:t=fill:enable='between(t,3,3.2)'",
                     {"-f", "lavfi", "-i", QString("aevalsrc=%1:s=44100:c=stereo").arg(sound)},
                     {"-c:a", "aac", "-b:a", "192k", "-ar", "44100", "-ac", "2"});
}

void TestExportManager::levelsLoudness_data()
{
    // lufs: the recording's loudness; clapDb: a clap's peak in it (0: none); levelled: whether
    // the export changes the sound's level
    DataTable::columns<double, double, bool>("lufs", "clapDb", "levelled");
    QTest::newRow("quiet, a clap that the gain would take over full scale")
        << -32.0 << -10.0 << true;
    QTest::newRow("loud") << -9.0 << 0.0 << true;
    QTest::newRow("already at the level: left as it is") << -16.0 << 0.0 << false;
}

void TestExportManager::levelsLoudness()
{
    const auto [lufs, clapDb, levelled] =
        DataTable::fetch<double, double, bool>("lufs", "clapDb", "levelled");
    const QString recording = media(QString("level%1.mp4").arg(int(-lufs)));
    QVERIFY(makeLevelledRecording(recording, lufs,
                                  clapDb < 0 ? std::optional<double>(clapDb) : std::nullopt));
    const TestMedia::Loudness before = TestMedia::measureLoudness(recording);
    QVERIFY(before.ok);
    QVERIFY2(std::abs(before.integratedLufs - lufs) < 0.5,
             qPrintable(QString::number(before.integratedLufs)));

    // The first half second is left out, so the flash comes at 2.5 s of the export.
    const QList<AVData> clips = clipsFor({{QFileInfo(recording).fileName(), 500, -1}});
    const QString out = m_dir.filePath("levelled.mp4");
    QFile::remove(out);
    ExportManager manager(nullptr, &m_project);
    manager.setLoudness(loudness::kTargetLufs);
    QSignalSpy finished(&manager, &ExportManager::sig_ExportFinished);
    QVERIFY(runExport(manager, clips, out));
    QCOMPARE(finished.count(), 1);
    QVERIFY2(finished.at(0).at(0).toBool(), qPrintable(manager.errorText()));
    QCOMPARE(manager.appliedGainDb().has_value(), levelled);

    const TestMedia::Loudness used = TestMedia::measureLoudness(recording, 0.5);
    const TestMedia::Loudness after = TestMedia::measureLoudness(out);
    QVERIFY(after.ok);
    const QString figures = QString("used span %1 LUFS %2 dBTP, export %3 LUFS %4 dBTP")
                                .arg(used.integratedLufs)
                                .arg(used.truePeakDb)
                                .arg(after.integratedLufs)
                                .arg(after.truePeakDb);
    QVERIFY2(std::abs(after.integratedLufs - loudness::kTargetLufs) <= 1.0, qPrintable(figures));
    QVERIFY2(after.truePeakDb <= loudness::kTruePeakDb, qPrintable(figures));
    if (!levelled)
        QVERIFY2(std::abs(after.integratedLufs - used.integratedLufs) <= 0.2 &&
                     std::abs(after.truePeakDb - used.truePeakDb) <= 0.2,
                 qPrintable(figures));

    // Sound and picture still in step: the tone starts again with the flash.
    double flash = -1;
    QVERIFY(MediaReadback::forEachPicture(out, [&](double t, const QImage &image) {
        if (flash < 0 && qGray(image.pixel(image.width() / 2, image.height() / 2)) > 200)
            flash = t;
    }));
    const MediaReadback::Sound sound = MediaReadback::sound(out);
    double voice = -1;
    for (int i = int((2.2 - sound.startSeconds) * 44100); i < sound.samples.size(); ++i) {
        if (std::abs(sound.samples[i]) > 0.01) {
            voice = sound.startSeconds + i / 44100.0;
            break;
        }
    }
    QVERIFY2(std::abs(flash - 2.5) <= 0.04 && std::abs(voice - flash) <= 0.04,
             qPrintable(QString("flash %1, voice %2").arg(flash).arg(voice)));
}

QTEST_GUILESS_MAIN(TestExportManager)
#include "tst_exportmanager.moc"
