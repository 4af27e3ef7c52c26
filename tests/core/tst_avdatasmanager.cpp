// Importing media through the real ffmpeg tool, the progress read from its output, and the
// split and delete rules of the clip list.
#include "core/media/avdatasmanager.h"
#include "core/media/ffmpeghandles.h"
#include "core/project/projectdata.h"
#include "support/datatable.h"
#include "support/mediasamples.h"
#include "support/testmedia.h"

#include <QDir>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct StreamFacts
{
    bool opened = false;
    bool video = false;
    bool audio = false;
    AVCodecID audioCodec = AV_CODEC_ID_NONE;
    int sampleRate = 0;
    int channels = 0;
};

StreamFacts readStreams(const QString &path)
{
    StreamFacts facts;
    ffmpeg::InputFormatContextPtr input = ffmpeg::openInput(path);
    if (!input || avformat_find_stream_info(input.get(), nullptr) < 0)
        return facts;
    facts.opened = true;
    for (unsigned i = 0; i < input->nb_streams; ++i) {
        const AVCodecParameters *par = input->streams[i]->codecpar;
        if (par->codec_type == AVMEDIA_TYPE_VIDEO)
            facts.video = true;
        if (par->codec_type == AVMEDIA_TYPE_AUDIO) {
            facts.audio = true;
            facts.audioCodec = par->codec_id;
            facts.sampleRate = par->sample_rate;
            facts.channels = par->ch_layout.nb_channels;
        }
    }
    return facts;
}

AVData fakeClip(const QString &title, qint64 begin, qint64 end)
{
    AVData clip;
    clip.title = title;
    clip.fileName = title + ".mp4";
    clip.beginTime = begin;
    clip.endTime = end;
    clip.duration = end + 5000;
    return clip;
}

// "title:begin-end" for every clip of the project, in order.
QStringList layout(const ProjectData &project)
{
    QStringList out;
    for (const AVData &d : project.avDatas())
        out << QStringLiteral("%1:%2-%3").arg(d.title).arg(d.beginTime).arg(d.endTime);
    return out;
}

}  // namespace

class TestAvDatasManager : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void readProgress_data();
    void readProgress();
    void split_data();
    void split();
    void removeRange_data();
    void removeRange();
    void import_data();
    void import();
    void importProgress();
    void numberedName();
    void refusals();
    void destroyDuringImportRemovesPartialFile();

private:
    QString source(const QString &kind);
    QStringList projectFiles() const;
    QTemporaryDir m_media;
    std::unique_ptr<QTemporaryDir> m_project;
    std::unique_ptr<ProjectData> m_projectData;  // the project under test, in m_project
};

void TestAvDatasManager::initTestCase()
{
    QVERIFY(m_media.isValid());
}

void TestAvDatasManager::init()
{
    m_project = std::make_unique<QTemporaryDir>();
    m_projectData = std::make_unique<ProjectData>();
    m_projectData->setProjectDir(m_project->path() + "/");
}

void TestAvDatasManager::cleanup()
{
    m_projectData.reset();
}

QStringList TestAvDatasManager::projectFiles() const
{
    return QDir(m_project->path()).entryList(QDir::Files);
}

QString TestAvDatasManager::source(const QString &kind)
{
    const QString path = m_media.filePath(kind);
    if (QFileInfo::exists(path))
        return path;
    bool ok = false;
    if (kind == "talk.mp4" || kind == "lecture.final.mov")
        ok = TestMedia::makeClip(path, 3.0, QSize(320, 240));
    else if (kind == "mute.mp4")
        ok = TestMedia::makeClip(path, 2.0, QSize(320, 240), false);
    else if (kind == "phone.mp4")
        ok = MediaSamples::makeRotated(path, QSize(1920, 1080), 90, false);
    else if (kind == "voice.m4a")
        ok = MediaSamples::makeSoundOnly(path, 2.0, 48000);
    else if (kind == "half.mp4")
        ok = MediaSamples::writeFirstHalf(source("talk.mp4"), path);
    else if (kind == "notes.mp4")
        ok = MediaSamples::writeText(path);
    else if (kind == "long.mp4") {
        const QString piece = m_media.filePath("piece.mp4");
        ok = TestMedia::makeClip(piece, 2.0, QSize(1280, 720)) &&
             TestMedia::ffmpeg({"-stream_loop", "60", "-i", piece, "-c", "copy", path});
    }
    return ok ? path : QString();
}

void TestAvDatasManager::readProgress_data()
{
    // emitted: in order: "p<n>" progress, "m<n>" maximum
    DataTable::columns<QList<QByteArray>, qint64, QString>("chunks", "duration", "emitted");

    QTest::newRow("length then position")
        << QList<QByteArray>{"  Duration: 00:01:05.48, start: 0.000000, bitrate: 1 kb/s",
                             "frame= 10 fps=0 q=0 size=1kB time=00:00:30.12 bitrate=1"}
        << 65LL << "p0 m65 p30";
    QTest::newRow("hours and minutes")
        << QList<QByteArray>{"Duration: 01:02:03.99", "time=01:00:00.00"} << 3723LL
        << "p0 m3723 p3600";
    QTest::newRow("position before length is ignored")
        << QList<QByteArray>{"time=00:00:05.00", "Duration: 00:00:09.00"} << 9LL << "p0 m9";
    QTest::newRow("length and position in one chunk")
        << QList<QByteArray>{"Duration: 00:00:20.00 ... time=00:00:04.50"} << 20LL << "p0 m20 p4";
    QTest::newRow("time zero is not progress")
        << QList<QByteArray>{"Duration: 00:00:20.00", "time=00:00:00.50"} << 20LL << "p0 m20";
    QTest::newRow("text after a zero byte is ignored")
        << QList<QByteArray>{QByteArray("junk\0Duration: 00:00:20.00", 26)} << 0LL << "";
    QTest::newRow("under one second gives no maximum")
        << QList<QByteArray>{"Duration: 00:00:00.80", "time=00:00:00.40"} << 0LL << "";
    QTest::newRow("no length line") << QList<QByteArray>{"time=00:00:07.00"} << 0LL << "";
}

void TestAvDatasManager::readProgress()
{
    const auto [chunks, duration, emitted] =
        DataTable::fetch<QList<QByteArray>, qint64, QString>("chunks", "duration", "emitted");
    AvDatasManager manager(m_projectData.get());
    QStringList seen;
    connect(&manager, &AvDatasManager::sig_ExecProgress, this,
            [&](qlonglong p) { seen << QStringLiteral("p%1").arg(p); });
    connect(&manager, &AvDatasManager::sig_ExecMaxProgress, this,
            [&](const QString &text, qlonglong m) {
                QCOMPARE(text, QString("正在插入..."));
                seen << QStringLiteral("m%1").arg(m);
            });
    for (const QByteArray &chunk : chunks)
        manager.readProgress(chunk);
    QCOMPARE(manager.durationSeconds(), duration);
    QCOMPARE(seen.join(QLatin1Char(0x20)), emitted);
}

void TestAvDatasManager::split_data()
{
    DataTable::columns<qint64, int, QStringList>("offset", "index", "after");
    // The middle clip C uses 2000..12000 ms of its file (10000 ms long).
    QTest::newRow("999 before") << 999LL << 1
                                << QStringList{"A:0-5000", "C:2000-12000", "B:0-3000"};
    QTest::newRow("1000 splits 1000/9000")
        << 1000LL << 2 << QStringList{"A:0-5000", "C:2000-3000", "C:3000-12000", "B:0-3000"};
    QTest::newRow("9000 splits 9000/1000")
        << 9000LL << 2 << QStringList{"A:0-5000", "C:2000-11000", "C:11000-12000", "B:0-3000"};
    QTest::newRow("9001 after") << 9001LL << 2
                                << QStringList{"A:0-5000", "C:2000-12000", "B:0-3000"};
    QTest::newRow("at the end: after")
        << 10000LL << 2 << QStringList{"A:0-5000", "C:2000-12000", "B:0-3000"};
    QTest::newRow("past the end: after")
        << 25000LL << 2 << QStringList{"A:0-5000", "C:2000-12000", "B:0-3000"};
}

void TestAvDatasManager::split()
{
    const auto [offset, index, after] =
        DataTable::fetch<qint64, int, QStringList>("offset", "index", "after");
    ProjectData *project = m_projectData.get();
    const AVData c = fakeClip("C", 2000, 12000);
    project->insert(0, fakeClip("A", 0, 5000));
    project->insert(1, c);
    project->insert(2, fakeClip("B", 0, 3000));
    AvDatasManager manager(m_projectData.get());
    QCOMPARE(manager.splitAvData(c, offset), index);
    QCOMPARE(layout(*m_projectData), after);
    // Parts are new clips with the file and size of the original.
    QStringList uuids;
    for (const AVData &d : project->avDatas()) {
        QVERIFY(!uuids.contains(d.uuid));
        uuids << d.uuid;
        if (d.title == "C")
            QCOMPARE(d.duration, c.duration);
    }
    // Positions are laid end to end.
    qint64 position = 0;
    for (const AVData &d : project->avDatas()) {
        QCOMPARE(d.position, position);
        position += d.length();
    }
}

void TestAvDatasManager::removeRange_data()
{
    DataTable::columns<qint64, qint64, qint64, int, QStringList>("length", "from", "to", "result",
                                                                 "after");
    // C uses 1000..(1000 + length) of its file and sits between A and B.
    QTest::newRow("near both ends removes all")
        << 10000LL << 500LL << 9600LL << 1 << QStringList{"A:0-5000", "B:0-3000"};
    QTest::newRow("middle keeps both sides")
        << 10000LL << 2000LL << 5000LL << 1
        << QStringList{"A:0-5000", "C:1000-3000", "C:6000-11000", "B:0-3000"};
    QTest::newRow("short head dropped")
        << 10000LL << 500LL << 5000LL << 1 << QStringList{"A:0-5000", "C:6000-11000", "B:0-3000"};
    QTest::newRow("short tail dropped")
        << 10000LL << 3000LL << 9500LL << 1 << QStringList{"A:0-5000", "C:1000-4000", "B:0-3000"};
    QTest::newRow("800 ms span refused")
        << 10000LL << 2000LL << 2800LL << 0 << QStringList{"A:0-5000", "C:1000-11000", "B:0-3000"};
    QTest::newRow("short span in a short clip")
        << 900LL << 100LL << 600LL << 1 << QStringList{"A:0-5000", "B:0-3000"};
}

void TestAvDatasManager::removeRange()
{
    const auto [length, from, to, result, after] =
        DataTable::fetch<qint64, qint64, qint64, int, QStringList>("length", "from", "to", "result",
                                                                   "after");
    ProjectData *project = m_projectData.get();
    const AVData c = fakeClip("C", 1000, 1000 + length);
    project->insert(0, fakeClip("A", 0, 5000));
    project->insert(1, c);
    project->insert(2, fakeClip("B", 0, 3000));
    AvDatasManager manager(m_projectData.get());
    QSignalSpy finished(&manager, &AvDatasManager::sig_ExecFinished);
    QCOMPARE(manager.removeAvDataRange(c, from, to), result);
    QCOMPARE(layout(*m_projectData), after);
    QCOMPARE(finished.size(), result);
    if (result) {
        QCOMPARE(finished.at(0).at(0).toBool(), true);
        QCOMPARE(finished.at(0).at(1).toString(), QString("操作成功"));
    }
}

void TestAvDatasManager::import_data()
{
    // playhead: -1: empty project
    // after: "new" stands for the imported clip
    DataTable::columns<QString, qint64, bool, QStringList, QSize, bool>("kind", "playhead", "ok",
                                                                        "after", "size", "sound");

    const QStringList ab{"A:0-4000", "B:0-3000"};
    QTest::newRow("empty project")
        << "talk.mp4" << -1LL << true << QStringList{"new"} << QSize(320, 240) << true;
    QTest::newRow("at the start") << "talk.mp4" << 0LL << true
                                  << QStringList{"new", "A:0-4000", "B:0-3000"} << QSize(320, 240)
                                  << true;
    QTest::newRow("inside A splits it")
        << "talk.mp4" << 1500LL << true << QStringList{"A:0-1500", "new", "A:1500-4000", "B:0-3000"}
        << QSize(320, 240) << true;
    QTest::newRow("end of timeline appends")
        << "talk.mp4" << 7000LL << true << QStringList{"A:0-4000", "B:0-3000", "new"}
        << QSize(320, 240) << true;
    QTest::newRow("no sound") << "mute.mp4" << 4000LL << true
                              << QStringList{"A:0-4000", "new", "B:0-3000"} << QSize(320, 240)
                              << false;
    QTest::newRow("turned phone video")
        << "phone.mp4" << 0LL << true << QStringList{"new", "A:0-4000", "B:0-3000"}
        << QSize(1080, 1920) << false;
    QTest::newRow("sound only refused") << "voice.m4a" << 0LL << false << ab << QSize() << false;
    QTest::newRow("cut in half refused") << "half.mp4" << 0LL << false << ab << QSize() << false;
    QTest::newRow("text file refused") << "notes.mp4" << 0LL << false << ab << QSize() << false;
}

void TestAvDatasManager::import()
{
    const auto [kind, playhead, ok, after, size, sound] =
        DataTable::fetch<QString, qint64, bool, QStringList, QSize, bool>("kind", "playhead", "ok",
                                                                          "after", "size", "sound");

    ProjectData *project = m_projectData.get();
    if (playhead >= 0) {
        project->insert(0, fakeClip("A", 0, 4000));
        project->insert(1, fakeClip("B", 0, 3000));
    }
    const QString path = source(kind);
    QVERIFY(!path.isEmpty());
    const ClipAtResult at = project->clipAt(playhead);

    AvDatasManager manager(m_projectData.get());
    QSignalSpy finished(&manager, &AvDatasManager::sig_ExecFinished);
    QCOMPARE(manager.addVideoFile(path, at.clip, at.offset), 1);
    QVERIFY(finished.wait(120000));
    QCOMPARE(finished.at(0).at(0).toBool(), ok);
    QCOMPARE(finished.at(0).at(1).toString(), ok ? QString("操作成功") : QString("操作失败"));
    QVERIFY(!manager.isBusy());

    QStringList seen = layout(*m_projectData);
    const QString baseName = QFileInfo(kind).completeBaseName();
    AVData imported;
    for (int i = 0; i < seen.size(); ++i) {
        if (project->at(i).title == baseName) {
            imported = project->at(i);
            seen[i] = "new";
        }
    }
    QCOMPARE(seen, after);
    if (!ok) {
        QCOMPARE(projectFiles(), QStringList());
        return;
    }
    QCOMPARE(projectFiles(), QStringList{baseName + ".mp4"});
    QCOMPARE(imported.filePath, m_project->path() + "/" + baseName + ".mp4");
    QCOMPARE(QSize(imported.videoWidth, imported.videoHeight), size);
    QCOMPARE(imported.beginTime, 0);
    QVERIFY(imported.endTime > 900 && imported.endTime == imported.duration);
    const StreamFacts facts = readStreams(imported.filePath);
    QVERIFY(facts.video);
    QCOMPARE(facts.audio, sound);
    if (sound) {
        QCOMPARE(facts.audioCodec, AV_CODEC_ID_AAC);
        QCOMPARE(facts.sampleRate, 44100);
        QCOMPARE(facts.channels, 2);
    }
}

void TestAvDatasManager::importProgress()
{
    AvDatasManager manager(m_projectData.get());
    QSignalSpy progress(&manager, &AvDatasManager::sig_ExecProgress);
    QSignalSpy maximum(&manager, &AvDatasManager::sig_ExecMaxProgress);
    QSignalSpy finished(&manager, &AvDatasManager::sig_ExecFinished);
    QCOMPARE(manager.addVideoFile(source("talk.mp4"), AVData(), -1), 1);
    QVERIFY(finished.wait(120000));
    QVERIFY(finished.at(0).at(0).toBool());
    QCOMPARE(maximum.size(), 1);
    QCOMPARE(maximum.at(0).at(0).toString(), QString("正在插入..."));
    QCOMPARE(maximum.at(0).at(1).toLongLong(), 3);
    QVERIFY(progress.size() >= 2);
    QCOMPARE(progress.at(0).at(0).toLongLong(), 0);
    qint64 last = 0;
    for (const QList<QVariant> &p : progress) {
        QVERIFY(p.at(0).toLongLong() >= last);
        last = p.at(0).toLongLong();
    }
    QVERIFY(last >= 2 && last <= 3);
}

void TestAvDatasManager::numberedName()
{
    const QString path = source("lecture.final.mov");
    QVERIFY(MediaSamples::writeText(m_project->path() + "/lecture.final.mp4", "taken"));
    AvDatasManager manager(m_projectData.get());
    QSignalSpy finished(&manager, &AvDatasManager::sig_ExecFinished);
    QCOMPARE(manager.addVideoFile(path, AVData(), -1), 1);
    QVERIFY(finished.wait(120000));
    QVERIFY(finished.at(0).at(0).toBool());
    QCOMPARE(m_projectData->count(), 1);
    QCOMPARE(m_projectData->at(0).fileName, QString("lecture.final_2.mp4"));
    QVERIFY(readStreams(m_project->path() + "/lecture.final_2.mp4").video);
    // The file that held the name is untouched.
    QFile taken(m_project->path() + "/lecture.final.mp4");
    QVERIFY(taken.open(QIODevice::ReadOnly));
    QCOMPARE(taken.readAll(), QByteArray("taken"));
}

void TestAvDatasManager::refusals()
{
    ProjectData *project = m_projectData.get();
    const AVData a = fakeClip("A", 0, 4000);
    project->insert(0, a);
    AvDatasManager manager(m_projectData.get());
    QSignalSpy finished(&manager, &AvDatasManager::sig_ExecFinished);

    // A clip that is not in the project, with an offset: refused.
    QCOMPARE(manager.addVideoFile(source("talk.mp4"), fakeClip("X", 0, 4000), 100), 0);
    QVERIFY(!manager.isBusy());

    // While one import runs, another and a delete are refused and change nothing.
    QCOMPARE(manager.addVideoFile(source("talk.mp4"), a, 2000), 1);
    QVERIFY(manager.isBusy());
    QCOMPARE(manager.addVideoFile(source("mute.mp4"), a, 0), 0);
    QCOMPARE(manager.removeAvDataRange(a, 0, 4000), 0);
    QCOMPARE(finished.size(), 0);
    QVERIFY(finished.wait(120000));
    QCOMPARE(finished.size(), 1);
    QCOMPARE(layout(*m_projectData),
             (QStringList{"A:0-2000", "talk:0-" + QString::number(project->at(1).endTime),
                          "A:2000-4000"}));
    QVERIFY(!manager.isBusy());
}

void TestAvDatasManager::destroyDuringImportRemovesPartialFile()
{
    const QString path = source("long.mp4");
    QVERIFY(!path.isEmpty());
    auto manager = std::make_unique<AvDatasManager>(m_projectData.get());
    QSignalSpy progress(manager.get(), &AvDatasManager::sig_ExecProgress);
    QCOMPARE(manager->addVideoFile(path, AVData(), -1), 1);
    // Wait until the tool has written part of the file.
    QTRY_VERIFY_WITH_TIMEOUT(progress.size() >= 2 && !projectFiles().isEmpty() &&
                                 QFileInfo(m_project->path() + "/long.mp4").size() > 0,
                             60000);
    manager.reset();
    QCOMPARE(projectFiles(), QStringList());
    QCOMPARE(m_projectData->count(), 0);
}

QTEST_MAIN(TestAvDatasManager)
#include "tst_avdatasmanager.moc"
