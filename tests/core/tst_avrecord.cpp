// The media probe against files made by the ffmpeg tool: length, picture size as displayed,
// and what a clip keeps when a file cannot be read.
#include "core/media/avrecord.h"
#include "core/media/ffmpeghandles.h"
#include "core/media/ffmpegtool.h"
#include "support/datatable.h"
#include "support/mediasamples.h"
#include "support/testmedia.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>

class TestAVRecord : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void probe_data();
    void probe();
    void unreadableLeavesClip_data();
    void unreadableLeavesClip();
    void soundOnlyDoesNotReuseOldSize();
    void errorText();
    void toolRun();

private:
    QString make(const QString &kind);
    QTemporaryDir m_dir;
};

void TestAVRecord::initTestCase()
{
    QVERIFY(m_dir.isValid());
}

// Builds one sample file by name; returns its path (empty when it could not be made).
QString TestAVRecord::make(const QString &kind)
{
    const QString path = m_dir.filePath(kind);
    if (QFileInfo::exists(path))
        return path;
    bool ok = false;
    if (kind == "plain.mp4")
        ok = TestMedia::makeClip(path, 2.0, QSize(320, 240));
    else if (kind == "silent.mp4")
        ok = TestMedia::makeClip(path, 1.5, QSize(160, 120), false);
    else if (kind == "matrix90.mp4")
        ok = MediaSamples::makeRotated(path, QSize(1920, 1080), 90, false);
    else if (kind == "matrix180.mp4")
        ok = MediaSamples::makeRotated(path, QSize(640, 360), 180, false);
    else if (kind == "matrix270.mp4")
        ok = MediaSamples::makeRotated(path, QSize(640, 360), 270, false);
    else if (kind == "tag90.mkv")
        ok = MediaSamples::makeRotated(path, QSize(1920, 1080), 90, true);
    else if (kind == "tag450.mkv")
        ok = MediaSamples::makeRotated(path, QSize(640, 360), 450, true);
    else if (kind == "tag-90.mkv")
        ok = MediaSamples::makeRotated(path, QSize(640, 360), -90, true);
    else if (kind == "tag180.mkv")
        ok = MediaSamples::makeRotated(path, QSize(640, 360), 180, true);
    else if (kind == "sound.m4a")
        ok = MediaSamples::makeSoundOnly(path, 3.0);
    else if (kind == "half.mp4")
        ok = MediaSamples::writeFirstHalf(make("plain.mp4"), path);
    else if (kind == "text.mp4")
        ok = MediaSamples::writeText(path);
    return ok ? path : QString();
}

void TestAVRecord::probe_data()
{
    DataTable::columns<QString, bool, qint64, qint64, int, int>("kind", "result", "minMs", "maxMs",
                                                                "width", "height");

    QTest::newRow("plain") << "plain.mp4" << true << 1950LL << 2100LL << 320 << 240;
    QTest::newRow("no sound") << "silent.mp4" << true << 1450LL << 1600LL << 160 << 120;
    QTest::newRow("display matrix 90") << "matrix90.mp4" << true << 950LL << 1100LL << 1080 << 1920;
    QTest::newRow("display matrix 180") << "matrix180.mp4" << true << 950LL << 1100LL << 640 << 360;
    QTest::newRow("display matrix 270") << "matrix270.mp4" << true << 950LL << 1100LL << 360 << 640;
    QTest::newRow("rotate tag 90") << "tag90.mkv" << true << 950LL << 1100LL << 1080 << 1920;
    QTest::newRow("rotate tag 450") << "tag450.mkv" << true << 950LL << 1100LL << 360 << 640;
    QTest::newRow("rotate tag -90") << "tag-90.mkv" << true << 950LL << 1100LL << 360 << 640;
    QTest::newRow("rotate tag 180") << "tag180.mkv" << true << 950LL << 1100LL << 640 << 360;
    // A sound-only file new to the project: its length is known, its size stays unknown.
    QTest::newRow("sound only") << "sound.m4a" << false << 2950LL << 3100LL << -1 << -1;
}

void TestAVRecord::probe()
{
    const auto [kind, result, minMs, maxMs, width, height] =
        DataTable::fetch<QString, bool, qint64, qint64, int, int>("kind", "result", "minMs",
                                                                  "maxMs", "width", "height");

    AVData clip;
    clip.filePath = make(kind);
    QVERIFY2(!clip.filePath.isEmpty(), qPrintable(kind));
    QCOMPARE(AVRecord::updateMediaInfo(clip), result);
    QVERIFY2(clip.duration >= minMs && clip.duration <= maxMs,
             qPrintable(QString::number(clip.duration)));
    QCOMPARE(clip.endTime, clip.duration);
    QCOMPARE(clip.videoWidth, width);
    QCOMPARE(clip.videoHeight, height);
}

void TestAVRecord::unreadableLeavesClip_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("missing") << "nothing-here.mp4";
    QTest::newRow("cut in half") << "half.mp4";
    QTest::newRow("text named mp4") << "text.mp4";
}

void TestAVRecord::unreadableLeavesClip()
{
    QFETCH(QString, kind);
    AVData clip;
    clip.filePath = make(kind);
    if (clip.filePath.isEmpty())
        clip.filePath = m_dir.filePath(kind);
    clip.duration = 4321;
    clip.beginTime = 100;
    clip.endTime = 4000;
    clip.videoWidth = 800;
    clip.videoHeight = 600;
    QVERIFY(!AVRecord::updateMediaInfo(clip));
    QCOMPARE(clip.duration, 4321);
    QCOMPARE(clip.beginTime, 100);
    QCOMPARE(clip.endTime, 4000);
    QCOMPARE(clip.videoWidth, 800);
    QCOMPARE(clip.videoHeight, 600);
}

void TestAVRecord::soundOnlyDoesNotReuseOldSize()
{
    // A clip record that held a picture size before must not make a sound file pass as video.
    AVData clip;
    clip.filePath = make("sound.m4a");
    clip.videoWidth = 1280;
    clip.videoHeight = 720;
    QVERIFY(!AVRecord::updateMediaInfo(clip));
    QVERIFY(clip.duration > 2900);
}

void TestAVRecord::errorText()
{
    QCOMPARE(ffmpeg::errorText(AVERROR_EOF), QString("End of file"));
    // The system's own words for the error, in the desktop's language.
    QVERIFY(ffmpeg::errorText(AVERROR(ENOENT)).contains(QString::fromLocal8Bit(strerror(ENOENT))));
    int err = 0;
    QVERIFY(!ffmpeg::openInput(m_dir.filePath("absent.mp4"), &err));
    QCOMPARE(err, AVERROR(ENOENT));
}

void TestAVRecord::toolRun()
{
    QByteArray output;
    FfmpegTool::Result ok =
        FfmpegTool::run({"-hide_banner", "-f", "lavfi", "-i", "sine=d=0.2", "-f", "null", "-"},
                        30000, [&](const QByteArray &chunk) { output += chunk; });
    QVERIFY(ok.succeeded());
    QVERIFY2(output.contains("time="), output.constData());

    FfmpegTool::Result bad = FfmpegTool::run({"-i", m_dir.filePath("absent.mp4")}, 30000);
    QVERIFY(bad.started);
    QVERIFY(bad.finished);
    QVERIFY(!bad.succeeded());
}

QTEST_GUILESS_MAIN(TestAVRecord)
#include "tst_avrecord.moc"
