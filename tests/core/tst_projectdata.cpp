#include "core/platform/settings.h"
#include "core/project/projectdata.h"
#include "core/project/recentfiles.h"
#include "support/datatable.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QtTest>

namespace {
AVData clip(qint64 length, const QString &name = QString())
{
    AVData d;
    d.fileName = name.isEmpty() ? d.uuid + ".mp4" : name;
    d.duration = length;
    d.beginTime = 0;
    d.endTime = length;
    return d;
}

QList<qint64> positions()
{
    QList<qint64> p;
    for (const AVData &d : ProjectData::instance()->avDatas())
        p << d.position;
    return p;
}

void touch(const QString &path)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("x");
}
}  // namespace

class TestProjectData : public QObject
{
    Q_OBJECT
private slots:
    void init() { ProjectData::instance()->reset(); }

    void positionsFollowInsertAndRemove_data()
    {
        DataTable::columns<int, QList<qint64>>("removeIndex", "expected");
        QTest::newRow("remove middle") << 1 << QList<qint64>{0, 1000};
        QTest::newRow("remove first") << 0 << QList<qint64>{0, 2000};
        QTest::newRow("remove last") << 2 << QList<qint64>{0, 1000};
        QTest::newRow("remove -1 does nothing") << -1 << QList<qint64>{0, 1000, 3000};
        QTest::newRow("remove past end does nothing") << 3 << QList<qint64>{0, 1000, 3000};
    }
    void positionsFollowInsertAndRemove()
    {
        const auto [removeIndex, expected] =
            DataTable::fetch<int, QList<qint64>>("removeIndex", "expected");
        auto *p = ProjectData::instance();
        p->insert(0, clip(1000));
        p->insert(-1, clip(500));  // appends
        p->insert(1, clip(2000));
        p->insert(99, clip(0));  // appends, length 0
        p->removeLast();
        QCOMPARE(positions(), (QList<qint64>{0, 1000, 3000}));
        p->removeAt(removeIndex);
        QCOMPARE(positions(), expected);
    }

    void clipAtBoundaries_data()
    {
        // clipIndex: -1: default clip
        DataTable::columns<qint64, int, qint64>("time", "clipIndex", "offset");
        QTest::newRow("negative") << qint64(-1) << -1 << qint64(-1);
        QTest::newRow("start of first") << qint64(0) << 0 << qint64(0);
        QTest::newRow("inside first") << qint64(1) << 0 << qint64(1);
        QTest::newRow("last ms of first") << qint64(999) << 0 << qint64(999);
        QTest::newRow("start of second") << qint64(1000) << 1 << qint64(0);
        QTest::newRow("inside third") << qint64(3200) << 2 << qint64(200);
        QTest::newRow("end of timeline") << qint64(3500) << 2 << qint64(500);
        QTest::newRow("past end") << qint64(99999) << 2 << qint64(500);
    }
    void clipAtBoundaries()
    {
        const auto [time, clipIndex, offset] =
            DataTable::fetch<qint64, int, qint64>("time", "clipIndex", "offset");
        auto *p = ProjectData::instance();
        p->insert(-1, clip(1000));
        p->insert(-1, clip(2000));
        p->insert(-1, clip(500));
        const ClipAtResult r = p->clipAt(time);
        QCOMPARE(r.offset, offset);
        if (clipIndex >= 0)
            QCOMPARE(r.clip.uuid, p->at(clipIndex).uuid);
        else
            QVERIFY(p->indexOf(r.clip) < 0);
    }

    void clipAtEmptyProject() { QCOMPARE(ProjectData::instance()->clipAt(0).offset, qint64(-1)); }

    void newClipNamesAvoidTakenFiles()
    {
        QTemporaryDir dir;
        auto *p = ProjectData::instance();
        p->setProjectDir(dir.path() + "/");
        QCOMPARE(p->newClip("a.mp4").fileName, QString("a.mp4"));
        touch(dir.filePath("a.mp4"));
        QCOMPARE(p->newClip("a.mp4").fileName, QString("a_2.mp4"));
        touch(dir.filePath("a_2.mp4"));
        const AVData third = p->newClip("a.mp4");
        QCOMPARE(third.fileName, QString("a_2_3.mp4"));
        QCOMPARE(third.filePath, dir.path() + "/a_2_3.mp4");
        const AVData unnamed = p->newClip();
        QVERIFY(unnamed.fileName.startsWith('{') && unnamed.fileName.endsWith("}.mp4"));
        QVERIFY(unnamed.fileName != unnamed.uuid + ".mp4");
    }

    void modifiedOnlyByClipIdentity()
    {
        auto *p = ProjectData::instance();
        p->insert(-1, clip(1000));
        QVERIFY(p->isModified());
        p->markSaved();
        QVERIFY(!p->isModified());
        AVData changed = p->at(0);
        changed.beginTime = 300;
        p->replace(changed);
        QVERIFY(!p->isModified());
        QCOMPARE(p->at(0).beginTime, qint64(300));
        p->insert(0, clip(10));
        QVERIFY(p->isModified());
        p->removeAt(0);
        QVERIFY(!p->isModified());
    }

    void jsonRoundTripKeepsEveryField_data()
    {
        DataTable::columns<qint64, int, int>("duration", "width", "height");
        QTest::newRow("ordinary") << qint64(61000) << 1920 << 1080;
        QTest::newRow("unknown size") << qint64(5) << -1 << -1;
        QTest::newRow("longer than 2^31 ms") << qint64(3000000000LL) << 1364 << 768;
    }
    void jsonRoundTripKeepsEveryField()
    {
        const auto [duration, width, height] =
            DataTable::fetch<qint64, int, int>("duration", "width", "height");
        QTemporaryDir dir;
        auto *p = ProjectData::instance();
        p->setProjectDir(dir.path());
        AVData d = clip(duration, "lecture 1.mp4");
        d.title = "第一节";
        d.videoWidth = width;
        d.videoHeight = height;
        d.beginTime = 7;
        p->insert(-1, d);
        p->insert(-1, clip(1000));
        QCOMPARE(d.toJson().value("videoSize").toString(),
                 QStringLiteral("%1x%2").arg(width).arg(height));
        QVERIFY(p->writeIndex());

        // Read back through the index file, as an opened project would be.
        const QVariant stored =
            QSettings(p->indexFilePath(), QSettings::IniFormat).value("avDatas");
        p->clear();
        p->setProjectDir(dir.path());
        p->fromVariant(stored);
        QCOMPARE(p->count(), 2);
        const AVData back = p->at(0);
        QCOMPARE(back.uuid, d.uuid);
        QCOMPARE(back.title, d.title);
        QCOMPARE(back.fileName, d.fileName);
        QCOMPARE(back.filePath, dir.path() + "/lecture 1.mp4");
        QCOMPARE(back.duration, duration);
        QCOMPARE(back.endTime, duration);
        QCOMPARE(back.beginTime, qint64(7));
        QCOMPARE(back.videoWidth, width);
        QCOMPARE(back.videoHeight, height);
        QCOMPARE(p->at(1).position, duration - 7);
        QCOMPARE(ProjectData::readIndexObjects(p->indexFilePath()).size(), 2);
    }

    void backgroundWritesEndWithTheNewestList()
    {
        auto *p = ProjectData::instance();
        {
            QTemporaryDir dir;
            p->setProjectDir(dir.path());
            // Asked faster than the disk takes them: the waiting ones are replaced.
            for (int i = 1; i <= 30; ++i) {
                p->insert(-1, clip(1000));
                p->writeIndexInBackground();
            }
            p->waitForIndexWrites();
            QCOMPARE(ProjectData::readIndexObjects(p->indexFilePath()).size(), 30);
            // writeIndex() after them writes over what they wrote.
            p->removeAt(0);
            p->writeIndexInBackground();
            QVERIFY(p->writeIndex());
            QCOMPARE(ProjectData::readIndexObjects(p->indexFilePath()).size(), 29);
        }
        // The folder is gone (the editor closed): it is not made again.
        p->insert(-1, clip(1000));
        p->writeIndexInBackground();
        p->waitForIndexWrites();
        QVERIFY(!QFileInfo::exists(p->projectDir()));
    }

    void videoSizeWithoutSeparator()
    {
        QJsonObject json = clip(1).toJson();
        json.insert("videoSize", "garbage");
        const AVData d = AVData::fromJson(json);
        QCOMPARE(d.videoWidth, 0);
        QCOMPARE(d.videoHeight, -1);
    }

    void setProjectDirRewritesPaths()
    {
        auto *p = ProjectData::instance();
        p->insert(-1, clip(10, "x.mp4"));
        p->setProjectDir("/tmp/elsewhere");
        QCOMPARE(p->at(0).filePath, QString("/tmp/elsewhere/x.mp4"));
        p->setDuration("/tmp/elsewhere/x.mp4", 4242);
        QCOMPARE(p->at(0).duration, qint64(4242));
    }

    void workingAndCacheFolders()
    {
        const QString app = QCoreApplication::applicationDirPath();
        // MD5 of "/a/b.lsn"
        const QString md5 = QCryptographicHash::hash("/a/b.lsn", QCryptographicHash::Md5).toHex();
        QCOMPARE(dataDir("/a/b.lsn"), app + "/data/" + md5 + "/");
        QCOMPARE(cacheDir("/a/b.lsn"), app + "/cache/" + md5 + "/");
    }

    void settingsMissingFileAndWrite()
    {
        const QString name = "tst_settings_conf.ini";
        QFile::remove(settingsFilePath(name));
        QVERIFY(!readSetting("openFileDir", name).isValid());
        QCOMPARE(readSetting("openFileDir", name).toString(), QString());
        writeSetting("openFileDir", "/home/老师/课件", name);
        QVERIFY(QFile::exists(settingsFilePath(name)));
        QCOMPARE(readSetting("openFileDir", name).toString(), QString("/home/老师/课件"));
        writeSetting("recent_files", QStringList{"/a", "/b"}, name);
        QCOMPARE(readSetting("recent_files", name).toStringList(), (QStringList{"/a", "/b"}));
        QFile::remove(settingsFilePath(name));
    }

    void recentListDropsMissingAndDuplicates()
    {
        QTemporaryDir dir;
        const QString a = dir.filePath("a.lsn"), b = dir.filePath("b.lsn");
        touch(a);
        touch(b);
        const QVariant before = readSetting("recent_files");
        writeSetting("recent_files", QStringList{a, dir.filePath("gone.lsn"), b, a});
        RecentFiles list;
        list.load();
        QCOMPARE(list.files().size(), 2);
        QCOMPARE(list.files().at(0).filePath, a);
        QCOMPARE(list.files().at(0).displayName(), QString("a"));
        QCOMPARE(list.files().at(0).coverPath(), cacheDir(a) + "/Cover.png");
        // The cleaned list was saved at once.
        QCOMPARE(readSetting("recent_files").toStringList(), (QStringList{a, b}));

        list.add(RecentFile(b));
        QCOMPARE(readSetting("recent_files").toStringList(), (QStringList{b, a}));
        QVERIFY(list.files().at(0).time > 0);
        writeSetting("recent_files", before);
    }
};

QTEST_GUILESS_MAIN(TestProjectData)
#include "tst_projectdata.moc"
