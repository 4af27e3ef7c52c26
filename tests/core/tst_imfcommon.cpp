#include "core/timeline/imfcommon.h"
#include "support/datatable.h"

#include <QSignalSpy>
#include <QtTest>

using namespace Qt::StringLiterals;

class TestImfCommon : public QObject
{
    Q_OBJECT
private slots:
    void minutesSecondsText_data()
    {
        DataTable::columns<QString, qint64, QString, QString>("rate", "frames", "minutesSeconds",
                                                              "framesText");
        QTest::newRow("1500 frames at 24") << u"24"_s << qint64(1500) << u"01:02"_s << u"1500"_s;
        QTest::newRow("one hour at 24 folds into minutes")
            << u"24"_s << qint64(24 * 3600) << u"60:00"_s << u"86400"_s;
        QTest::newRow("29.97 counts as 30")
            << u"29.97"_s << qint64(1800) << u"01:00"_s << u"1800"_s;
        QTest::newRow("23.976 counts as 24")
            << u"23.976"_s << qint64(24 * 61) << u"01:01"_s << u"1464"_s;
        QTest::newRow("negative") << u"24"_s << qint64(-5) << u"-00:00"_s << u"-0"_s;
        QTest::newRow("zero") << u"24"_s << qint64(0) << u"00:00"_s << u"0"_s;
        QTest::newRow("hours wrap after 60")
            << u"24"_s << qint64(24LL * 3600 * 61 + 24 * 5) << u"60:05"_s << u"5270520"_s;
        QTest::newRow("invalid rate") << u"nope"_s << qint64(5000) << u"00:00"_s << u"5000"_s;
    }
    void minutesSecondsText()
    {
        const auto [rate, frames, minutesSeconds, framesText] =
            DataTable::fetch<QString, qint64, QString, QString>("rate", "frames", "minutesSeconds",
                                                                "framesText");
        const Timecode tc(EditRate::byName(rate), frames);
        QCOMPARE(tc.toMinutesSecondsString(), minutesSeconds);
        QCOMPARE(tc.toFramesString(), framesText);
    }

    void formattedText_data()
    {
        DataTable::columns<qint64, QString, QString>("frames", "pattern", "expected");
        const qint64 f = (1 * 3600 + 2 * 60 + 3) * 25 + 4;  // 01:02:03 and frame 4 at 25
        QTest::newRow("all four fields") << f << u"%1:%2:%3:%4"_s << u"01:02:03:04"_s;
        QTest::newRow("text after a field kept") << f << u"%3s%4f"_s << u"03s04f"_s;
        QTest::newRow("unknown field dropped") << f << u"%9x%2"_s << u"02"_s;
        QTest::newRow("leading text dropped") << f << u"T%1"_s << u"01"_s;
        QTest::newRow("negative gives zero fields") << qint64(-3) << u"%2:%3"_s << u"-00:00"_s;
    }
    void formattedText()
    {
        const auto [frames, pattern, expected] =
            DataTable::fetch<qint64, QString, QString>("frames", "pattern", "expected");
        QCOMPARE(Timecode(EditRate::byName("25"), frames).toFormattedString(pattern), expected);
    }

    void rateFromValues_data()
    {
        DataTable::columns<int, int, int, int, QString, qint64>(
            "numerator", "denominator", "expectedNumerator", "expectedDenominator", "name", "fps");
        QTest::newRow("25000/1000 is 25") << 25000 << 1000 << 25 << 1 << "25" << qint64(25);
        QTest::newRow("NTSC film") << 24000 << 1001 << 24000 << 1001 << "23.976" << qint64(24);
        QTest::newRow("unregistered") << 7 << 1 << 7 << 1 << "" << qint64(7);
        // Not a whole number of frames per second: kept as it is, not cut down to 23/1.
        QTest::newRow("23976/1000 kept") << 23976 << 1000 << 23976 << 1000 << "" << qint64(24);
        QTest::newRow("zero denominator") << 25 << 0 << 25 << 0 << "" << qint64(0);
    }
    void rateFromValues()
    {
        const auto [numerator, denominator, expectedNumerator, expectedDenominator, name, fps] =
            DataTable::fetch<int, int, int, int, QString, qint64>(
                "numerator", "denominator", "expectedNumerator", "expectedDenominator", "name",
                "fps");
        const EditRate r(numerator, denominator);
        QCOMPARE(r.numerator(), expectedNumerator);
        QCOMPARE(r.denominator(), expectedDenominator);
        QCOMPARE(r.name(), name);
        QCOMPARE(r.roundedFps(), fps);
    }

    void frameRateNames()
    {
        const QStringList names = EditRate::frameRateNames();
        QCOMPARE(names, QStringList({"23.976", "24", "25", "29.97", "30", "48", "50", "59.94", "60",
                                     "96", "100", "119.88", "120"}));
        QCOMPARE(EditRate::registry().size(), 15);
        QCOMPARE(EditRate::byName("48000"), EditRate(48000, 1));
        QVERIFY(!EditRate::byName("24 ").isValid());
        QVERIFY(EditRate::byName("24").name() == "24");
    }

    void rateOrdering_data()
    {
        // order: -1 a < b, 0 equal, 1 a > b
        DataTable::columns<int, int, int, int, int>("an", "ad", "bn", "bd", "order");
        QTest::newRow("numerator decides") << 24 << 1 << 25 << 1 << -1;
        QTest::newRow("then denominator") << 30000 << 1001 << 30000 << 1000 << 1;
        QTest::newRow("equal") << 60 << 1 << 60 << 1 << 0;
        QTest::newRow("signed") << -1 << 1 << 1 << 1 << -1;
    }
    void rateOrdering()
    {
        const auto [an, ad, bn, bd, order] =
            DataTable::fetch<int, int, int, int, int>("an", "ad", "bn", "bd", "order");
        const EditRate a(an, ad), b(bn, bd);
        QCOMPARE(a < b, order < 0);
        QCOMPARE(a > b, order > 0);
        QCOMPARE(a == b, order == 0);
        QCOMPARE(a != b, order != 0);
    }

    void arithmetic()
    {
        const EditRate r24 = EditRate::byName("24"), r25 = EditRate::byName("25");
        const Timecode a(r24, 100), b(r24, 30);
        QCOMPARE((a + b).frames(), 130);
        QCOMPARE((a - b).frames(), 70);
        QCOMPARE((a - b).editRate(), r24);
        QTest::ignoreMessage(QtCriticalMsg, "Timcode values with different Edit Rates detected.");
        QCOMPARE(a + Timecode(r25, 5), a);
        QTest::ignoreMessage(QtCriticalMsg, "Timcode values with different Edit Rates detected.");
        QCOMPARE(a - Timecode(r25, 5), a);
        QCOMPARE((a + Duration(4)).frames(), 104);
        QCOMPARE((a - Duration(104)).clampedFrames(), 0);
        Timecode c = a;
        QCOMPARE(c++.frames(), 100);
        QCOMPARE(c.frames(), 101);
        QCOMPARE(Timecode(r24, 1, 2, 3, 4).frames(), (3600 + 120 + 3) * 24 + 4);

        QCOMPARE(Duration(b, a).frames(), 70);
        QCOMPARE(Duration::signedDifference(b, a).frames(), -70);
        QCOMPARE(Duration::absolute(Timecode(r24, -9)).frames(), 9);
        Duration d(3);
        QCOMPARE((++d).frames(), 4);
        QCOMPARE((d * 6).frames(), 24);
        QCOMPARE((6 * d).frames(), 24);
        QVERIFY(Duration(2) < Duration(3) && Duration(3) > Duration(2));
        QCOMPARE(Duration(1500).toString(r24), QString("01:02"));
    }

    void msAndFrames_data()
    {
        DataTable::columns<qint64, qint64, qint64>("ms", "frames", "backMs");
        QTest::newRow("1999 ms") << qint64(1999) << qint64(47) << qint64(1958);
        QTest::newRow("2000 ms") << qint64(2000) << qint64(48) << qint64(2000);
        QTest::newRow("30 s") << qint64(30000) << qint64(720) << qint64(30000);
        QTest::newRow("negative truncates toward zero") << qint64(-50) << qint64(-1) << qint64(-41);
        // Beyond 24.8 hours a 32-bit product would wrap.
        QTest::newRow("26 hours") << qint64(26LL * 3600 * 1000) << qint64(26LL * 3600 * 24)
                                  << qint64(26LL * 3600 * 1000);
    }
    void msAndFrames()
    {
        const auto [ms, frames, backMs] =
            DataTable::fetch<qint64, qint64, qint64>("ms", "frames", "backMs");
        QCOMPARE(msToFrames(ms), frames);
        QCOMPARE(framesToMs(frames), backMs);
    }

    void secondsText_data()
    {
        DataTable::columns<qint64, QString>("seconds", "text");
        QTest::newRow("zero") << qint64(0) << "00:00";
        QTest::newRow("62") << qint64(62) << "01:02";
        QTest::newRow("minutes not wrapped") << qint64(3 * 3600 + 5) << "180:05";
    }
    void secondsText()
    {
        const auto [seconds, text] = DataTable::fetch<qint64, QString>("seconds", "text");
        QCOMPARE(secondsToText(seconds), text);
    }

    void queuedSignalArguments()
    {
        registerTimeMetaTypes();
        QCOMPARE(QMetaType::fromName("Timecode"), QMetaType::fromType<Timecode>());
        QCOMPARE(QMetaType::fromName("Duration"), QMetaType::fromType<Duration>());
        const QVariant v = QVariant::fromValue(Timecode(EditRate::byName("24"), 48));
        QCOMPARE(v.value<Timecode>().frames(), 48);
    }
};

QTEST_GUILESS_MAIN(TestImfCommon)
#include "tst_imfcommon.moc"
