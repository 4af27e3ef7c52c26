// Thumbnails, waveform strips and the cover, made by the real ffmpeg tool from generated
// media and read back as pictures.
#include "core/media/avshowmanager.h"
#include "core/media/ffmpegtool.h"
#include "core/project/projectdata.h"
#include "support/datatable.h"
#include "support/mediasamples.h"
#include "support/testmedia.h"

#include <QFileInfo>
#include <QPixmapCache>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>

#include <algorithm>
#include <memory>
#include <vector>

namespace {

bool isUniform(const QImage &image)
{
    const QRgb first = image.pixel(0, 0);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != first)
                return false;
    return true;
}

// Holds every place for tool processes, so that jobs wait until release().
struct ToolBlocker
{
    std::vector<std::unique_ptr<FfmpegTool::Slot>> held;
    ToolBlocker()
    {
        for (int i = 0; i < FfmpegTool::maxRunning(); ++i)
            held.push_back(std::make_unique<FfmpegTool::Slot>());
    }
    void release() { held.clear(); }
};

// Run as the child of toolWaitingAsTheProgramEnds: a tool run waits for its turn on a pool
// thread while the program ends, and gets it only as the program's statics are destroyed.
[[noreturn]] void endWhileAToolWaits()
{
    QThreadPool::globalInstance();                // ended last: it waits for the tool run
    static std::unique_ptr<ToolBlocker> blocker;  // ended before the pool, after the gate
    blocker = std::make_unique<ToolBlocker>();
    QThreadPool::globalInstance()->start([] { FfmpegTool::run({"-version"}, 20000); });
    QThread::msleep(300);
    std::exit(0);
}

}  // namespace

class TestAvShowManager : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void thumbnailArguments_data();
    void thumbnailArguments();
    void spectrumArguments_data();
    void spectrumArguments();
    void cutGeometry_data();
    void cutGeometry();
    void thumbnailAtSecond_data();
    void thumbnailAtSecond();
    void duplicateRequestsQueueOnce();
    void destroyWhileQueued();
    void waveformStrips_data();
    void waveformStrips();
    void waveformMadeOncePerFile();
    void cover_data();
    void cover();
    void toolWaitingAsTheProgramEnds();

private:
    AVData clipOf(const QString &path, qint64 begin, qint64 end, qint64 duration);
    QTemporaryDir m_dir;
    QString m_colours;  // red for 2.5 s, then blue for 2.5 s
    QString m_tone;     // 10 s of sound, loud in its first half only
};

void TestAvShowManager::initTestCase()
{
    if (qEnvironmentVariableIsSet("LUMORA_TOOL_AT_EXIT_CHILD"))
        endWhileAToolWaits();
    QVERIFY(m_dir.isValid());
    m_colours = m_dir.filePath("colours.mp4");
    QVERIFY(TestMedia::ffmpeg(
        {"-filter_complex",
         "color=c=red:s=160x120:r=25:d=2.5[a];color=c=blue:s=160x120:r=25:d=2.5[b];"
         "[a][b]concat=n=2:v=1:a=0",
         "-c:v", "libx264", "-preset", "ultrafast", "-pix_fmt", "yuv420p", "-g", "10", m_colours}));
    m_tone = m_dir.filePath("tone.m4a");
    QVERIFY(
        TestMedia::ffmpeg({"-f", "lavfi", "-i", "sine=frequency=300:sample_rate=44100:d=10", "-af",
                           "volume='if(lt(t,5),7,0.1)':eval=frame", "-c:a", "aac", m_tone}));
}

void TestAvShowManager::init()
{
    QPixmapCache::clear();
}

AVData TestAvShowManager::clipOf(const QString &path, qint64 begin, qint64 end, qint64 duration)
{
    AVData clip;
    clip.filePath = path;
    clip.beginTime = begin;
    clip.endTime = end;
    clip.duration = duration;
    return clip;
}

void TestAvShowManager::thumbnailArguments_data()
{
    DataTable::columns<int, int, int, QStringList>("second", "width", "height", "expected");
    QTest::newRow("second 0, tool's size")
        << 0 << -1 << -1
        << QStringList{"-i", "m.mp4", "-y", "-f", "image2", "-frames:v", "1", "m.mp4_0.jpg"};
    QTest::newRow("second 68, sized")
        << 68 << 160 << 90
        << QStringList{"-ss",    "68", "-i",     "m.mp4",     "-y", "-f",
                       "image2", "-s", "160x90", "-frames:v", "1",  "m.mp4_68.jpg"};
    QTest::newRow("height unknown")
        << 1 << 160 << -1 << QStringList{"-ss", "1",      "-i",        "m.mp4", "-y",
                                         "-f",  "image2", "-frames:v", "1",     "m.mp4_1.jpg"};
}

void TestAvShowManager::thumbnailArguments()
{
    const auto [second, width, height, expected] =
        DataTable::fetch<int, int, int, QStringList>("second", "width", "height", "expected");
    AVData clip = clipOf("m.mp4", 0, 1000, 1000);
    QCOMPARE(AvShowManager::thumbnailArguments(
                 clip.filePath, second, AvShowManager::thumbnailPath(clip, second), width, height),
             expected);
}

void TestAvShowManager::spectrumArguments_data()
{
    DataTable::columns<qint64, QString>("durationMs", "filter");
    QTest::newRow("90 s") << 90000LL << "showwavespic=s=450x50:colors=#01536b";
    QTest::newRow("one hour") << 3600000LL << "showwavespic=s=18000x50:colors=#01536b";
    QTest::newRow("199 ms never 0 wide") << 199LL << "showwavespic=s=1x50:colors=#01536b";
}

void TestAvShowManager::spectrumArguments()
{
    const auto [durationMs, filter] = DataTable::fetch<qint64, QString>("durationMs", "filter");
    QCOMPARE(AvShowManager::spectrumArguments("a.mp4", durationMs, "w.jpg"),
             (QStringList{"-i", "a.mp4", "-y", "-filter_complex", filter, "w.jpg"}));
}

void TestAvShowManager::cutGeometry_data()
{
    DataTable::columns<qint64, qint64, int>("begin", "end", "stripWidth");
    QTest::newRow("30 s to 60 s of 90 s") << 30000LL << 60000LL << 720;
    QTest::newRow("whole 90 s") << 0LL << 90000LL << 2160;
    QTest::newRow("last second") << 89000LL << 90000LL << 24;
}

void TestAvShowManager::cutGeometry()
{
    const auto [begin, end, stripWidth] =
        DataTable::fetch<qint64, qint64, int>("begin", "end", "stripWidth");
    // A 90 s waveform picture, green everywhere except the middle band (rows 15 to 25) of the
    // clip's columns, which is black (the tool's background) in its first half and red in its
    // second half.
    QImage wave(450, 50, QImage::Format_RGB32);
    wave.fill(qRgb(0, 255, 0));
    const int x0 = int(begin / 200), x1 = int(end / 200), xm = (x0 + x1) / 2;
    for (int y = 15; y < 25; ++y)
        for (int x = x0; x < x1; ++x)
            wave.setPixel(x, y, x < xm ? qRgb(0, 0, 0) : qRgb(255, 0, 0));
    const QImage strip =
        AvShowManager::cutSpectrum(wave, begin, end).convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(strip.size(), QSize(stripWidth, 50));
    // Nothing outside the band and the span shows; the black background is transparent.
    for (int y = 0; y < 50; ++y)
        for (int x = 0; x < stripWidth; ++x)
            QVERIFY2(qGreen(strip.pixel(x, y)) < 40,
                     qPrintable(QString("green at %1,%2").arg(x).arg(y)));
    for (int y = 8; y < 42; ++y) {
        QCOMPARE(qAlpha(strip.pixel(stripWidth / 4, y)), 0);
        const QRgb right = strip.pixel(stripWidth * 3 / 4, y);
        QVERIFY(qAlpha(right) == 255 && qRed(right) > 200);
    }
    // Rounded corners are cut away.
    QCOMPARE(qAlpha(strip.pixel(0, 0)), 0);
    QCOMPARE(qAlpha(strip.pixel(stripWidth - 1, 49)), 0);
}

void TestAvShowManager::thumbnailAtSecond_data()
{
    DataTable::columns<qint64, int, QString, bool>("beginTime", "time", "suffix", "blue");
    QTest::newRow("second 0 of the file") << 0LL << 0 << "_0.jpg" << false;
    QTest::newRow("1500 + 2 s gives second 3") << 1500LL << 2 << "_3.jpg" << true;
    QTest::newRow("1999 + 0 gives second 1") << 1999LL << 0 << "_1.jpg" << false;
    QTest::newRow("2000 + 2 gives second 4") << 2000LL << 2 << "_4.jpg" << true;
}

void TestAvShowManager::thumbnailAtSecond()
{
    const auto [beginTime, time, suffix, blue] =
        DataTable::fetch<qint64, int, QString, bool>("beginTime", "time", "suffix", "blue");

    AvShowManager manager(clipOf(m_colours, beginTime, 5000, 5000));
    manager.setImageSize(80, 60);
    QSignalSpy finished(&manager, &AvShowManager::onLoadPixmapFinish);
    QPixmap pixmap;
    QVERIFY(!manager.getImageOnTime(time, pixmap));
    QVERIFY(finished.wait(20000));
    QVERIFY(manager.getImageOnTime(time, pixmap));
    QVERIFY(QFileInfo::exists(m_colours + suffix));
    QCOMPARE(pixmap.size(), QSize(80, 60));
    const QRgb centre = pixmap.toImage().pixel(40, 30);
    if (blue)
        QVERIFY2(qBlue(centre) > 150 && qRed(centre) < 100,
                 qPrintable(QString::number(centre, 16)));
    else
        QVERIFY2(qRed(centre) > 150 && qBlue(centre) < 100,
                 qPrintable(QString::number(centre, 16)));
}

void TestAvShowManager::duplicateRequestsQueueOnce()
{
    const QString media = m_dir.filePath("dup.mp4");
    QVERIFY(TestMedia::makeClip(media, 3.0, QSize(160, 120), false));
    ToolBlocker blocker;
    AvShowManager manager(clipOf(media, 0, 3000, 3000));
    QSignalSpy finished(&manager, &AvShowManager::onLoadPixmapFinish);
    QPixmap pixmap;
    QVERIFY(!manager.getImageOnTime(1, pixmap));
    QVERIFY(!manager.getImageOnTime(1, pixmap));
    QVERIFY(!manager.getImageOnTime(2, pixmap));
    QVERIFY(!manager.getImageOnTime(1, pixmap));
    QVERIFY(manager.isImageLoading());
    const QList<AvShowManager::ImageTask> tasks = manager.pendingImageTasks();
    QCOMPARE(tasks.size(), 2);
    QCOMPARE(tasks.at(0).second, 1);
    QCOMPARE(tasks.at(1).second, 2);
    blocker.release();
    // The job clears its flag just before it reports: wait for both.
    QTRY_VERIFY_WITH_TIMEOUT(!manager.isImageLoading() && !finished.isEmpty(), 20000);
    QVERIFY(manager.getImageOnTime(1, pixmap));
    QVERIFY(!isUniform(pixmap.toImage()));
    QVERIFY(manager.getImageOnTime(2, pixmap));
    QVERIFY(manager.pendingImageTasks().isEmpty());
}

void TestAvShowManager::destroyWhileQueued()
{
    const QString media = m_dir.filePath("gone.mp4");
    QVERIFY(TestMedia::makeClip(media, 2.0, QSize(160, 120), false));
    ToolBlocker blocker;
    const quint64 before = FfmpegTool::startedCount();
    {
        AvShowManager manager(clipOf(media, 0, 2000, 2000));
        QPixmap pixmap;
        QVERIFY(!manager.getImageOnTime(1, pixmap));
        QVERIFY(!manager.getSpectrum(pixmap));
        QTRY_VERIFY(manager.isImageLoading());
    }  // must not wait for the held tool places
    blocker.release();
    QCOMPARE(FfmpegTool::startedCount(), before);
    QVERIFY(!QFileInfo::exists(media + "_1.jpg"));
}

void TestAvShowManager::waveformStrips_data()
{
    // minDrawn: share of the middle band painted
    DataTable::columns<qint64, qint64, int, double, double>("begin", "end", "width", "minDrawn",
                                                            "maxDrawn");
    QTest::newRow("whole file, half loud") << 0LL << 10000LL << 240 << 0.4 << 0.6;
    QTest::newRow("loud part") << 1000LL << 4000LL << 72 << 0.9 << 1.0;
    QTest::newRow("quiet part") << 6000LL << 9500LL << 84 << 0.0 << 0.1;
}

void TestAvShowManager::waveformStrips()
{
    const auto [begin, end, width, minDrawn, maxDrawn] =
        DataTable::fetch<qint64, qint64, int, double, double>("begin", "end", "width", "minDrawn",
                                                              "maxDrawn");
    AVData clip = clipOf(m_tone, begin, end, 10000);
    AvShowManager manager(clip);
    QSignalSpy finished(&manager, &AvShowManager::onLoadSpectrumFinish);
    QPixmap strip;
    QVERIFY(!manager.getSpectrum(strip));
    QVERIFY(finished.wait(20000));
    QVERIFY(manager.getSpectrum(strip));
    QCOMPARE(strip.size(), QSize(width, 50));
    QVERIFY(QFileInfo::exists(AvShowManager::spectrumPath(clip)));
    QCOMPARE(QImage(AvShowManager::wholeSpectrumPath(clip)).size(), QSize(50, 50));

    // A loud span fills the middle band with the waveform colour; a near-silent one leaves it
    // transparent.
    const QImage image = strip.toImage().convertToFormat(QImage::Format_ARGB32);
    int drawn = 0, total = 0;
    for (int y = 10; y < 40; ++y)
        for (int x = 8; x < width - 8; ++x, ++total)
            if (qAlpha(image.pixel(x, y)) > 128)
                ++drawn;
    const double share = double(drawn) / total;
    QVERIFY2(share >= minDrawn && share <= maxDrawn, qPrintable(QString::number(share)));
}

void TestAvShowManager::waveformMadeOncePerFile()
{
    const QString media = m_dir.filePath("lecture.m4a");
    QVERIFY(MediaSamples::makeSoundOnly(media, 20.0));
    const QString shortMedia = m_dir.filePath("blip.m4a");
    QVERIFY(MediaSamples::makeSoundOnly(shortMedia, 0.15));

    const quint64 before = FfmpegTool::startedCount();
    // The strips are finished on pool threads, several at once: each is counted on this thread.
    QObject counter;
    std::vector<int> finished(8, 0);
    std::vector<std::unique_ptr<AvShowManager>> managers;
    for (int i = 0; i < 8; ++i) {
        managers.push_back(
            std::make_unique<AvShowManager>(clipOf(media, i * 2500, (i + 1) * 2500, 20000)));
        connect(
            managers.back().get(), &AvShowManager::onLoadSpectrumFinish, &counter,
            [&finished, i] { ++finished[size_t(i)]; }, Qt::QueuedConnection);
        QPixmap p;
        QVERIFY(!managers.back()->getSpectrum(p));
    }
    QTRY_VERIFY_WITH_TIMEOUT(
        std::all_of(finished.begin(), finished.end(), [](int n) { return n > 0; }), 20000);
    QCOMPARE(FfmpegTool::startedCount(), before + 1);
    for (const auto &m : managers) {
        QPixmap p;
        QVERIFY(m->getSpectrum(p));
        QCOMPARE(p.size(), QSize(60, 50));
        QVERIFY(QFileInfo::exists(AvShowManager::spectrumPath(m->avData())));
    }

    // Under 200 ms: a one-column waveform, and a strip of 150 * 24 / 1000 pixels.
    AvShowManager blip(clipOf(shortMedia, 0, 150, 150));
    QSignalSpy blipDone(&blip, &AvShowManager::onLoadSpectrumFinish);
    QPixmap p;
    QVERIFY(!blip.getSpectrum(p));
    QVERIFY(blipDone.wait(20000));
    QVERIFY(blip.getSpectrum(p));
    QCOMPARE(p.size(), QSize(3, 50));
}

void TestAvShowManager::cover_data()
{
    // first: "" for no clips
    DataTable::columns<QString, qint64, bool>("first", "beginTime", "result");
    QTest::newRow("empty project") << "" << 0LL << false;
    QTest::newRow("first clip from 0") << "colours.mp4" << 0LL << true;
    QTest::newRow("first clip from 3 s") << "colours.mp4" << 3000LL << true;
    QTest::newRow("first clip no media") << "broken.mp4" << 0LL << false;
}

void TestAvShowManager::cover()
{
    const auto [first, beginTime, result] =
        DataTable::fetch<QString, qint64, bool>("first", "beginTime", "result");
    QTemporaryDir projectDir;
    ProjectData *project = ProjectData::instance();
    project->reset();
    project->setProjectDir(projectDir.path());
    QVERIFY(MediaSamples::writeText(m_dir.filePath("broken.mp4")));
    if (!first.isEmpty())
        project->insert(0, clipOf(m_dir.filePath(first), beginTime, 5000, 5000));
    const quint64 before = FfmpegTool::startedCount();
    QCOMPARE(AvShowManager::createCover(project), result);
    if (first.isEmpty())
        QCOMPARE(FfmpegTool::startedCount(), before);
    QImage cover(project->coverPath());
    QCOMPARE(cover.isNull(), !result);
    if (result) {
        QCOMPARE(cover.size(), QSize(160, 120));
        const QRgb c = cover.pixel(80, 60);
        QVERIFY(beginTime >= 3000 ? qBlue(c) > 150 : qRed(c) > 150);
    }
    project->reset();
}

// The cover made after a project opens may still wait for the tool when the teacher quits.
void TestAvShowManager::toolWaitingAsTheProgramEnds()
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedOutputChannel);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("LUMORA_TOOL_AT_EXIT_CHILD", "1");
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), {});
    QVERIFY2(child.waitForFinished(30000), "the program did not end");
    const QByteArray errors = child.readAllStandardError();
    QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0,
             errors.right(2000).constData());
}

QTEST_MAIN(TestAvShowManager)
#include "tst_avshowmanager.moc"
