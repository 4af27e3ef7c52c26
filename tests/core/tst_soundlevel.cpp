// The rules behind the recording windows' warnings: the level of captured sound, when a
// microphone counts as silent, when the disk is about to fill, and when late pictures are
// worth telling.
#include "core/record/recordhealth.h"
#include "core/record/soundlevel.h"
#include "support/datatable.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/frame.h>
}

#include <QtTest>

#include <memory>

namespace {
struct FrameFree
{
    void operator()(AVFrame *f) const { av_frame_free(&f); }
};

// A stereo frame of 64 samples whose loudest sample is `peak` (of full scale) in `format`.
std::unique_ptr<AVFrame, FrameFree> frameWithPeak(AVSampleFormat format, double peak)
{
    std::unique_ptr<AVFrame, FrameFree> frame(av_frame_alloc());
    frame->format = format;
    frame->nb_samples = 64;
    av_channel_layout_default(&frame->ch_layout, 2);
    if (av_frame_get_buffer(frame.get(), 0) < 0)
        return nullptr;
    const bool planar = av_sample_fmt_is_planar(format);
    const int perPlane = planar ? 64 : 128;
    for (int p = 0; p < (planar ? 2 : 1); ++p) {
        for (int i = 0; i < perPlane; ++i) {
            // The peak sits in the last channel's last sample; the rest is quieter.
            const double v = (p == (planar ? 1 : 0) && i == perPlane - 1) ? -peak : peak / 4;
            switch (format) {
            case AV_SAMPLE_FMT_S16:
            case AV_SAMPLE_FMT_S16P:
                reinterpret_cast<int16_t *>(frame->extended_data[p])[i] = int16_t(v * 32767);
                break;
            case AV_SAMPLE_FMT_FLT:
            case AV_SAMPLE_FMT_FLTP:
                reinterpret_cast<float *>(frame->extended_data[p])[i] = float(v);
                break;
            case AV_SAMPLE_FMT_S32:
                reinterpret_cast<int32_t *>(frame->extended_data[p])[i] = int32_t(v * 2147483647.0);
                break;
            default: return nullptr;
            }
        }
    }
    return frame;
}

struct Feed
{
    qint64 ms;
    double db;
    bool muted;
};
}  // namespace
Q_DECLARE_METATYPE(QList<Feed>)

class TestSoundLevel : public QObject
{
    Q_OBJECT
private slots:
    void peakOfEachSampleFormat_data()
    {
        DataTable::columns<int, double, double>("format", "peak", "db");
        QTest::newRow("s16 full scale") << int(AV_SAMPLE_FMT_S16) << 1.0 << 0.0;
        QTest::newRow("s16 half, negative peak") << int(AV_SAMPLE_FMT_S16) << 0.5 << -6.02;
        QTest::newRow("s16 planar, peak in the second channel")
            << int(AV_SAMPLE_FMT_S16P) << 0.1 << -20.0;
        QTest::newRow("float interleaved") << int(AV_SAMPLE_FMT_FLT) << 0.01 << -40.0;
        QTest::newRow("float planar") << int(AV_SAMPLE_FMT_FLTP) << 0.001 << -60.0;
        QTest::newRow("s32") << int(AV_SAMPLE_FMT_S32) << 0.5 << -6.02;
        QTest::newRow("digital silence") << int(AV_SAMPLE_FMT_S16) << 0.0 << soundlevel::kSilentDb;
        QTest::newRow("float above full scale is full scale")
            << int(AV_SAMPLE_FMT_FLT) << 2.0 << 0.0;
    }
    void peakOfEachSampleFormat()
    {
        const auto [format, peak, db] =
            DataTable::fetch<int, double, double>("format", "peak", "db");
        auto frame = frameWithPeak(AVSampleFormat(format), peak);
        QVERIFY(frame);
        QVERIFY2(qAbs(soundlevel::peakDbfs(frame.get()) - db) < 0.1,
                 qPrintable(QString::number(soundlevel::peakDbfs(frame.get()))));
    }

    void silentMicrophoneRule_data()
    {
        DataTable::columns<QList<Feed>, bool>("feeds", "warning");
        const double quiet = -70, loud = -20;
        QTest::newRow("five silent seconds warn")
            << QList<Feed>{{2500, quiet, false}, {2500, quiet, false}} << true;
        QTest::newRow("four and a half silent seconds do not yet")
            << QList<Feed>{{4500, soundlevel::kSilentDb, false}} << false;
        QTest::newRow("sound ends the warning")
            << QList<Feed>{{5000, quiet, false}, {100, loud, false}} << false;
        QTest::newRow("sound first: later silence does not warn")
            << QList<Feed>{{100, loud, false}, {60000, quiet, false}} << false;
        QTest::newRow("muted time does not count")
            << QList<Feed>{{3000, quiet, false}, {10000, quiet, true}, {1000, quiet, false}}
            << false;
        QTest::newRow("muted hides the warning")
            << QList<Feed>{{6000, quiet, false}, {100, quiet, true}} << false;
        QTest::newRow("just under the threshold is silence")
            << QList<Feed>{{5000, SilenceWatch::kThresholdDb - 0.5, false}} << true;
        QTest::newRow("the threshold itself is sound")
            << QList<Feed>{{100, SilenceWatch::kThresholdDb, false}, {6000, quiet, false}} << false;
    }
    void silentMicrophoneRule()
    {
        const auto [feeds, warning] = DataTable::fetch<QList<Feed>, bool>("feeds", "warning");
        SilenceWatch watch;
        for (const Feed &f : feeds)
            watch.feed(f.ms, f.db, f.muted);
        QCOMPARE(watch.warning(), warning);
    }

    void diskRule_data()
    {
        DataTable::columns<qint64, qint64, int, qint64>("freeBytes", "rate", "state",
                                                        "secondsLeft");
        const qint64 reserve = DiskSpaceGuard::kReserveBytes;
        const qint64 mb = 1024 * 1024;
        QTest::newRow("plenty") << 100000 * mb << mb << int(DiskSpaceGuard::Enough)
                                << 100000 * mb / mb - 8;
        QTest::newRow("just five minutes is enough")
            << reserve + 300 * mb << mb << int(DiskSpaceGuard::Enough) << qint64(300);
        QTest::newRow("under five minutes warns")
            << reserve + 299 * mb << mb << int(DiskSpaceGuard::Low) << qint64(299);
        QTest::newRow("fifteen seconds still records")
            << reserve + 15 * mb << mb << int(DiskSpaceGuard::Low) << qint64(15);
        QTest::newRow("under fifteen seconds stops")
            << reserve + 14 * mb << mb << int(DiskSpaceGuard::Full) << qint64(14);
        QTest::newRow("only the reserve left")
            << reserve << mb << int(DiskSpaceGuard::Full) << qint64(0);
        QTest::newRow("nothing free") << qint64(0) << mb << int(DiskSpaceGuard::Full) << qint64(0);
        QTest::newRow("no rate known yet counts as one byte a second")
            << reserve + 1000 << qint64(0) << int(DiskSpaceGuard::Enough) << qint64(1000);
        QTest::newRow("sizes at the limit do not overflow")
            << std::numeric_limits<qint64>::max() << std::numeric_limits<qint64>::max()
            << int(DiskSpaceGuard::Full) << qint64(0);
    }
    void diskRule()
    {
        const auto [freeBytes, rate, state, secondsLeft] =
            DataTable::fetch<qint64, qint64, int, qint64>("freeBytes", "rate", "state",
                                                          "secondsLeft");
        QCOMPARE(int(DiskSpaceGuard::judge(freeBytes, rate)), state);
        QCOMPARE(DiskSpaceGuard::secondsLeft(freeBytes, rate), secondsLeft);
    }

    void latePicturesAreToldAboveOnePercent_data()
    {
        DataTable::columns<qint64, qint64, QString>("late", "total", "text");
        QTest::newRow("none") << qint64(0) << qint64(9000) << QString();
        QTest::newRow("exactly one percent") << qint64(90) << qint64(9000) << QString();
        QTest::newRow("just over")
            << qint64(91) << qint64(9000) << QString("电脑过于繁忙，有1.1%的画面未能及时录下");
        QTest::newRow("a third") << qint64(30) << qint64(90)
                                 << QString("电脑过于繁忙，有33%的画面未能及时录下");
        QTest::newRow("empty recording") << qint64(5) << qint64(0) << QString();
        QTest::newRow("counts at the limit") << std::numeric_limits<qint64>::max() / 1000
                                             << std::numeric_limits<qint64>::max() / 1000
                                             << QString("电脑过于繁忙，有100%的画面未能及时录下");
    }
    void latePicturesAreToldAboveOnePercent()
    {
        const auto [late, total, text] =
            DataTable::fetch<qint64, qint64, QString>("late", "total", "text");
        QCOMPARE(RecordHealth::latePicturesText(late, total), text);
    }
};

QTEST_GUILESS_MAIN(TestSoundLevel)
#include "tst_soundlevel.moc"
