// Rewriting a finished fragmented recording as a regular MP4: the streams come through
// unchanged, and whenever the rewrite cannot be done the original file is left as it was.
#include "core/record/mp4rewrite.h"
#include "support/datatable.h"
#include "support/mediainspect.h"
#include "support/mp4boxes.h"
#include "support/testmedia.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

class TestMp4Rewrite : public QObject
{
    Q_OBJECT

    // A fragmented MP4 as the recorder writes one: `videoSec` of moving pictures, `audioSec`
    // of a tone, fragments of half a second.
    static bool makeFragmented(const QString &path, double videoSec, double audioSec,
                               QString *error)
    {
        return TestMedia::ffmpeg({"-f",
                                  "lavfi",
                                  "-t",
                                  QString::number(videoSec),
                                  "-i",
                                  "testsrc=size=320x240:rate=30",
                                  "-f",
                                  "lavfi",
                                  "-t",
                                  QString::number(audioSec),
                                  "-i",
                                  "sine=frequency=440:sample_rate=44100",
                                  "-c:v",
                                  "libx264",
                                  "-g",
                                  "15",
                                  "-c:a",
                                  "aac",
                                  "-movflags",
                                  "+empty_moov+default_base_moof",
                                  "-frag_duration",
                                  "500000",
                                  path},
                                 error);
    }

private slots:
    void rewritesOrKeepsTheFile_data()
    {
        // input: "fragmented", "garbage" or "missing"
        DataTable::columns<QString, bool, bool>("input", "blockTemporary", "rewritten");
        QTest::newRow("fragmented recording") << "fragmented" << false << true;
        QTest::newRow("temporary name taken") << "fragmented" << true << false;
        QTest::newRow("not a media file") << "garbage" << false << false;
        QTest::newRow("file gone") << "missing" << false << false;
    }

    void rewritesOrKeepsTheFile()
    {
        const auto [input, blockTemporary, rewritten] =
            DataTable::fetch<QString, bool, bool>("input", "blockTemporary", "rewritten");
        QTemporaryDir dir;
        const QString path = dir.filePath("录课 1.mp4");
        if (input == "fragmented") {
            QString error;
            QVERIFY2(makeFragmented(path, 2, 2, &error), qPrintable(error));
            QVERIFY(Mp4Boxes::topLevel(path).contains("moof"));
        } else if (input == "garbage") {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(QByteArray(4096, 'x'));
        }
        const QString temporary = dir.filePath(".录课 1.mp4.rewrite.mp4");
        if (blockTemporary)
            QVERIFY(QDir(dir.path()).mkdir(QFileInfo(temporary).fileName()));
        const QByteArray before = contents(path);
        const MediaInspect::Info was = MediaInspect::probe(path);
        const QStringList entries =
            QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);

        QCOMPARE(Mp4Rewrite::rewriteAsRegular(path), rewritten);

        // Nothing is left behind or lost in the folder.
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 entries);
        if (!rewritten) {
            QCOMPARE(contents(path), before);
            QCOMPARE(Mp4Rewrite::videoDurationMs(path) > 0, input == "fragmented");
            return;
        }
        const QStringList boxes = Mp4Boxes::topLevel(path);
        QVERIFY2(boxes.contains("moov") && !boxes.contains("moof"), qPrintable(boxes.join(' ')));
        const MediaInspect::Info now = MediaInspect::probe(path);
        QCOMPARE(now.video.packets, was.video.packets);
        QCOMPARE(now.audio.packets, was.audio.packets);
        QVERIFY(qAbs(now.video.endSec - was.video.endSec) < 0.001);
        QVERIFY(qAbs(now.audio.endSec - was.audio.endSec) < 0.001);
        QCOMPARE(Mp4Rewrite::videoDurationMs(path), qint64(2000));
        QCOMPARE(MediaInspect::pictures(path).size(), 60);
    }

    // A recording cut off while the screen stood still: its sound goes on past the last
    // picture, which is then held to the sound's end rather than the sound cut.
    void lastPictureHeldToTheSoundsEnd()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("cut off.mp4");
        QString error;
        QVERIFY2(makeFragmented(path, 1, 2.5, &error), qPrintable(error));
        const MediaInspect::Info was = MediaInspect::probe(path);
        QVERIFY(was.audio.endSec > 2.4 && was.video.endSec < 1.1);
        QVERIFY(Mp4Rewrite::rewriteAsRegular(path));
        const MediaInspect::Info now = MediaInspect::probe(path);
        QCOMPARE(now.video.packets, was.video.packets);
        QVERIFY(qAbs(now.audio.endSec - was.audio.endSec) < 0.001);
        // The picture track lasts to the sound's end (less the pictures' own start, some
        // hundredths of a second).
        const qint64 heldMs = Mp4Rewrite::videoDurationMs(path);
        QVERIFY2(heldMs >= (was.audio.endSec - 0.1) * 1000 && heldMs <= was.audio.endSec * 1000,
                 qPrintable(QString("%1 ms, sound to %2 s").arg(heldMs).arg(was.audio.endSec)));
    }
};

QTEST_GUILESS_MAIN(TestMp4Rewrite)
#include "tst_mp4rewrite.moc"
