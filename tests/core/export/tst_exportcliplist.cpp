// The export clip list (folding of continuing spans, sizes, length, the whole-file copy case)
// the crf chosen for an output size, and the chapters of an export.
#include "core/export/exportcliplist.h"
#include "core/export/exportmp4layout.h"
#include "core/media/h264settings.h"
#include "support/datatable.h"

#include <QtTest>

namespace {

struct Span
{
    QString file;
    qint64 begin;
    qint64 end;
    QSize size;
    qint64 duration = 10000;
};

QList<AVData> clipsOf(const QList<Span> &spans)
{
    QList<AVData> clips;
    for (const Span &span : spans) {
        AVData clip;
        clip.filePath = span.file;
        clip.beginTime = span.begin;
        clip.endTime = span.end;
        clip.videoWidth = span.size.width();
        clip.videoHeight = span.size.height();
        clip.duration = span.duration;
        clips.append(clip);
    }
    return clips;
}

}  // namespace

Q_DECLARE_METATYPE(QList<Span>)

class TestExportClipList : public QObject
{
    Q_OBJECT

private slots:
    void builds_data();
    void builds();
    void crf_data();
    void crf();
    void chapters_data();
    void chapters();
};

void TestExportClipList::builds_data()
{
    // expected: "file begin end position" per export clip
    DataTable::columns<QList<Span>, QStringList, QSize, bool, qint64, bool>(
        "timeline", "expected", "outputSize", "background", "totalMs", "wholeFile");

    const QSize hd(1920, 1080), small(1280, 720);
    QTest::newRow("adjacent spans of one file fold into one")
        << QList<Span>{{"a", 0, 3000, hd}, {"a", 3000, 5000, hd}, {"a", 5000, 6000, hd}}
        << QStringList{"a 0 6000 0"} << hd << false << qint64(6000) << false;
    QTest::newRow("a gap between spans keeps them apart")
        << QList<Span>{{"a", 0, 3000, hd}, {"a", 4000, 5000, hd}}
        << QStringList{"a 0 3000 0", "a 4000 5000 3000"} << hd << false << qint64(4000) << false;
    QTest::newRow("one file in two places is read twice")
        << QList<Span>{{"a", 0, 2000, hd}, {"b", 0, 1000, small}, {"a", 2000, 3000, hd}}
        << QStringList{"a 0 2000 0", "b 0 1000 2000", "a 2000 3000 3000"} << hd << true
        << qint64(4000) << false;
    QTest::newRow("the same span backwards does not fold")
        << QList<Span>{{"a", 3000, 5000, hd}, {"a", 0, 3000, hd}}
        << QStringList{"a 3000 5000 0", "a 0 3000 2000"} << hd << false << qint64(5000) << false;
    QTest::newRow("empty spans are left out and do not break folding")
        << QList<Span>{{"a", 0, 1000, hd}, {"b", 500, 500, small}, {"a", 1000, 2000, hd}}
        << QStringList{"a 0 2000 0"} << hd << false << qint64(2000) << false;
    QTest::newRow("largest width and height may come from different clips")
        << QList<Span>{{"a", 0, 1000, QSize(1920, 800)}, {"b", 0, 1000, QSize(1440, 1080)}}
        << QStringList{"a 0 1000 0", "b 0 1000 1000"} << hd << true << qint64(2000) << false;
    QTest::newRow("one untrimmed clip is a whole file")
        << QList<Span>{{"a", 0, 10000, hd}} << QStringList{"a 0 10000 0"} << hd << false
        << qint64(10000) << true;
    QTest::newRow("two spans that fold into the whole file")
        << QList<Span>{{"a", 0, 4000, hd}, {"a", 4000, 10000, hd}} << QStringList{"a 0 10000 0"}
        << hd << false << qint64(10000) << true;
    QTest::newRow("one trimmed clip is not a whole file")
        << QList<Span>{{"a", 100, 10000, hd}} << QStringList{"a 100 10000 0"} << hd << false
        << qint64(9900) << false;
    QTest::newRow("nothing to export")
        << QList<Span>{} << QStringList{} << QSize() << false << qint64(0) << false;
}

void TestExportClipList::builds()
{
    const auto [timeline, expected, outputSize, background, totalMs, wholeFile] =
        DataTable::fetch<QList<Span>, QStringList, QSize, bool, qint64, bool>(
            "timeline", "expected", "outputSize", "background", "totalMs", "wholeFile");

    const ExportClipList list = buildExportClipList(clipsOf(timeline));
    QStringList got;
    for (const AVData &clip : list.clips)
        got << QStringLiteral("%1 %2 %3 %4")
                   .arg(clip.filePath)
                   .arg(clip.beginTime)
                   .arg(clip.endTime)
                   .arg(clip.position);
    QCOMPARE(got, expected);
    if (!expected.isEmpty()) {
        QCOMPARE(list.outputSize, outputSize);
        QCOMPARE(list.needsBackground(), background);
    }
    QCOMPARE(list.totalMs, totalMs);
    QCOMPARE(list.isWholeSingleFile(), wholeFile);
}

void TestExportClipList::crf_data()
{
    DataTable::columns<QSize, QString>("size", "crf");
    QTest::newRow("640x480") << QSize(640, 480) << "24";
    QTest::newRow("800x600 (480000)") << QSize(800, 600) << "24";
    QTest::newRow("480001") << QSize(480001, 1) << "26";
    QTest::newRow("756000") << QSize(1050, 720) << "26";
    QTest::newRow("1280x720") << QSize(1280, 720) << "27";
    QTest::newRow("1612800") << QSize(1680, 960) << "27";
    QTest::newRow("1612801") << QSize(1612801, 1) << "28";
    QTest::newRow("1920x1080") << QSize(1920, 1080) << "28";
}

void TestExportClipList::crf()
{
    const auto [size, crf] = DataTable::fetch<QSize, QString>("size", "crf");
    QCOMPARE(h264::crfFor(size.width(), size.height()), crf);
}

void TestExportClipList::chapters_data()
{
    // "title:lengthMs" per clip, laid end to end, each of a file of its own; "title:lengthMs:
    // file" for clips that share a file, the one after continuing the one before; expected
    // "title start end" per chapter.
    DataTable::columns<QStringList, QStringList>("clips", "expected");

    QTest::newRow("one chapter per new slide")
        << QStringList{"第1页:2000", "第2页:3000", "第3页:1000"}
        << QStringList{"第1页 0 2000", "第2页 2000 5000", "第3页 5000 6000"};
    QTest::newRow("a slide cut in two stays one chapter")
        << QStringList{"第1页:2000", "第1页:1000", "第2页:1000"}
        << QStringList{"第1页 0 3000", "第2页 3000 4000"};
    QTest::newRow("an imported video between slides, back to the same slide")
        << QStringList{"第1页:1000", "intro:1500", "第1页:500"}
        << QStringList{"第1页 0 1000", "intro 1000 2500", "第1页 2500 3000"};
    QTest::newRow("one recording split into three slides, then a video")
        << QStringList{"第1页:2000:rec", "第2页:3000:rec", "第3页:1000:rec", "video1:1500"}
        << QStringList{"第1页 0 2000", "第2页 2000 5000", "第3页 5000 6000", "video1 6000 7500"};
    QTest::newRow("a video, then one recording of two slides")
        << QStringList{"video1:1000", "第1页:500:rec", "第2页:700:rec"}
        << QStringList{"video1 0 1000", "第1页 1000 1500", "第2页 1500 2200"};
    QTest::newRow("slides recorded one after another in one file")
        << QStringList{"第1页:2000:rec", "第2页:3000:rec", "第2页:500:rec", ":500:rec"}
        << QStringList{"第1页 0 2000", "第2页 2000 6000"};
    QTest::newRow("no titles, no chapters") << QStringList{":1000", ":2000"} << QStringList{};
    QTest::newRow("an untitled clip continues the chapter before it")
        << QStringList{"第1页:1000", ":1000", "第2页:1000"}
        << QStringList{"第1页 0 2000", "第2页 2000 3000"};
    QTest::newRow("a title on an empty span starts nothing")
        << QStringList{"第1页:1000", "第2页:0", "第3页:1000"}
        << QStringList{"第1页 0 1000", "第3页 1000 2000"};
}

void TestExportClipList::chapters()
{
    const auto [clips, expected] = DataTable::fetch<QStringList, QStringList>("clips", "expected");
    QList<AVData> timeline;
    QHash<QString, qint64> fileEnds;
    for (const QString &text : clips) {
        AVData clip;
        clip.title = text.section(':', 0, 0);
        clip.filePath = text.section(':', 2);
        if (clip.filePath.isEmpty())
            clip.filePath = QStringLiteral("f%1").arg(timeline.size());
        clip.beginTime = fileEnds.value(clip.filePath);
        clip.endTime = clip.beginTime + text.section(':', 1, 1).toLongLong();
        fileEnds[clip.filePath] = clip.duration = clip.endTime;
        clip.videoWidth = 640;
        clip.videoHeight = 360;
        timeline.append(clip);
    }
    const ExportClipList list = buildExportClipList(timeline);
    QStringList got;
    for (const exportlayout::Chapter &c : list.chapters)
        got << QStringLiteral("%1 %2 %3").arg(c.title).arg(c.startMs).arg(c.endMs);
    QCOMPARE(got, expected);
}

QTEST_GUILESS_MAIN(TestExportClipList)
#include "tst_exportcliplist.moc"
