// Finding the pauses of a clip: silence against the clip's own floor, and the clip list after
// the cuts. tst_pausesjourney finds them in real recordings.
#include "core/media/pausefinder.h"
#include "support/datatable.h"

#include <QtTest>

using namespace pauses;

namespace {
// Window levels: `seconds` at `level` dB.
QList<float> levels(std::initializer_list<std::pair<double, float>> parts)
{
    QList<float> out;
    for (const auto &[seconds, level] : parts)
        out += QList<float>(int(seconds * 1000 / kWindowMs), level);
    return out;
}
}  // namespace

class TstPauseFinder : public QObject
{
    Q_OBJECT
private slots:
    void silence_data()
    {
        DataTable::columns<QList<float>, QList<qint64>>("levels", "spans");
        // A room's hum under the voice is the floor; the gap in the voice is silent.
        QTest::newRow("hum") << levels({{4, -18}, {3, -47}, {4, -20}, {0.5, -45}})
                             << QList<qint64>{4000, 7000};
        QTest::newRow("quiet voice over hum")
            << levels({{4, -38}, {3, -47}, {4, -36}, {1, -46}}) << QList<qint64>{4000, 7000};
        QTest::newRow("shorter than the minimum")
            << levels({{4, -18}, {1.5, -60}, {4, -20}, {1, -60}}) << QList<qint64>{};
        QTest::newRow("no voice at all") << levels({{5, -70}}) << QList<qint64>{0, 5000};
        QTest::newRow("voice throughout")
            << levels({{3, -20}, {0.4, -30}, {3, -22}}) << QList<qint64>{};
    }
    void silence()
    {
        const auto [lv, expected] =
            DataTable::fetch<QList<float>, QList<qint64>>("levels", "spans");
        QList<qint64> got;
        for (const Span &s : silentSpans(lv, 2000))
            got << s.fromMs << s.toMs;
        QCOMPARE(got, expected);
    }

    // The clips that remain after the cuts: titles, files and order kept, lengths shortened by
    // the cuts, a pause across the end of a clip not placed.
    void cutOutClips()
    {
        QList<AVData> clips;
        for (const auto &[title, file, begin, end] :
             {std::tuple{"第1页", "a.mp4", 0, 20000}, std::tuple{"第2页", "b.mp4", 5000, 30000},
              std::tuple{"第3页", "a.mp4", 20000, 40000}}) {
            AVData c;
            c.title = title;
            c.filePath = file;
            c.beginTime = begin;
            c.endTime = end;
            clips << c;
        }
        const QList<Pause> found{{"a.mp4", {3000, 7000}, {3300, 6700}},
                                 {"a.mp4", {10000, 14000}, {10300, 13700}},
                                 {"b.mp4", {6000, 9000}, {6300, 8700}},
                                 {"a.mp4", {18000, 23000}, {18300, 22700}},  // across two clips
                                 {"a.mp4", {30000, 33000}, {30300, 32700}}};
        const QList<PlacedPause> placed = place(clips, found);
        QList<qint64> timeline;
        for (const PlacedPause &p : placed)
            timeline << p.timeline.fromMs << p.timeline.toMs;
        QCOMPARE(timeline, (QList<qint64>{3000, 7000, 10000, 14000, 21000, 24000, 55000, 58000}));

        const QList<AVData> cut = cutOut(clips, placed);
        QStringList parts;
        qint64 position = 0;
        for (const AVData &c : cut) {
            parts << QStringLiteral("%1 %2 %3-%4")
                         .arg(c.title, c.filePath)
                         .arg(c.beginTime)
                         .arg(c.endTime);
            QCOMPARE(c.position, position);
            position += c.length();
        }
        QCOMPARE(parts, (QStringList{"第1页 a.mp4 0-3300", "第1页 a.mp4 6700-10300",
                                     "第1页 a.mp4 13700-20000", "第2页 b.mp4 5000-6300",
                                     "第2页 b.mp4 8700-30000", "第3页 a.mp4 20000-30300",
                                     "第3页 a.mp4 32700-40000"}));
    }
};

QTEST_GUILESS_MAIN(TstPauseFinder)
#include "tst_pausefinder.moc"
