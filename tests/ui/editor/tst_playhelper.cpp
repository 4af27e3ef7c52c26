// The preview player on real libvlc: time mapping, clip switches, the end of playback and
// how the reported timeline time follows the wall clock.
#include "support/cliplist.h"
#include "support/datatable.h"
#include "support/testmedia.h"
#include "ui/editor/mediainfo.h"
#include "ui/editor/playhelper.h"
#include "ui/editor/vlcmedia.h"
#include "ui/editor/vlcmediaplayer.h"
#include "ui/editor/vlcwidgetvideo.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

namespace {
struct Report
{
    qint64 time;
    qint64 wallMs;
};

// Collects the timeline times a PlayHelper reports while it plays, with the wall clock.
class Recorder
{
public:
    explicit Recorder(PlayHelper *helper)
    {
        m_wall.start();
        QObject::connect(helper, &PlayHelper::timeChanged, &m_context, [this, helper](qint64 t) {
            if (helper->isPlaying())
                reports.append({t, m_wall.elapsed()});
            all.append(t);
        });
    }
    QList<Report> reports;  // while playing
    QList<qint64> all;

private:
    QObject m_context;
    QElapsedTimer m_wall;
};
}  // namespace

class TestPlayHelper : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QHash<QString, QString> m_files;
    QHash<QString, qint64> m_durations;
    std::unique_ptr<PlayHelper> m_helper;
    // The editor always gives the player a widget; without one libvlc opens windows of its own.
    std::unique_ptr<VlcWidgetVideo> m_video;

    void addFile(const QString &name, double seconds, const QString &source = "testsrc2")
    {
        const QString path = m_dir.filePath(name + ".mp4");
        QVERIFY2(TestMedia::makeClip(path, seconds, QSize(160, 120), true, 25, source),
                 qPrintable(path));
        m_files.insert(name, path);
        m_durations.insert(name, qint64(seconds * 1000));
    }
    QList<AVData> clips(const QString &text) const
    {
        return ClipList::parse(text, m_files, m_durations);
    }
    VlcMediaPlayer *player() const { return m_helper->mediaPlayer(); }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        addFile("ten1", 10);
        addFile("ten2", 10, "testsrc");
        addFile("three", 3);
        addFile("red", 2, "color=c=red");
        addFile("blue", 2, "color=c=blue");
    }
    void init()
    {
        m_helper = std::make_unique<PlayHelper>();
        m_video = std::make_unique<VlcWidgetVideo>(m_helper->mediaPlayer());
        m_video->setGeometry(400, 0, 160, 120);
        m_video->show();
    }
    void cleanup()
    {
        m_helper.reset();
        m_video.reset();
    }

    void emptyListStops_data()
    {
        QTest::addColumn<bool>("playFirst");
        QTest::newRow("while playing") << true;
        QTest::newRow("while paused") << false;
    }
    void emptyListStops()
    {
        QFETCH(bool, playFirst);
        QVERIFY(m_helper->setAvDatas(clips("ten1:0:10000,ten2:0:10000"), 0));
        QCOMPARE(m_helper->mediaInfos().size(), 2);
        if (playFirst) {
            m_helper->play();
            QTRY_VERIFY_WITH_TIMEOUT(m_helper->curTime() > 300, 5000);
        } else {
            QTRY_COMPARE_WITH_TIMEOUT(player()->state(), Vlc::Paused, 5000);
        }
        QVERIFY(!m_helper->setAvDatas({}, 0));
        QVERIFY(m_helper->mediaInfos().isEmpty());
        QVERIFY(!m_helper->currentMediaInfo());
        QCOMPARE(player()->state(), Vlc::Stopped);

        // Nothing to play: play() leaves the player stopped and nothing is reported.
        QSignalSpy times(m_helper.get(), &PlayHelper::timeChanged);
        m_helper->play();
        QTest::qWait(600);
        QCOMPARE(player()->state(), Vlc::Stopped);
        QCOMPARE(times.count(), 0);
    }

    void seekToMapsTimelineToClip_data()
    {
        // sourceTime: -1: at the file's end, not checked
        DataTable::columns<qint64, int, qint64, qint64, qint64>("seek", "index", "offset",
                                                                "settled", "sourceTime");
        QTest::newRow("inside the first")
            << qint64(4000) << 0 << qint64(4000) << qint64(4000) << qint64(4000);
        QTest::newRow("inside the second")
            << qint64(15000) << 1 << qint64(5000) << qint64(15000) << qint64(5000);
        QTest::newRow("boundary starts the second")
            << qint64(10000) << 1 << qint64(0) << qint64(10000) << qint64(0);
        QTest::newRow("past the end")
            << qint64(25000) << 1 << qint64(10000) << qint64(20000) << qint64(-1);
        QTest::newRow("negative gives the end")
            << qint64(-5) << 1 << qint64(10000) << qint64(20000) << qint64(-1);
    }
    void seekToMapsTimelineToClip()
    {
        const auto [seek, index, offset, settled, sourceTime] =
            DataTable::fetch<qint64, int, qint64, qint64, qint64>("seek", "index", "offset",
                                                                  "settled", "sourceTime");
        // Each refresh replaces the entries; the replaced ones do not pile up.
        QVERIFY(m_helper->setAvDatas(clips("ten1:0:10000,ten2:0:10000,three:0:3000"), 0));
        QVERIFY(m_helper->setAvDatas(clips("ten2:0:10000,ten1:0:10000"), 12000));
        QVERIFY(m_helper->setAvDatas(clips("ten1:0:10000,ten2:0:10000"), 0));
        QCOMPARE(m_helper->findChildren<MediaInfo *>(QString(), Qt::FindDirectChildrenOnly).size(),
                 2);
        QTRY_COMPARE_WITH_TIMEOUT(player()->state(), Vlc::Paused, 5000);

        QCOMPARE(m_helper->seekTo(seek), settled);
        MediaInfo *current = m_helper->currentMediaInfo();
        QVERIFY(current);
        QCOMPARE(current->index, index);
        QCOMPARE(current->offset, offset);
        QCOMPARE(m_helper->curTime(), settled);
        if (sourceTime >= 0) {
            QTRY_COMPARE_WITH_TIMEOUT(player()->currentMedia(), current->m_Media, 5000);
            QTRY_VERIFY2_WITH_TIMEOUT(qAbs(player()->time() - sourceTime) <= 300 &&
                                          player()->state() == Vlc::Paused,
                                      qPrintable(QString::number(player()->time())), 5000);
        }
        // Nothing was asked to play: reaching the end of a file does not move the indicator.
        QTest::qWait(sourceTime < 0 ? 1000 : 0);
        QVERIFY(!m_helper->isPlaying());
        QCOMPARE(m_helper->curTime(), settled);
    }

    void touchingSpansPlayOn()
    {
        QVERIFY(m_helper->setAvDatas(clips("ten1:0:5000,ten1:5000:10000"), 3500));
        QTRY_COMPARE_WITH_TIMEOUT(player()->state(), Vlc::Paused, 5000);
        QTRY_VERIFY2_WITH_TIMEOUT(qAbs(player()->time() - 3500) <= 300,
                                  qPrintable(QString::number(player()->time())), 5000);
        VlcMedia *opened = player()->currentMedia();

        QSignalSpy openings(player(), &VlcMediaPlayer::opening);
        QElapsedTimer wall;
        QList<QPair<int, qint64>> playerTimes;
        connect(player(), &VlcMediaPlayer::timeChanged, this, [&](int t) {
            playerTimes.append({t, wall.elapsed()});
        });
        Recorder recorder(m_helper.get());
        wall.start();
        m_helper->play();
        QTRY_VERIFY_WITH_TIMEOUT(m_helper->curTime() >= 6500, 8000);
        m_helper->pause();

        QCOMPARE(m_helper->currentMediaInfo()->index, 1);
        QCOMPARE(openings.count(), 0);
        QCOMPARE(player()->currentMedia(), opened);
        // The file's own time went on rising with the wall clock: no jump at 5000.
        QVERIFY(playerTimes.size() >= 6);
        bool crossed = false;
        for (int i = 1; i < playerTimes.size(); ++i) {
            const int dt = playerTimes[i].first - playerTimes[i - 1].first;
            const qint64 dw = playerTimes[i].second - playerTimes[i - 1].second;
            QVERIFY2(dt >= 0 && qAbs(dt - dw) < 350,
                     qPrintable(QStringLiteral("player %1 -> %2 in %3 ms of wall clock")
                                    .arg(playerTimes[i - 1].first)
                                    .arg(playerTimes[i].first)
                                    .arg(dw)));
            crossed = crossed || (playerTimes[i - 1].first < 5000 && playerTimes[i].first > 5000);
        }
        QVERIFY(crossed);
        for (int i = 1; i < recorder.reports.size(); ++i)
            QVERIFY(recorder.reports[i].time >= recorder.reports[i - 1].time);

        // A seek back inside the clip that was entered by playing on still moves the player.
        QTRY_COMPARE_WITH_TIMEOUT(player()->state(), Vlc::Paused, 3000);
        QCOMPARE(m_helper->seekTo(5600), qint64(5600));
        QTRY_VERIFY2_WITH_TIMEOUT(qAbs(player()->time() - 5600) <= 300,
                                  qPrintable(QString::number(player()->time())), 5000);
    }

    // An edit that puts another span of the same file under the paused playhead (a delete or
    // its undo): the open file is sought, not opened again. A later switch to another file
    // opens it in a fresh libvlc player while the old one is put aside.
    void editInOneFileSeeks()
    {
        const QList<AVData> before = clips("ten1:0:4000,ten2:0:10000");
        QVERIFY(m_helper->setAvDatas(before, 1000));
        QTRY_COMPARE_WITH_TIMEOUT(player()->state(), Vlc::Paused, 5000);
        QSignalSpy openings(player(), &VlcMediaPlayer::opening);
        QVERIFY(m_helper->setAvDatas(
            ClipList::laidOut({clips("ten1:2000:6000").first(), before.at(1)}), 1000));
        MediaInfo *current = m_helper->currentMediaInfo();
        QCOMPARE(current->beginTime, qint64(2000));
        QCOMPARE(player()->currentMedia(), current->m_Media);
        QTRY_VERIFY2_WITH_TIMEOUT(qAbs(player()->time() - 3000) <= 300 &&
                                      player()->state() == Vlc::Paused,
                                  qPrintable(QString::number(player()->time())), 5000);
        QCOMPARE(openings.count(), 0);
        // The entry of the clip the edit left alone is kept, moved to its new place.
        QPointer<MediaInfo> second = m_helper->mediaInfos().at(1);
        QVERIFY(m_helper->setAvDatas(
            ClipList::laidOut({clips("ten1:2000:5000").first(), before.at(1)}), 1000));
        QVERIFY(second);
        QCOMPARE(m_helper->mediaInfos().at(1), second.data());
        QCOMPARE(second->position, qint64(3000));
        QCOMPARE(second->index, 1);

        QCOMPARE(m_helper->seekTo(4000), qint64(4000));
        QCOMPARE(m_helper->currentMediaInfo(), second.data());
        QTRY_COMPARE_WITH_TIMEOUT(player()->currentMedia(), second->m_Media, 5000);
        QTRY_VERIFY2_WITH_TIMEOUT(qAbs(player()->time() - 1000) <= 300 &&
                                      player()->state() == Vlc::Paused,
                                  qPrintable(QString::number(player()->time())), 5000);
    }

    void playFinishOnceAndBackToStart_data()
    {
        QTest::addColumn<QString>("list");
        QTest::newRow("one clip to its file's end") << "three:0:3000";
        QTest::newRow("last clip ends before its file") << "three:0:2000";
        QTest::newRow("two files") << "red:0:2000,blue:0:2000";
        QTest::newRow("later span of one file first") << "three:1500:3000,three:0:1000";
    }
    void playFinishOnceAndBackToStart()
    {
        QFETCH(QString, list);
        const QList<AVData> sequence = clips(list);
        const qint64 total = sequence.last().position + sequence.last().length();
        QVERIFY(m_helper->setAvDatas(sequence, 0));
        QTRY_COMPARE_WITH_TIMEOUT(player()->state(), Vlc::Paused, 5000);

        QSignalSpy finished(m_helper.get(), &PlayHelper::playFinish);
        Recorder recorder(m_helper.get());
        m_helper->play();
        QVERIFY(finished.wait(int(total) + 8000));
        QTest::qWait(1500);
        QCOMPARE(finished.count(), 1);
        QVERIFY(!m_helper->isPlaying());
        QCOMPARE(m_helper->curTime(), qint64(0));
        QVERIFY(!recorder.all.isEmpty());
        QCOMPARE(recorder.all.last(), qint64(0));
        QVERIFY(!recorder.reports.isEmpty());
        QVERIFY2(recorder.reports.last().time >= total - 700,
                 qPrintable(QString::number(recorder.reports.last().time)));
        // The first clip's first picture waits, paused, for the next play.
        QCOMPARE(m_helper->currentMediaInfo()->index, 0);
        QTRY_COMPARE_WITH_TIMEOUT(player()->state(), Vlc::Paused, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(qAbs(player()->time() - sequence.first().beginTime) <= 300, 5000);
    }

    void reportedTimeFollowsWallClock_data()
    {
        DataTable::columns<QString, qint64>("list", "start");
        // About ten seconds each, across a change of file at a file's end and inside files.
        QTest::newRow("touching spans of one file") << "ten1:0:4000,ten1:4000:10000" << qint64(0);
        QTest::newRow("two files") << "ten1:0:10000,ten2:0:10000" << qint64(5000);
        QTest::newRow("spans inside two files") << "ten1:1000:5500,ten2:3000:9000" << qint64(0);
    }
    void reportedTimeFollowsWallClock()
    {
        const auto [list, start] = DataTable::fetch<QString, qint64>("list", "start");
        QVERIFY(m_helper->setAvDatas(clips(list), start));
        QTRY_COMPARE_WITH_TIMEOUT(player()->state(), Vlc::Paused, 5000);
        Recorder recorder(m_helper.get());
        m_helper->play();
        QTRY_VERIFY_WITH_TIMEOUT(m_helper->curTime() >= start + 9700, 14000);
        m_helper->pause();

        const QList<Report> &r = recorder.reports;
        QVERIFY(r.size() >= 20);
        qint64 worst = 0;
        for (int i = 1; i < r.size(); ++i) {
            QVERIFY2(r[i].time >= r[i - 1].time,
                     qPrintable(QStringLiteral("%1 after %2").arg(r[i].time).arg(r[i - 1].time)));
            worst = qMax(worst, qAbs((r[i].time - r[0].time) - (r[i].wallMs - r[0].wallMs)));
        }
        qInfo() << "largest drift from the wall clock:" << worst << "ms over" << r.size()
                << "reports";
        QVERIFY2(worst <= 250, qPrintable(QString::number(worst)));
    }

    void pauseKeepsOffset_data()
    {
        DataTable::columns<qint64, int>("start", "index");
        QTest::newRow("first clip") << qint64(1000) << 0;
        QTest::newRow("second clip") << qint64(11000) << 1;
    }
    void pauseKeepsOffset()
    {
        const auto [start, index] = DataTable::fetch<qint64, int>("start", "index");
        QVERIFY(m_helper->setAvDatas(clips("ten1:0:10000,ten2:0:10000"), start));
        QTRY_COMPARE_WITH_TIMEOUT(player()->state(), Vlc::Paused, 5000);
        m_helper->play();
        QTRY_VERIFY_WITH_TIMEOUT(m_helper->curTime() >= start + 1500, 6000);
        m_helper->pause();
        MediaInfo *current = m_helper->currentMediaInfo();
        QCOMPARE(current->index, index);
        const qint64 pausedAt = current->position + current->offset;
        QVERIFY2(pausedAt >= start + 1300 && pausedAt <= start + 2500,
                 qPrintable(QString::number(pausedAt)));

        QTRY_COMPARE_WITH_TIMEOUT(player()->state(), Vlc::Paused, 3000);
        const int heldTime = player()->time();
        QTest::qWait(1000);
        QVERIFY(qAbs(player()->time() - heldTime) <= 100);
        QCOMPARE(current->position + current->offset, pausedAt);

        Recorder recorder(m_helper.get());
        m_helper->play();
        QTRY_VERIFY_WITH_TIMEOUT(recorder.reports.size() >= 3, 5000);
        m_helper->pause();
        const qint64 firstAfter = recorder.reports.first().time;
        QVERIFY2(
            firstAfter >= pausedAt - 300 && firstAfter <= pausedAt + 800,
            qPrintable(QStringLiteral("%1 after pausing at %2").arg(firstAfter).arg(pausedAt)));
    }
};

QTEST_MAIN(TestPlayHelper)
#include "tst_playhelper.moc"
