// The recording engine with a change-driven picture source (the whiteboard's): pictures go
// into the file only when the picture changed, at least once a second and at the stop, each at
// the time it appeared; pauses are left out, the sound follows, and a new clip begins with the
// first picture drawn after it was asked for.
#include "core/project/projectdata.h"
#include "core/record/picturecadence.h"
#include "core/record/scenepicturesource.h"
#include "core/record/screenrecord.h"
#include "core/record/yuvpicture.h"
#include "support/mediainspect.h"
#include "support/mediareadback.h"
#include "support/recordingsteps.h"
#include "support/screenpixels.h"
#include "support/soundspectrum.h"
#include "support/testtone.h"

#include <QElapsedTimer>
#include <QPainter>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <deque>
#include <memory>
#include <utility>

namespace {

constexpr QSize kPicture(640, 360);

// Hands in a picture of one colour, drawn now; returns when it was drawn.
qint64 show(ScenePictureSource &source, const QColor &colour)
{
    ScenePictureSource::Canvas canvas = source.newCanvas();
    canvas.image.fill(colour);
    const qint64 now = PictureSource::captureClockUs();
    source.push(std::move(canvas), now);
    return now;
}

}  // namespace

class TestSceneRecord : public QObject
{
    Q_OBJECT
    std::unique_ptr<ProjectData> m_project;

private slots:
    void init() { m_project = std::make_unique<ProjectData>(); }
    void cleanup() { m_project.reset(); }

    void recordsChangesAtTheirTimes_data();
    void recordsChangesAtTheirTimes();
    void onlyGivenRowsChange_data();
    void onlyGivenRowsChange();
    void heldPicturesStayAsTheyWere_data();
    void heldPicturesStayAsTheyWere();
    void stillBoardHasKeyPicturesOften();
    void lateFirstPictureKeepsTheFirstWords();
};

void TestSceneRecord::recordsChangesAtTheirTimes_data()
{
    QTest::addColumn<int>("encodeDelayMs");
    QTest::newRow("pictures encoded at once") << 0;
    // The sound then reaches the file ahead of the pictures: a picture's place in the file must
    // not depend on whether the next one has come yet.
    QTest::newRow("a busy machine: each picture 0.7 s late") << 700;
}

void TestSceneRecord::recordsChangesAtTheirTimes()
{
    QFETCH(int, encodeDelayMs);
    ScreenRecord::setEncodeDelayForTesting(encodeDelayMs);
    const auto noDelay = qScopeGuard([] { ScreenRecord::setEncodeDelayForTesting(0); });
    QTemporaryDir dir;
    AVData clip = RecordingSteps::newProjectClip(m_project.get(), dir.path());
    auto source = std::make_shared<ScenePictureSource>(kPicture);
    ScreenRecord engine(m_project.get());
    engine.setPictureSource(source);
    show(*source, Qt::red);
    QVERIFY(RecordingSteps::prepare(engine, clip, QRect(), 500));

    // Red, still for 1.5 s; a new clip and blue; green 0.3 s later; a pause of a second during
    // which yellow is shown and taken back; 0.7 s more of green.
    QElapsedTimer recorded;
    engine.startRecord();
    recorded.start();
    QTest::qWait(1500);
    engine.startNextClip("b");
    const qint64 blueDrawnMs = recorded.elapsed();
    show(*source, Qt::blue);
    QTest::qWait(300);
    show(*source, Qt::green);
    QTest::qWait(100);
    engine.pauseRecord();
    const qint64 keptMs = recorded.elapsed();
    show(*source, Qt::yellow);
    QTest::qWait(500);
    show(*source, Qt::green);
    QTest::qWait(500);
    engine.resumeRecord();
    recorded.restart();
    QTest::qWait(700);
    // Up to the stop, not up to the end of its finishing (which waits for the file).
    const double expectedSec = (keptMs + recorded.elapsed()) / 1000.0;
    QVERIFY(RecordingSteps::stop(engine));

    QCOMPARE(MediaReadback::decodeErrors(clip.filePath), QString());
    const MediaInspect::Info info = MediaInspect::probe(clip.filePath);
    QCOMPARE(info.video.width, kPicture.width());
    // The stop's picture ends the file within one frame of the recorded time (pause left out).
    QVERIFY2(qAbs(info.video.endSec - expectedSec) <= 0.1,
             qPrintable(QString("%1 %2").arg(info.video.endSec).arg(expectedSec)));
    QVERIFY2(qAbs(info.audio.endSec - info.video.endSec) <= 0.045,
             qPrintable(QString("%1 %2").arg(info.audio.endSec).arg(info.video.endSec)));

    // Few pictures, rising times, none more than a second apart; the colours in order, each at
    // the time it was shown.
    const QList<MediaInspect::Picture> pictures = MediaInspect::pictures(clip.filePath);
    QVERIFY2(pictures.size() >= 5 && pictures.size() <= 12,
             qPrintable(QString::number(pictures.size())));
    QStringList runs;
    double firstBlue = -1;
    for (int i = 0; i < pictures.size(); ++i) {
        if (i > 0) {
            const double gap = pictures.at(i).sec - pictures.at(i - 1).sec;
            QVERIFY2(gap > 0 && gap <= PictureCadence::kMaxSpacingUs / 1e6 + 0.001,
                     qPrintable(QString("%1 s after %2 s").arg(gap).arg(pictures.at(i - 1).sec)));
        }
        const QString name = ScreenPixels::colourName(pictures.at(i).centre);
        if (name == "blue" && firstBlue < 0)
            firstBlue = pictures.at(i).sec;
        if (runs.isEmpty() || runs.last() != name)
            runs << name;
    }
    QCOMPARE(runs.join(' '), QStringLiteral("red blue green"));
    QVERIFY2(qAbs(firstBlue - blueDrawnMs / 1000.0) <= 0.05,
             qPrintable(QString("%1 %2").arg(firstBlue).arg(blueDrawnMs)));

    // The second clip begins with the first blue picture.
    const QList<AVData> clips = m_project->avDatas();
    QCOMPARE(clips.size(), 2);
    QCOMPARE(clips.at(1).title, QStringLiteral("b"));
    QVERIFY2(qAbs(clips.at(1).beginTime - qint64(firstBlue * 1000)) <= 1,
             qPrintable(QString("%1 %2").arg(clips.at(1).beginTime).arg(firstBlue)));
    QCOMPARE(clips.at(1).endTime, clips.at(1).duration);
}

void TestSceneRecord::onlyGivenRowsChange_data()
{
    QTest::addColumn<int>("top");
    QTest::addColumn<int>("bottom");
    QTest::addColumn<int>("firstChanged");  // whole pairs of rows change
    QTest::addColumn<int>("lastChanged");
    QTest::newRow("a band") << 10 << 20 << 10 << 19;
    QTest::newRow("odd edges widen to pairs") << 7 << 13 << 6 << 13;
    QTest::newRow("the last row") << 35 << 36 << 34 << 35;
    QTest::newRow("nothing") << 20 << 20 << -1 << -1;
}

// The kept picture changes only in the rows given, and a picture handed out before keeps what
// it showed (the recorder may still hold it).
void TestSceneRecord::onlyGivenRowsChange()
{
    QFETCH(int, top);
    QFETCH(int, bottom);
    QFETCH(int, firstChanged);
    QFETCH(int, lastChanged);
    const QSize size(48, 36);
    QImage red(size, QImage::Format_RGB32);
    red.fill(Qt::red);
    QImage blue(size, QImage::Format_RGB32);
    blue.fill(Qt::blue);
    YuvPicture picture(size);
    QVERIFY(picture.convertRows(red.constBits(), red.bytesPerLine(), 0, size.height()));
    ffmpeg::PacketPtr before = ffmpeg::makePacket();
    QVERIFY(picture.takeReference(before.get()));
    QVERIFY(picture.convertRows(blue.constBits(), blue.bytesPerLine(), top, bottom));
    ffmpeg::PacketPtr after = ffmpeg::makePacket();
    QVERIFY(picture.takeReference(after.get()));
    QCOMPARE(after->size, size.width() * size.height() * 3 / 2);
    const int redLuma = (66 * 255 + 128) / 256 + 16;
    const int blueLuma = (25 * 255 + 128) / 256 + 16;
    for (int row = 0; row < size.height(); ++row) {
        const bool changed = row >= firstChanged && row <= lastChanged;
        QCOMPARE(int(after->data[row * size.width() + 5]), changed ? blueLuma : redLuma);
        QCOMPARE(int(before->data[row * size.width() + 5]), redLuma);
    }
    // Chroma follows its pairs of rows.
    const uint8_t *cbBefore = before->data + size.width() * size.height();
    const uint8_t *cbAfter = after->data + size.width() * size.height();
    for (int pair = 0; pair < size.height() / 2; ++pair) {
        const bool changed = pair * 2 >= firstChanged && pair * 2 <= lastChanged;
        QCOMPARE(cbAfter[pair * size.width() / 2] > 200, changed);
        QVERIFY(cbBefore[pair * size.width() / 2] < 128);
    }
}

void TestSceneRecord::heldPicturesStayAsTheyWere_data()
{
    // How many of the latest pictures the recorder still holds at each change (the reader
    // keeps two; a slow encoder more), and the pictures' row bands.
    QTest::addColumn<int>("held");
    QTest::addColumn<int>("changes");
    QTest::newRow("none held") << 0 << 40;
    QTest::newRow("latest and the one before, as the reader") << 2 << 40;
    QTest::newRow("a queue of five") << 5 << 40;
    QTest::newRow("more changes than remembered") << 2 << 200;
}

// Many small changes, pictures handed out and held as the recorder does: each picture handed
// out shows the scene as it was when it was handed out, also later, and the kept picture is
// always the whole scene converted afresh.
void TestSceneRecord::heldPicturesStayAsTheyWere()
{
    QFETCH(int, held);
    QFETCH(int, changes);
    const QSize size(64, 48);
    QImage scene(size, QImage::Format_RGB32);
    scene.fill(Qt::white);
    YuvPicture picture(size);
    QVERIFY(picture.convertRows(scene.constBits(), scene.bytesPerLine(), 0, size.height()));
    const auto fresh = [&] {
        YuvPicture whole(size);
        whole.convertRows(scene.constBits(), scene.bytesPerLine(), 0, size.height());
        ffmpeg::PacketPtr p = ffmpeg::makePacket();
        whole.takeReference(p.get());
        return QByteArray(reinterpret_cast<const char *>(p->data), p->size);
    };
    std::deque<std::pair<QByteArray, ffmpeg::PacketPtr>> out;  // what each showed, and it
    quint32 seed = 7;
    const auto next = [&seed](int n) {
        seed = seed * 1103515245u + 12345u;
        return int((seed >> 16) % quint32(n));
    };
    for (int i = 0; i < changes; ++i) {
        const int top = next(size.height() - 1);
        const int bottom = top + 1 + next(std::min(12, size.height() - top));
        QPainter painter(&scene);
        painter.fillRect(QRect(next(size.width() - 8), top, 8, bottom - top),
                         QColor::fromHsv(next(360), 200, 100 + next(155)));
        painter.end();
        QVERIFY(picture.convertRows(scene.constBits(), scene.bytesPerLine(), top, bottom));
        ffmpeg::PacketPtr now = ffmpeg::makePacket();
        QVERIFY(picture.takeReference(now.get()));
        const QByteArray expected = fresh();
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(now->data), now->size), expected);
        out.emplace_back(expected, std::move(now));
        while (int(out.size()) > held)
            out.pop_front();
        for (const auto &[shown, packet] : out)
            QVERIFY(QByteArray(reinterpret_cast<const char *>(packet->data), packet->size) ==
                    shown);
    }
}

// A board that stands still sends a picture a second; its file still has a key picture (where
// a seek or a cut begins decoding) at least every two seconds, plus the spacing of pictures.
void TestSceneRecord::stillBoardHasKeyPicturesOften()
{
    QTemporaryDir dir;
    AVData clip = RecordingSteps::newProjectClip(m_project.get(), dir.path());
    auto source = std::make_shared<ScenePictureSource>(kPicture);
    ScreenRecord engine(m_project.get());
    engine.setPictureSource(source);
    show(*source, Qt::darkCyan);
    QVERIFY(RecordingSteps::prepare(engine, clip, QRect(), 200));
    engine.startRecord();
    QTest::qWait(7000);
    QVERIFY(RecordingSteps::stop(engine));
    const MediaReadback::PacketTimes times = MediaReadback::videoPacketTimes(clip.filePath);
    QStringList keys;
    double lastKey = 0;
    double longest = 0;
    for (int i = 0; i < times.pts.size(); ++i) {
        if (!times.key.value(i))
            continue;
        keys << QString::number(times.pts.at(i), 'f', 2);
        longest = std::max(longest, times.pts.at(i) - lastKey);
        lastKey = times.pts.at(i);
    }
    const double end = times.pts.isEmpty() ? 0 : times.pts.last();
    longest = std::max(longest, end - lastKey);
    QVERIFY2(end > 6.5, qPrintable(QString::number(end)));
    QVERIFY2(longest <= 3.05, qPrintable("key pictures at " + keys.join(' ')));
}

// A busy machine: the first picture comes a second after the count-down's end. The sound is
// in the file from the count-down's end on, and the first picture stands from there.
void TestSceneRecord::lateFirstPictureKeepsTheFirstWords()
{
    TestTone tone;
    QVERIFY(tone.isHeard());
    QTemporaryDir dir;
    AVData clip = RecordingSteps::newProjectClip(m_project.get(), dir.path());
    auto source = std::make_shared<ScenePictureSource>(kPicture);
    ScreenRecord engine(m_project.get());
    engine.setPictureSource(source);
    QVERIFY(RecordingSteps::prepare(engine, clip, QRect(), 200));
    QElapsedTimer recorded;
    engine.startRecord();
    recorded.start();
    QTest::qWait(1000);
    show(*source, Qt::red);
    QTest::qWait(1500);
    const double expectedSec = recorded.elapsed() / 1000.0;
    QVERIFY(RecordingSteps::stop(engine));
    const MediaInspect::Info info = MediaInspect::probe(clip.filePath);
    const QString what = QStringLiteral("sound to %1 s, picture to %2 s, recorded %3 s")
                             .arg(info.audio.endSec)
                             .arg(info.video.endSec)
                             .arg(expectedSec);
    QVERIFY2(qAbs(info.audio.endSec - expectedSec) <= 0.15, qPrintable(what));
    QVERIFY2(qAbs(info.video.endSec - info.audio.endSec) <= 0.045, qPrintable(what));
    const MediaReadback::Sound sound = MediaReadback::sound(clip.filePath);
    const auto at = [&](double sec) {
        return qint64((sec - sound.startSeconds) * sound.sampleRate);
    };
    const double early =
        SoundSpectrum::toneDb(sound.samples, sound.sampleRate, 660, at(0.1), at(0.9));
    QVERIFY2(early > -30, qPrintable(what + QStringLiteral(", tone %1 dB").arg(early)));
    const MediaReadback::PacketTimes times = MediaReadback::videoPacketTimes(clip.filePath);
    QVERIFY(!times.pts.isEmpty());
    QVERIFY2(qAbs(times.pts.first()) < 0.001, qPrintable(QString::number(times.pts.first())));
}

QTEST_GUILESS_MAIN(TestSceneRecord)
#include "tst_scenerecord.moc"
