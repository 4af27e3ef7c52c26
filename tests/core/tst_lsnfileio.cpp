#include "core/storage/lsnfileio.h"
#include "core/storage/lsnpacker.h"
#include "support/datatable.h"
#include "support/foldersnapshot.h"
#include "support/lsnbytes.h"

#include <QDateTime>
#include <QDir>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

namespace {

struct FileSpec
{
    QString name;
    qsizetype size;
};

QByteArray randomBytes(qsizetype size, quint32 seed)
{
    QRandomGenerator gen(seed);
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = char(gen.bounded(256));
    return bytes;
}

}  // namespace

class TestLsnFileIo : public QObject
{
    Q_OBJECT
private slots:
    void packMatchesIndependentWriterAndUnpacks_data()
    {
        QTest::addColumn<QList<FileSpec>>("files");
        QTest::newRow("only the index") << QList<FileSpec>{{"pro.lsnc", 40}};
        QTest::newRow("exactly one piece and one over")
            << QList<FileSpec>{{"pro.lsnc", 40}, {"a.mp4", 20480}, {"b.mp4", 20481}};
        QTest::newRow("empty member") << QList<FileSpec>{{"pro.lsnc", 40}, {"empty.jpg", 0}};
        QTest::newRow("chinese name, many pieces") << QList<FileSpec>{
            {"Cover.png", 700}, {"讲座 第一节.mp4", 20480 * 23 + 5}, {"pro.lsnc", 90}};
    }
    void packMatchesIndependentWriterAndUnpacks()
    {
        QFETCH(QList<FileSpec>, files);
        QTemporaryDir tmp;
        const QString src = tmp.filePath("src");
        QVERIFY(QDir().mkpath(src));
        QFileInfoList infos;
        QList<QByteArray> contents;
        QByteArray expected = LsnBytes::identifier();
        qint64 total = 0;
        for (const FileSpec &f : files)
            total += f.size;
        expected += LsnBytes::packHeader(files.size(), total);
        for (int i = 0; i < files.size(); ++i) {
            const QString path = QDir(src).filePath(files.at(i).name);
            contents.append(randomBytes(files.at(i).size, quint32(i + 1)));
            QVERIFY(LsnBytes::writeFile(path, contents.last()));
            QFile f(path);
            QVERIFY(f.open(QIODevice::ReadWrite));
            const QDateTime mtime =
                QDateTime::fromMSecsSinceEpoch(1500000000000LL + i * 86400000LL);
            QVERIFY(f.setFileTime(mtime, QFileDevice::FileModificationTime));
            f.close();
            const QFileInfo info(path);
            const qint64 birth = info.birthTime().isValid() ? info.birthTime().toMSecsSinceEpoch()
                                                            : mtime.toMSecsSinceEpoch();
            expected += LsnBytes::member(files.at(i).name, contents.last(), birth,
                                         mtime.toMSecsSinceEpoch());
            infos.append(info);
        }
        // A folder and the "." entry are skipped, as a directory listing hands them over.
        QVERIFY(QDir(src).mkdir("sub"));
        infos.prepend(QFileInfo(QDir(src).filePath("sub")));
        infos.prepend(QFileInfo(src + "/."));

        LsnPacker packer;
        const QString packed = tmp.filePath("p.lsn");
        QVERIFY(packer.compressFiles(infos, packed));
        QCOMPARE(LsnBytes::readFile(packed), expected);

        const QString out = tmp.filePath("out");
        QVERIFY2(packer.uncompressFile(packed, out), qPrintable(packer.errorText()));
        QCOMPARE(FolderSnapshot::names(out).size(), files.size());
        for (int i = 0; i < files.size(); ++i) {
            const QString path = QDir(out).filePath(files.at(i).name);
            QCOMPARE(LsnBytes::readFile(path), contents.at(i));
            QCOMPARE(QFileInfo(path).lastModified().toMSecsSinceEpoch(),
                     1500000000000LL + i * 86400000LL);
        }
    }

    void independentPackOpens_data()
    {
        DataTable::columns<QByteArray, QStringList>("bytes", "expectedNames");
        const QByteArray id = LsnBytes::identifier();
        const QByteArray big = randomBytes(50000, 7);
        QTest::newRow("three members")
            << LsnBytes::pack({{"pro.lsnc", "[General]\n"}, {"x.mp4", big}, {"空.txt", ""}})
            << QStringList{"pro.lsnc", "x.mp4", "空.txt"};
        // Readers look keys up by name; another writer may order them differently.
        QTest::newRow("keys in another order")
            << id + LsnBytes::compressed("{\"allFileSize\":3,\"fileCount\":1}") +
                   LsnBytes::compressed("{\"type\":\"file\",\"lastModified\":5000,\"fileSize\":3,"
                                        "\"fileName\":\"k.bin\",\"birthTime\":5000}") +
                   LsnBytes::plain("abc") + LsnBytes::compressed("file write end")
            << QStringList{"k.bin"};
    }
    void independentPackOpens()
    {
        const auto [bytes, expectedNames] =
            DataTable::fetch<QByteArray, QStringList>("bytes", "expectedNames");
        QTemporaryDir tmp;
        QVERIFY(LsnBytes::writeFile(tmp.filePath("in.lsn"), bytes));
        LsnPacker packer;
        QVERIFY2(packer.uncompressFile(tmp.filePath("in.lsn"), tmp.filePath("out")),
                 qPrintable(packer.errorText()));
        QStringList sorted = expectedNames;
        sorted.sort();
        QCOMPARE(FolderSnapshot::names(tmp.filePath("out")), sorted);
        if (expectedNames.contains("x.mp4"))
            QCOMPARE(LsnBytes::readFile(tmp.filePath("out/x.mp4")), randomBytes(50000, 7));
        if (expectedNames.contains("k.bin")) {
            QCOMPARE(LsnBytes::readFile(tmp.filePath("out/k.bin")), QByteArray("abc"));
            QCOMPARE(QFileInfo(tmp.filePath("out/k.bin")).lastModified().toMSecsSinceEpoch(), 5000);
        }
        if (expectedNames.contains("空.txt"))
            QCOMPARE(QFileInfo(tmp.filePath("out/空.txt")).lastModified().toMSecsSinceEpoch(),
                     1600000000000LL);
    }

    void hostileFileRefused_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        m_root.reset(new QTemporaryDir);
        for (const LsnBytes::HostileFile &h : LsnBytes::hostileFiles(m_root->path()))
            QTest::newRow(h.name) << h.bytes;
    }
    void hostileFileRefused()
    {
        QFETCH(QByteArray, bytes);
        const QString root = m_root->path();
        QDir(root).removeRecursively();
        QVERIFY(QDir().mkpath(root + "/work"));
        QVERIFY(LsnBytes::writeFile(root + "/work/old.mp4", "earlier contents"));
        QVERIFY(LsnBytes::writeFile(root + "/evil.lsn", bytes));
        const auto before = FolderSnapshot::contents(root);

        LsnPacker packer;
        QVERIFY(!packer.uncompressFile(root + "/evil.lsn", root + "/work"));
        QVERIFY(!packer.errorText().isEmpty());
        // Nothing was written anywhere: no member outside, no half-unpacked folder left over,
        // and the earlier working folder is as it was.
        QCOMPARE(FolderSnapshot::contents(root), before);
    }

    void truncatedAtEveryOffsetFails()
    {
        QTemporaryDir tmp;
        const QByteArray whole = LsnBytes::pack({{"pro.lsnc", "[General]\navDatas=@Invalid()\n"},
                                                 {"a.mp4", randomBytes(300, 3)},
                                                 {"e.jpg", ""},
                                                 {"b.mp4", randomBytes(40, 4)}});
        QVERIFY(LsnBytes::writeFile(tmp.filePath("whole.lsn"), whole));
        LsnPacker packer;
        QVERIFY(packer.uncompressFile(tmp.filePath("whole.lsn"), tmp.filePath("work")));
        const auto before = FolderSnapshot::contents(tmp.path());
        for (qsizetype cut = 0; cut < whole.size(); ++cut) {
            QVERIFY(LsnBytes::writeFile(tmp.filePath("cut.lsn"), whole.left(cut)));
            const bool opened =
                packer.uncompressFile(tmp.filePath("cut.lsn"), tmp.filePath("work"));
            if (opened)
                QFAIL(qPrintable(QString("a file cut at byte %1 opened").arg(cut)));
        }
        QFile::remove(tmp.filePath("cut.lsn"));
        QCOMPARE(FolderSnapshot::contents(tmp.path()), before);
    }

    void goodOpenReplacesOlderFiles()
    {
        QTemporaryDir tmp;
        QVERIFY(QDir().mkpath(tmp.filePath("work")));
        QVERIFY(LsnBytes::writeFile(tmp.filePath("work/stale.mp4"), "old"));
        QVERIFY(LsnBytes::writeFile(tmp.filePath("work/a.mp4"), "older a"));
        QVERIFY(LsnBytes::writeFile(tmp.filePath("in.lsn"),
                                    LsnBytes::pack({{"a.mp4", "new a"}, {"pro.lsnc", "x"}})));
        LsnPacker packer;
        QVERIFY(packer.uncompressFile(tmp.filePath("in.lsn"), tmp.filePath("work")));
        QCOMPARE(FolderSnapshot::names(tmp.filePath("work")), (QStringList{"a.mp4", "pro.lsnc"}));
        QCOMPARE(LsnBytes::readFile(tmp.filePath("work/a.mp4")), QByteArray("new a"));
        // Only the working folder and the packed file are left beside each other.
        QCOMPARE(FolderSnapshot::names(tmp.path()), (QStringList{"in.lsn", "work"}));
    }

    void progressScaledIntoIntRange_data()
    {
        DataTable::columns<qint64, int>("allFileSize", "expectedMax");
        QTest::newRow("real size") << qint64(20480 * 45) << 20480 * 45;
        QTest::newRow("int max") << qint64(INT_MAX) << INT_MAX;
        QTest::newRow("2 GiB") << (qint64(1) << 31) << (1 << 30);
        QTest::newRow("5 GiB") << qint64(5) * (qint64(1) << 30) << int((qint64(5) << 30) >> 2);
        QTest::newRow("2^62") << (qint64(1) << 62) << (1 << 30);
    }
    void progressScaledIntoIntRange()
    {
        const auto [allFileSize, expectedMax] =
            DataTable::fetch<qint64, int>("allFileSize", "expectedMax");
        QTemporaryDir tmp;
        const QByteArray content = randomBytes(20480 * 45, 5);
        // The stated total may be larger than the members (another writer's rounding, or a
        // lie); progress still only rises and ends at the maximum.
        const QByteArray bytes = LsnBytes::identifier() + LsnBytes::packHeader(1, allFileSize) +
                                 LsnBytes::member("m.mp4", content);
        QVERIFY(LsnBytes::writeFile(tmp.filePath("p.lsn"), bytes));
        LsnPacker packer;
        QList<int> maxima;
        QList<int> values;
        connect(&packer, &LsnPacker::sig_UpdateMaxProgress, this, [&](int m) { maxima << m; });
        connect(&packer, &LsnPacker::sig_UpdateProgress, this, [&](int v) { values << v; });
        QVERIFY(packer.uncompressFile(tmp.filePath("p.lsn"), tmp.filePath("out")));
        QCOMPARE(maxima, QList<int>{expectedMax});
        QVERIFY(values.size() >= 3);  // every 20 pieces, and the end
        for (int i = 1; i < values.size(); ++i)
            QVERIFY2(values.at(i) >= values.at(i - 1), qPrintable(QString::number(i)));
        QCOMPARE(values.last(), expectedMax);
        if (allFileSize == content.size())
            QCOMPARE(values.first(), 20480 * 20);
    }

    void packRefusesWhatCannotBeOpened_data()
    {
        QTest::addColumn<QStringList>("names");  // files to list; "!" prefix: listed, not made
        QTest::newRow("nothing to pack") << QStringList{};
        QTest::newRow("missing source file") << QStringList{"pro.lsnc", "!gone.mp4"};
        QTest::newRow("two files with one name") << QStringList{"pro.lsnc", "sub/pro.lsnc"};
    }
    void packRefusesWhatCannotBeOpened()
    {
        QFETCH(QStringList, names);
        QTemporaryDir tmp;
        QVERIFY(QDir().mkpath(tmp.filePath("sub")));
        QFileInfoList infos;
        for (QString name : names) {
            const bool make = !name.startsWith('!');
            name.remove('!');
            if (make)
                QVERIFY(LsnBytes::writeFile(tmp.filePath(name), "data"));
            infos << QFileInfo(tmp.filePath(name));
        }
        LsnPacker packer;
        QVERIFY(!packer.compressFiles(infos, tmp.filePath("p.lsn_tmp")));
        QVERIFY(!packer.errorText().isEmpty());
        QVERIFY(!QFileInfo::exists(tmp.filePath("p.lsn_tmp")));
    }

private:
    QScopedPointer<QTemporaryDir> m_root;
};

QTEST_GUILESS_MAIN(TestLsnFileIo)
#include "tst_lsnfileio.moc"
