// The timing pieces of the recorder: which capture times the file keeps and where they land
// (RecordTimeline), how the sound is kept continuous and in step (AudioAligner), how sound
// packets are timed from their arrival (SoundClock), and the choice of the sound input from
// a list (the list the sound server gives is checked with the recordings, tst_screenrecord),
// and where a new clip begins when the picture changes just after it was asked for
// (ClipSplitPoint), and when the pictures of a board that changes rarely go to the encoder
// (PictureCadence).
#include "core/record/audioaligner.h"
#include "core/record/clipsplitpoint.h"
#include "core/record/deviceutil.h"
#include "core/record/picturecadence.h"
#include "core/record/recordtimeline.h"
#include "core/record/soundclock.h"
#include "support/datatable.h"

#include <QtTest>

using Steps = QList<AudioAligner::Step>;
using Times = QList<qint64>;
Q_DECLARE_METATYPE(Steps)

namespace {
AudioAligner::Step silence(qint64 n)
{
    return AudioAligner::Step{AudioAligner::Step::Silence, 0, n};
}
AudioAligner::Step take(qint64 offset, qint64 n)
{
    return AudioAligner::Step{AudioAligner::Step::Take, offset, n};
}

// A grabbed picture of 640x360 BGR0 pixels, by name: the first slide with or without a stroke
// drawn over it, the second slide, the first with the pointer over it, a step of a fade from
// the first to the second, and a picture of another size.
std::vector<uint32_t> namedPicture(const QString &name)
{
    constexpr uint32_t kBlue = 0xff1f4fbe, kGreen = 0xff2e9e4f, kRed = 0xfffa5151;
    const bool small = name == "other size";
    const int width = small ? 320 : 640, height = small ? 180 : 360;
    const uint32_t fill = name == "slide 2" ? kGreen : name == "fade" ? 0xff26779f : kBlue;
    std::vector<uint32_t> picture(size_t(width * height), fill);
    const auto paint = [&](int x0, int y0, int w, int h, uint32_t colour) {
        for (int y = y0; y < y0 + h; ++y)
            std::fill_n(picture.begin() + y * width + x0, w, colour);
    };
    if (name == "slide 1 drawn")
        paint(180, 120, 220, 12, kRed);
    if (name == "pointer")
        paint(300, 200, 12, 18, 0xffffffff);
    return picture;
}

// Applies a script of "start@t", "pause@t", "resume@t", "stop@t" to a time line.
void apply(RecordTimeline &line, const QStringList &script)
{
    for (const QString &entry : script) {
        const QStringList parts = entry.split('@');
        const qint64 t = parts.at(1).toLongLong();
        if (parts.at(0) == "start")
            line.start(t);
        else if (parts.at(0) == "pause")
            line.pause(t);
        else if (parts.at(0) == "resume")
            line.resume(t);
        else if (parts.at(0) == "stop")
            line.stop(t);
        else if (parts.at(0) == "fixed")
            line.setFixedPauseSpacing(t);
    }
}
}  // namespace

class TestRecordTiming : public QObject
{
    Q_OBJECT
private slots:
    void videoFramesAcrossPauses_data()
    {
        // frames: capture times
        // expected: file times, -1 for a dropped frame
        DataTable::columns<QStringList, Times, Times>("script", "frames", "expected");
        // The first kept frame is shown from the start, the next ones where they were taken.
        QTest::newRow("before the start is dropped, first kept frame at 0")
            << QStringList{"start@1000"} << Times{500, 1200, 1533} << Times{-1, 0, 533};
        QTest::newRow("a first frame a second late is held back to the start")
            << QStringList{"start@0"} << Times{1000000, 1033333} << Times{0, 1033333};
        // Frames every 333333; a 5 s pause between the frames at 1000000 and 51000000: the
        // first frame after it follows the last one by one spacing, not by 50000000.
        QTest::newRow("pause replaced by one spacing")
            << QStringList{"start@0", "pause@1200000", "resume@50900000"}
            << Times{333333, 666666, 999999, 51000000, 51333333}
            << Times{0, 666666, 999999, 1333332, 1666665};
        QTest::newRow("pause before the first frame: it stands at the resume")
            << QStringList{"start@0", "pause@10", "resume@5000"} << Times{6000, 6333}
            << Times{10, 1343};
        QTest::newRow("frames in a pause and after the stop are dropped")
            << QStringList{"start@0", "pause@1000", "resume@3000", "stop@4000"}
            << Times{0, 500, 1500, 3100, 3600, 4000, 4500} << Times{0, 500, -1, 1000, 1500, -1, -1};
        QTest::newRow("a frame captured before the pause but read after it is kept")
            << QStringList{"start@0", "pause@1000"} << Times{0, 999, 1001} << Times{0, 999, -1};
        QTest::newRow("one frame then a pause: nominal spacing")
            << QStringList{"start@0", "pause@100", "resume@9000"} << Times{50, 9050}
            << Times{0, 33333};
        QTest::newRow("two pauses in a row keep the ordinary spacing")
            << QStringList{"start@0", "pause@250", "resume@1000", "pause@1250", "resume@2000"}
            << Times{0, 100, 200, 1050, 1150, 2020, 2120} << Times{0, 100, 200, 300, 400, 500, 600};
        QTest::newRow("a frame that repeats a capture time is dropped")
            << QStringList{"start@0"} << Times{10, 10, 20} << Times{0, -1, 20};
        // Board pictures a second apart, the last just before the pause: the first picture
        // after it follows by the spacing given, not by the last spacing (half a second).
        QTest::newRow("fixed pause spacing for pictures that come when the board changed")
            << QStringList{"fixed@33334", "start@0", "pause@2500000", "resume@9000000"}
            << Times{0, 1000000, 2000000, 2499999, 9000000}
            << Times{0, 1000000, 2000000, 2499999, 2533333};
    }
    void videoFramesAcrossPauses()
    {
        const auto [script, frames, expected] =
            DataTable::fetch<QStringList, Times, Times>("script", "frames", "expected");
        RecordTimeline line(33333);
        apply(line, script);
        Times got;
        for (qint64 t : frames)
            got << line.mapVideo(t);
        QCOMPARE(got, expected);
    }

    void picturesByCadence_data()
    {
        // script: "change@t" (the board changed), "tick@t" (is a picture due at t?), "end@t"
        // (pause or stop at t), "now@t" (a picture sent at once, outside the rule). sent: the
        // stamps of the pictures the rule sent, in order.
        DataTable::columns<QStringList, Times>("script", "sent");
        QTest::newRow("nothing changed: nothing is sent")
            << QStringList{"tick@0", "tick@5000000"} << Times{};
        QTest::newRow("a change is sent at once, stamped with its time")
            << QStringList{"change@100", "tick@150"} << Times{100};
        QTest::newRow("a change within 1/30 s waits for the spacing")
            << QStringList{"change@0", "tick@0", "change@10000", "tick@20000", "tick@40000"}
            << Times{0, 33334};
        QTest::newRow("many changes in one spacing make one picture")
            << QStringList{"change@0",     "tick@0",     "change@5000", "change@20000",
                           "change@30000", "tick@34000", "tick@60000"}
            << Times{0, 33334};
        QTest::newRow("a still board is sent again once a second")
            << QStringList{"change@0", "tick@0", "tick@999999", "tick@1000000", "tick@2500000"}
            << Times{0, 1000000, 2000000};
        QTest::newRow("a change after a still second is stamped with its own time")
            << QStringList{"change@0", "tick@0", "change@700000", "tick@710000"}
            << Times{0, 700000};
        QTest::newRow("late ticks keep the due stamps")
            << QStringList{"change@0", "tick@0", "change@10000", "tick@90000"} << Times{0, 33334};
        // A screen changing a little more than 30 times a second, each read waking 2 ms late:
        // the spacing counts from the due moments, so no picture is lost.
        QTest::newRow("late wake-ups lose no picture")
            << QStringList{"change@0",      "tick@2000",  "change@33000", "tick@35334",
                           "change@66000",  "tick@68668", "change@99000", "tick@102002",
                           "change@132000", "tick@136000"}
            << Times{0, 33334, 66668, 100002, 133336};
        QTest::newRow("the end sends the picture just before it")
            << QStringList{"change@0", "tick@0", "end@400000"} << Times{0, 399999};
        QTest::newRow("an end right after a picture sends nothing more")
            << QStringList{"change@0", "tick@0", "end@20000"} << Times{0};
        QTest::newRow("an end keeps the spacing even after a change")
            << QStringList{"change@0", "tick@0", "change@10000", "end@20000"} << Times{0};
        QTest::newRow("an end after a held change shows it")
            << QStringList{"change@0", "tick@0", "change@10000", "end@40000"} << Times{0, 39999};
        QTest::newRow("nothing is due after the end until the next change")
            << QStringList{"change@0",       "tick@0",       "end@400000",  "tick@3000000",
                           "change@5000000", "tick@5000000", "tick@6000000"}
            << Times{0, 399999, 5000000, 6000000};
        QTest::newRow("a picture sent at once keeps the spacing after it")
            << QStringList{"change@0",     "tick@0",     "now@10000",
                           "change@20000", "tick@30000", "tick@43334"}
            << Times{0, 43334};
    }
    void picturesByCadence()
    {
        const auto [script, sent] = DataTable::fetch<QStringList, Times>("script", "sent");
        PictureCadence cadence;
        Times got;
        for (const QString &entry : script) {
            const QStringList parts = entry.split('@');
            const qint64 t = parts.at(1).toLongLong();
            if (parts.at(0) == "change") {
                cadence.changed(t);
            } else if (parts.at(0) == "tick") {
                for (qint64 stamp = cadence.take(t); stamp >= 0; stamp = cadence.take(t))
                    got << stamp;
            } else if (parts.at(0) == "now") {
                cadence.sentAt(t);
            } else if (parts.at(0) == "end") {
                const qint64 stamp = cadence.end(t);
                if (stamp >= 0)
                    got << stamp;
            }
        }
        QCOMPARE(got, sent);
    }

    void soundFollowsThePictureOffsets_data()
    {
        // frames: video frames mapped first
        // parts: captureUs, durationUs, fileUs for each part
        DataTable::columns<QStringList, Times, qint64, qint64, Times>("script", "frames", "from",
                                                                      "to", "parts");
        QTest::newRow("before any picture: measured from the start")
            << QStringList{"start@1000"} << Times{} << qint64(1500) << qint64(2500)
            << Times{1500, 1000, 500};
        QTest::newRow("a late first picture does not move the origin")
            << QStringList{"start@1000"} << Times{1200} << qint64(1500) << qint64(2500)
            << Times{1500, 1000, 500};
        QTest::newRow("a chunk across the start keeps its recorded part")
            << QStringList{"start@1000"} << Times{} << qint64(500) << qint64(1500)
            << Times{1000, 500, 0};
        QTest::newRow("a chunk across a pause keeps both sides")
            << QStringList{"start@0", "pause@1000", "resume@5000"} << Times{0, 500, 5100}
            << qint64(900) << qint64(5200) << Times{900, 100, 900, 5000, 200, 900};
        QTest::newRow("after a pause the picture's choice is used")
            << QStringList{"start@0", "pause@1000", "resume@5000"} << Times{0, 500, 900, 5100}
            << qint64(6000) << qint64(6100) << Times{6000, 100, 2200};
        QTest::newRow("nothing during a pause")
            << QStringList{"start@0", "pause@1000", "resume@5000"} << Times{} << qint64(2000)
            << qint64(3000) << Times{};
    }
    void soundFollowsThePictureOffsets()
    {
        const auto [script, frames, from, to, parts] =
            DataTable::fetch<QStringList, Times, qint64, qint64, Times>("script", "frames", "from",
                                                                        "to", "parts");
        RecordTimeline line(33333);
        apply(line, script);
        for (qint64 t : frames)
            line.mapVideo(t);
        Times got;
        for (const RecordTimeline::Part &p : line.mapAudio(from, to))
            got << p.captureUs << p.durationUs << p.fileUs;
        QCOMPARE(got, parts);
    }

    void stopEndsReaders()
    {
        RecordTimeline line;
        line.start(0);
        QVERIFY(!line.isOverAt(100000));
        line.pause(1000);
        line.stop(5000);  // stopped while paused: over from the pause on
        QVERIFY(!line.isOverAt(999));
        QVERIFY(line.isOverAt(1000));
    }

    void videoEndReachesTheSoundThread()
    {
        RecordTimeline line;
        QCOMPARE(line.waitForVideoEnd(10), qint64(-1));
        QThread *thread = QThread::create([&line]() {
            QThread::msleep(50);
            line.finishVideo(3000000);
        });
        thread->start();
        QCOMPARE(line.waitForVideoEnd(10000), qint64(3000000));
        thread->wait();
        delete thread;
    }

    void alignerPlacesChunks_data()
    {
        // 1000 samples per second, so samples and milliseconds are the same numbers; the
        // tolerance is 10 ms = 10 samples.
        // chunks: {captureUs, samples, fileUs} each
        DataTable::columns<QList<Times>, qint64, Steps>("chunks", "lead", "expected");
        QTest::newRow("continuous chunks are taken whole")
            << QList<Times>{{0, 100, 0}, {100000, 100, 100000}} << qint64(0)
            << Steps{take(0, 100), take(0, 100)};
        QTest::newRow("small jitter is left alone")
            << QList<Times>{{0, 100, 0}, {105000, 100, 105000}} << qint64(0)
            << Steps{take(0, 100), take(0, 100)};
        QTest::newRow("a late chunk gets silence before it")
            << QList<Times>{{0, 100, 0}, {150000, 100, 150000}} << qint64(0)
            << Steps{take(0, 100), silence(50), take(0, 100)};
        QTest::newRow("an early chunk loses its surplus")
            << QList<Times>{{0, 100, 0}, {70000, 100, 70000}} << qint64(0)
            << Steps{take(0, 100), take(30, 70)};
        QTest::newRow("a chunk wholly behind is skipped")
            << QList<Times>{{0, 100, 0}, {0, 50, 0}} << qint64(0) << Steps{take(0, 100)};
        QTest::newRow("the encoder's priming is taken off the start")
            << QList<Times>{{0, 100, 0}} << qint64(20) << Steps{take(20, 80)};
        QTest::newRow("first sound after the start is preceded by silence")
            << QList<Times>{{40000, 100, 40000}} << qint64(0) << Steps{silence(40), take(0, 100)};
    }
    void alignerPlacesChunks()
    {
        const auto [chunks, lead, expected] =
            DataTable::fetch<QList<Times>, qint64, Steps>("chunks", "lead", "expected");
        AudioAligner aligner(1000, 10000, lead);
        Steps got;
        for (const Times &c : chunks)
            got += aligner.place(c.at(0), c.at(1),
                                 {RecordTimeline::Part{c.at(0), c.at(1) * 1000, c.at(2)}});
        QCOMPARE(got, expected);
    }

    void alignerCutsThePauseOutOfAChunk()
    {
        // 1000 samples per second; a pause from 950 ms to 3000 ms falls into the second chunk.
        RecordTimeline line;
        line.start(0);
        line.pause(950000);
        line.resume(3000000);
        AudioAligner aligner(1000);
        QCOMPARE(aligner.place(0, 900, line.mapAudio(0, 900000)), (Steps{take(0, 900)}));
        QCOMPARE(aligner.place(900000, 100, line.mapAudio(900000, 1000000)), (Steps{take(0, 50)}));
        QCOMPARE(aligner.place(3000000, 100, line.mapAudio(3000000, 3100000)),
                 (Steps{take(0, 100)}));
        QCOMPARE(aligner.writtenSamples(), qint64(1050));
        QCOMPARE(aligner.padTo(1300000), (Steps{silence(250)}));
        QCOMPARE(aligner.padTo(1200000), Steps{});
    }

    void soundClockIgnoresLateArrivals_data()
    {
        // arrivals: each packet 20 samples at 1000 Hz = 20 ms
        // expected: capture time of each packet's first sample
        DataTable::columns<Times, Times>("arrivals", "expected");
        QTest::newRow("prompt packets")
            << Times{1020000, 1040000, 1060000} << Times{1000000, 1020000, 1040000};
        QTest::newRow("a burst at the start settles on the earliest bound")
            << Times{1300000, 1300100, 1300200, 1080000, 1100000}
            << Times{1280000, 1280100, 1280200, 1060000, 1080000};
        QTest::newRow("a late packet does not move the clock")
            << Times{1020000, 1090000, 1060000} << Times{1000000, 1020000, 1040000};
    }
    void soundClockIgnoresLateArrivals()
    {
        const auto [arrivals, expected] = DataTable::fetch<Times, Times>("arrivals", "expected");
        SoundClock clock(1000);
        Times got;
        for (qint64 a : arrivals)
            got << clock.packetArrived(a, 20);
        QCOMPARE(got, expected);
    }

    void soundClockForgetsOldBounds()
    {
        // A sound card slower than the system clock: the bound of long ago must not hold the
        // clock back for ever.
        SoundClock clock(1000, 3);
        clock.packetArrived(1020000, 20);  // base 1000000
        for (int i = 1; i < 5; ++i)
            clock.packetArrived(1020000 + i * 20000 + 5000, 20);  // base 1005000
        QCOMPARE(clock.packetArrived(1125000, 20), qint64(1105000));
    }

    // pictures: from the request picture on, one every 1/30 s; split: the index of the first
    // picture of the new clip.
    void clipStartsWhereThePictureChanges_data()
    {
        DataTable::columns<QStringList, int>("pictures", "split");
        QTest::newRow("slide painted two pictures after the report")
            << QStringList{"slide 1", "slide 1", "slide 1", "slide 2", "slide 2"} << 3;
        QTest::newRow("the stroke goes first, the slide decides")
            << QStringList{"slide 1 drawn", "slide 1", "slide 1", "slide 2"} << 3;
        QTest::newRow("only the stroke goes: the next slide looks the same")
            << QStringList{"slide 1 drawn", "slide 1", "slide 1"} << 1;
        QTest::newRow("the new slide is already shown") << QStringList{"slide 2", "slide 2"} << 0;
        QTest::newRow("only the pointer moves")
            << QStringList{"slide 1", "pointer", "slide 1", "pointer"} << 0;
        QTest::newRow("a fade: its first step") << QStringList{"slide 1", "fade", "slide 2"} << 1;
        QTest::newRow("a picture of another size is not compared")
            << QStringList{"slide 1", "other size", "slide 2"} << 2;
        QTest::newRow("stopped before the slide changed") << QStringList{"slide 1", "slide 1"} << 0;
        QStringList late(ClipSplitPoint::kWatchedPictures + 1, "slide 1");
        QTest::newRow("painted too late: at the report") << (late << "slide 2") << 0;
    }
    void clipStartsWhereThePictureChanges()
    {
        const auto [pictures, split] = DataTable::fetch<QStringList, int>("pictures", "split");
        constexpr qint64 kFrameUs = 33333;
        const auto picture = [](const std::vector<uint32_t> &pixels, int width) {
            return ClipSplitPoint::Picture{reinterpret_cast<const uint8_t *>(pixels.data()),
                                           qsizetype(pixels.size() * 4), width,
                                           int(pixels.size()) / width, 4};
        };
        ClipSplitPoint point;
        QVERIFY(!point.isWatching());
        const std::vector<uint32_t> first = namedPicture(pictures.first());
        point.start(1000000, picture(first, 640));
        for (int i = 1; i < pictures.size(); ++i) {
            const std::vector<uint32_t> pixels = namedPicture(pictures.at(i));
            const int width = pictures.at(i) == "other size" ? 320 : 640;
            // Decided once the watch has seen its pictures, not before.
            const bool decided = point.add(1000000 + i * kFrameUs, picture(pixels, width));
            QCOMPARE(decided, i == ClipSplitPoint::kWatchedPictures);
            if (decided)
                break;
        }
        QVERIFY(point.isWatching());
        QCOMPARE(point.finish(), 1000000 + split * kFrameUs);
        QVERIFY(!point.isWatching());
    }

    void soundDeviceChoice_data()
    {
        DataTable::columns<QStringList, QString>("devices", "chosen");
        QTest::newRow("empty list: no sound") << QStringList{} << QString();
        QTest::newRow("first real microphone")
            << QStringList{"alsa_input.usb-mic", "alsa_input.pci-analog"} << "alsa_input.usb-mic";
        QTest::newRow("monitors are passed over")
            << QStringList{"alsa_output.pci.monitor", "lumora_mic"} << "lumora_mic";
        QTest::newRow("only loop-back sources: the default monitor")
            << QStringList{"alsa_output.pci.monitor"} << "@DEFAULT_MONITOR@";
        QTest::newRow("the default monitor itself")
            << QStringList{"@DEFAULT_MONITOR@"} << "@DEFAULT_MONITOR@";
    }
    void soundDeviceChoice()
    {
        const auto [devices, chosen] = DataTable::fetch<QStringList, QString>("devices", "chosen");
        QList<TDeviceInfo> list;
        for (const QString &d : devices)
            list << TDeviceInfo{d};
        QCOMPARE(DeviceUtil::chooseAudioDevice(list), chosen);
    }
};

QTEST_GUILESS_MAIN(TestRecordTiming)
#include "tst_recordtiming.moc"
