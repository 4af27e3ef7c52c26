// The export dialogs driven like a teacher on the test display: the texts they show, the
// checks of the export button in their order, and real exports of a generated project through
// the editor's export action: success with progress and a file that starts with its index and
// lists the clips as chapters, a failure told as such, cancel, and a project under a second.
#include "core/media/avrecord.h"
#include "core/platform/settings.h"
#include "core/project/projectdata.h"
#include "support/datatable.h"
#include "support/messageboxanswerer.h"
#include "support/mp4boxes.h"
#include "support/mp4chapters.h"
#include "support/testmedia.h"
#include "ui/app/startup.h"
#include "ui/base/maskform.h"
#include "ui/export/exportdialog.h"
#include "ui/export/exportflow.h"
#include "ui/export/exportprogressdialog.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QCompleter>
#include <QFileDialog>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString kLastExportPath = QStringLiteral("lastExportPath");

template <typename T> T *child(QWidget *parent, const char *name)
{
    T *found = parent->findChild<T *>(QString::fromLatin1(name));
    if (!found)
        qWarning() << "no child" << name;
    return found;
}

void type(QLineEdit *edit, const QString &text)
{
    edit->setFocus();
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    // Latin letters from the keyboard; anything else committed as an input method does.
    for (const QChar c : text) {
        if (c.unicode() < 0x7f) {
            QTest::keyClicks(edit, QString(c));
        } else {
            QInputMethodEvent commit;
            commit.setCommitString(QString(c));
            QApplication::sendEvent(edit, &commit);
        }
    }
}

template <typename T> T *topLevel()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *found = qobject_cast<T *>(w); found && found->isVisible())
            return found;
    return nullptr;
}

// With LUMORA_SCREENSHOTS set, pictures of the dialogs (and of the whole screen) go there.
void saveScreenshot(QWidget *widget, const QString &name)
{
    const QString dir = qEnvironmentVariable("LUMORA_SCREENSHOTS");
    if (dir.isEmpty())
        return;
    widget->grab().save(QDir(dir).filePath(name));
    QGuiApplication::primaryScreen()->grabWindow(0).save(QDir(dir).filePath("screen-" + name));
}

}  // namespace

class TestExportDialog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void lengthText_data();
    void lengthText();
    void timeText_data();
    void timeText();
    void checksInOrder();
    void exportsThroughTheEditorAction_data();
    void exportsThroughTheEditorAction();
    void failureIsToldWhenAnOldFileStays();

private:
    // Sets the open project to the clips ("file:beginMs:endMs:title"), laid end to end.
    void setProject(const QStringList &clips);

    QTemporaryDir m_dir;
    QWidget m_editor;  // stands for the editor's top-level window
};

void TestExportDialog::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(applyApplicationStyleSheet(*qApp));  // the dialogs look as in the program
    QVERIFY(
        TestMedia::makeClip(m_dir.filePath("a.mp4"), 2, QSize(640, 360), true, 25, "color=c=red"));
    QVERIFY(
        TestMedia::makeClip(m_dir.filePath("b.mp4"), 2, QSize(480, 270), true, 25, "color=c=blue"));
    QVERIFY(TestMedia::makeClip(m_dir.filePath("long.mp4"), 30, QSize(1280, 720), true, 25));
    writeSetting(kLastExportPath, QVariant());
    m_editor.resize(1000, 700);
    m_editor.show();
    QVERIFY(QTest::qWaitForWindowExposed(&m_editor));
}

void TestExportDialog::cleanupTestCase()
{
    writeSetting(kLastExportPath, QVariant());
    ProjectData::instance()->clear();
}

void TestExportDialog::setProject(const QStringList &clips)
{
    ProjectData *project = ProjectData::instance();
    project->clear();
    project->setProjectDir(m_dir.path());
    project->setFilePath(m_dir.filePath("物理第一课.lsn"));
    QList<AVData> list;
    for (const QString &text : clips) {
        const QStringList f = text.split(':');
        AVData clip;
        clip.fileName = f.at(0);
        clip.filePath = m_dir.filePath(f.at(0));
        QVERIFY(AVRecord::updateMediaInfo(clip));
        clip.beginTime = f.at(1).toLongLong();
        clip.endTime = f.at(2).toLongLong();
        clip.title = f.value(3);
        list.append(clip);
    }
    project->setAvDatas(list);
}

void TestExportDialog::lengthText_data()
{
    DataTable::columns<qint64, QString>("ms", "text");
    QTest::newRow("under a minute") << qint64(59999) << "时长：59秒";
    QTest::newRow("exactly a minute") << qint64(60000) << "时长：1分0秒";
    QTest::newRow("minutes and seconds") << qint64(125000) << "时长：2分5秒";
    QTest::newRow("over an hour stays in minutes") << qint64(3725000) << "时长：62分5秒";
}

void TestExportDialog::lengthText()
{
    const auto [ms, text] = DataTable::fetch<qint64, QString>("ms", "text");
    QCOMPARE(ExportDialog::lengthText(ms), text);
}

void TestExportDialog::timeText_data()
{
    DataTable::columns<qint64, QString>("ms", "text");
    QTest::newRow("nothing") << qint64(0) << "00:00";
    QTest::newRow("75.4 s") << qint64(75400) << "01:15";
    QTest::newRow("61 minutes are not capped") << qint64(61 * 60000) << "61:00";
    QTest::newRow("over 99 minutes") << qint64(100 * 60000 + 5000) << "100:05";
}

void TestExportDialog::timeText()
{
    const auto [ms, text] = DataTable::fetch<qint64, QString>("ms", "text");
    QCOMPARE(ExportProgressDialog::timeText(ms), text);
}

void TestExportDialog::checksInOrder()
{
    setProject({"a.mp4:0:2000:第1页", "b.mp4:0:2000:第2页", "long.mp4:0:21000:intro"});
    QImage cover(320, 180, QImage::Format_RGB32);
    cover.fill(Qt::darkGreen);
    QVERIFY(cover.save(ProjectData::instance()->coverPath()));
    writeSetting(kLastExportPath, QVariant());
    writeSetting("exportLoudness", QVariant());

    MessageBoxAnswerer boxes;
    ExportDialog dialog(&m_editor);
    QSignalSpy chosen(&dialog, &ExportDialog::sig_PreExport);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    auto *name = child<QLineEdit>(&dialog, "edit_video_name");
    auto *dir = child<QLineEdit>(&dialog, "edit_export_dir");
    auto *exportButton = child<QPushButton>(&dialog, "btn_export");
    QVERIFY(name && dir && exportButton);

    // What the dialog starts with.
    QCOMPARE(name->text(), QStringLiteral("物理第一课"));
    QCOMPARE(dir->text(),
             QStandardPaths::standardLocations(QStandardPaths::MoviesLocation).value(0));
    QCOMPARE(child<QLabel>(&dialog, "label_export_info")->text(), QStringLiteral("时长：25秒"));
    QVERIFY(!child<QLabel>(&dialog, "iv_cover")->pixmap().isNull());
    QVERIFY(!child<QWidget>(&dialog, "cb_export_cloud")->isVisible());
    QCOMPARE(child<QCheckBox>(&dialog, "cb_export_loudness")->text(), QStringLiteral("统一音量"));
    QVERIFY(child<QCheckBox>(&dialog, "cb_export_loudness")->isChecked());
    QCOMPARE(child<QLabel>(&dialog, "label_loudness_level")->text(),
             QStringLiteral("人声 -16 LUFS，峰值不超过 -1.5 dBTP"));
    saveScreenshot(&dialog, "exportdialog.png");

    const QString folder = m_dir.filePath("导出/第一周");
    const QString target = folder + "/物理第一课.mp4";
    QFile plainFile(m_dir.filePath("plainfile"));
    QVERIFY(plainFile.open(QIODevice::WriteOnly));
    plainFile.close();

    struct Step
    {
        QString name;
        QString dir;
        QString box;  // "title|text" of the box the press brings, empty for none
    };
    const QList<Step> steps{
        {"", folder, "警告|视频名称为空"},
        {"   ", folder, "警告|视频名称为空"},
        {"物理第一课", "", "警告|视频路径为空"},
        {"物理第一课", m_dir.filePath("plainfile/sub"), "警告|请检查视频路径是否合法"},
        // A folder that is there but takes no file (not even from root).
        {"物理第一课", "/proc", "警告|请检查视频路径是否合法"},
        // A name longer than the file system takes; the folder is made on the way.
        {QString(300, QChar('x')), folder, "警告|请检查视频名称是否合法"},
        {"a/b", folder, "警告|请检查视频名称是否合法"},
        // The folder above exists: the name must not lead the export out of the chosen one.
        {"../物理第一课", folder, "警告|请检查视频名称是否合法"},
    };
    for (const Step &step : steps) {
        boxes.clear();
        type(name, step.name);
        type(dir, step.dir);
        QTest::mouseClick(exportButton, Qt::LeftButton);
        QCOMPARE(boxes.summary(), QStringList{step.box});
        QCOMPARE(chosen.count(), 0);
        QVERIFY(readSetting(kLastExportPath).isNull());
    }
    QVERIFY(QFileInfo(folder).isDir());
    QCOMPARE(QDir(folder).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());

    // An existing file: No keeps it and stops without a word; Yes removes it and goes on.
    {
        QFile old(target);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("last week's export");
    }
    type(name, "物理第一课");
    boxes.clear();
    boxes.setAnswer(QMessageBox::No);
    QTest::mouseClick(exportButton, Qt::LeftButton);
    QCOMPARE(boxes.summary(), QStringList{"提示|文件已存在，是否覆盖？"});
    QCOMPARE(chosen.count(), 0);
    QVERIFY(QFileInfo(target).size() > 0);
    QVERIFY(readSetting(kLastExportPath).isNull());

    boxes.clear();
    boxes.setAnswer(QMessageBox::Yes);
    QTest::mouseClick(exportButton, Qt::LeftButton);
    QCOMPARE(boxes.summary(), QStringList{"提示|文件已存在，是否覆盖？"});
    QCOMPARE(chosen.count(), 1);
    QCOMPARE(chosen.at(0).at(0).toString(), target);
    QVERIFY(!QFile::exists(target));  // removed, and the probe file is gone too
    QCOMPARE(readSetting(kLastExportPath).toString(), folder);
    QVERIFY(dialog.isVisible());  // the editor closes it

    // The folder chooser (Qt's own dialog on this display) puts the chosen folder in.
    const QString other = m_dir.filePath("其他");
    QVERIFY(QDir().mkpath(other));
    QTimer::singleShot(0, this, [&] {
        QVERIFY(QTest::qWaitFor([] { return topLevel<QFileDialog>() != nullptr; }, 10000));
        QFileDialog *chooser = topLevel<QFileDialog>();
        QCOMPARE(chooser->windowTitle(), QStringLiteral("导出至"));
        auto *edit = chooser->findChild<QLineEdit *>("fileNameEdit");
        QVERIFY(edit);
        QVERIFY(QTest::qWaitForWindowActive(chooser));
        type(edit, other);
        // The folder completer's list may still be open on a busy machine: Return is meant
        // for the typed folder, not for the list.
        if (edit->completer() && edit->completer()->popup()->isVisible())
            edit->completer()->popup()->hide();
        QCOMPARE(edit->text(), other);
        QTest::keyClick(edit, Qt::Key_Return);
    });
    QTest::mouseClick(child<QPushButton>(&dialog, "btn_export_open"), Qt::LeftButton);
    QCOMPARE(QDir(dir->text()).absolutePath(), QDir(other).absolutePath());
    QCOMPARE(boxes.seen().size(), 0 + 1);  // nothing new since the overwrite question

    QTest::mouseClick(child<QPushButton>(&dialog, "btn_export_cancel"), Qt::LeftButton);
    QVERIFY(!dialog.isVisible());
    QFile::remove(ProjectData::instance()->coverPath());
}

void TestExportDialog::exportsThroughTheEditorAction_data()
{
    // damage: clip file made unreadable before exporting
    // cancel: pressed once the progress has moved
    // boxes: "title|text" of the boxes the teacher sees
    // chapters: of the exported file
    // levelled: "统一音量" left on (else the teacher turns it off)
    DataTable::columns<QStringList, QString, bool, QStringList, QStringList, bool>(
        "clips", "damage", "cancel", "boxes", "chapters", "levelled");

    QTest::newRow("two slides") << QStringList{"a.mp4:0:2000:第1页", "b.mp4:500:2000:第2页",
                                               "a.mp4:1000:2000:第2页"}
                                << "" << false << QStringList{"提示|导出成功"}
                                << QStringList{"第1页@0.0", "第2页@2.0"} << true;
    QTest::newRow("a clip damaged before exporting")
        << QStringList{"a.mp4:0:2000:第1页", "broken.mp4:0:2000:第2页"} << "broken.mp4" << false
        << QStringList{"警告|导出失败"} << QStringList{} << true;
    QTest::newRow("cancelled") << QStringList{"long.mp4:0:30000:intro", "a.mp4:0:2000:第1页"} << ""
                               << true << QStringList{} << QStringList{} << true;
    QTest::newRow("under a second, level kept")
        << QStringList{"a.mp4:200:900:"} << "" << false << QStringList{"提示|导出成功"}
        << QStringList{} << false;
}

void TestExportDialog::exportsThroughTheEditorAction()
{
    const auto [clips, damage, cancel, boxes, chapters, levelled] =
        DataTable::fetch<QStringList, QString, bool, QStringList, QStringList, bool>(
            "clips", "damage", "cancel", "boxes", "chapters", "levelled");
    writeSetting("exportLoudness", QVariant());  // as on a new machine

    if (!damage.isEmpty())
        QVERIFY(QFile::copy(m_dir.filePath("a.mp4"), m_dir.filePath(damage)));
    setProject(clips);
    if (!damage.isEmpty()) {
        QFile file(m_dir.filePath(damage));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write("this file was damaged on the way");
    }
    const QString folder = m_dir.filePath(QTest::currentDataTag());
    const QString target = folder + "/课.mp4";

    MessageBoxAnswerer answerer;
    QString shownWithBox;  // percentage and bar when the result box came up
    int boxWidth = 0;
    answerer.setOnBox([&](QMessageBox *box) {
        boxWidth = box->width();
        if (ExportProgressDialog *progress = topLevel<ExportProgressDialog>()) {
            const auto *bar = progress->findChild<QProgressBar *>("pb_export");
            shownWithBox = progress->findChild<QLabel *>("label_progress")->text() +
                           (bar->value() == bar->maximum() ? " full" : " not full");
            saveScreenshot(progress,
                           QStringLiteral("exportprogress-%1.png").arg(QTest::currentDataTag()));
        }
    });
    QStringList percents;
    bool cancelPressed = false;
    bool sawProgressDialog = false;
    bool maskOverEditor = true;
    bool dimmedSeen = false;
    bool boxWhileCancelling = false;
    QTimer watch;
    watch.setInterval(20);
    connect(&watch, &QTimer::timeout, this, [&, cancel = cancel] {
        ExportProgressDialog *progress = topLevel<ExportProgressDialog>();
        if (!progress)
            return;
        sawProgressDialog = true;
        // The editor stays dimmed under the progress dialog: the mask covers it, above it.
        const MaskForm *mask = topLevel<MaskForm>();
        maskOverEditor = maskOverEditor && mask && mask->geometry() == m_editor.geometry();
        if (!dimmedSeen && mask) {
            const QPoint corner = m_editor.mapToGlobal(QPoint(20, 20));
            const QImage screen = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
            dimmedSeen = QColor(screen.pixel(corner)).lightness() < 100;
        }
        const QString percent = progress->findChild<QLabel *>("label_progress")->text();
        if (percents.isEmpty() || percents.last() != percent) {
            percents << percent;
            if (percent != "0%" && percent != "100%")
                saveScreenshot(progress, "exportprogress-running.png");
        }
        if (cancel && !cancelPressed && percent != "0%") {
            cancelPressed = true;
            QTest::mouseClick(progress->findChild<QPushButton *>("btn_cancel"), Qt::LeftButton);
        }
        if (cancelPressed && !answerer.seen().isEmpty())
            boxWhileCancelling = true;
    });
    watch.start();

    bool filled = false;
    QTimer::singleShot(0, this, [&] {
        QVERIFY(QTest::qWaitFor([] { return topLevel<ExportDialog>() != nullptr; }, 10000));
        ExportDialog *dialog = topLevel<ExportDialog>();
        QVERIFY(QTest::qWaitForWindowExposed(dialog));
        type(child<QLineEdit>(dialog, "edit_video_name"), "课");
        type(child<QLineEdit>(dialog, "edit_export_dir"), folder);
        if (!levelled)
            QTest::mouseClick(child<QCheckBox>(dialog, "cb_export_loudness"), Qt::LeftButton);
        filled = true;
        // Runs the export; returns when the progress dialog has closed.
        QTest::mouseClick(child<QPushButton>(dialog, "btn_export"), Qt::LeftButton);
    });
    runExportFlow(&m_editor);
    watch.stop();

    QVERIFY(filled);
    QVERIFY(sawProgressDialog);
    QVERIFY(maskOverEditor);
    QVERIFY(dimmedSeen);
    QVERIFY(!topLevel<MaskForm>());
    QVERIFY(!topLevel<ExportProgressDialog>() && !topLevel<ExportDialog>());
    QCOMPARE(answerer.summary(), boxes);
    // Wide enough for the window manager to show its title.
    if (!boxes.isEmpty())
        QVERIFY2(boxWidth >= kMessageBoxMinWidth, qPrintable(QString::number(boxWidth)));
    QVERIFY(!QFile::exists(target + ".part"));
    if (cancel) {
        QVERIFY(cancelPressed);
        QVERIFY(!boxWhileCancelling);
        QVERIFY(!QFile::exists(target));
        return;
    }
    if (!damage.isEmpty()) {
        // The progress is not shown as complete, the reason is told too, and nothing is left
        // behind.
        QVERIFY2(!shownWithBox.startsWith("100%"), qPrintable(shownWithBox));
        QVERIFY2(answerer.seen().first().informativeText.size() > 4,
                 qPrintable(answerer.seen().first().informativeText));
        QVERIFY(!QFile::exists(target));
        QFile::remove(m_dir.filePath(damage));
        return;
    }
    // The progress rose, never went back, and stood at 100% when the result came.
    QCOMPARE(shownWithBox, QStringLiteral("100% full"));
    QVERIFY2(!percents.isEmpty(), "no progress seen");
    int last = -1;
    for (const QString &p : percents) {
        const int value = QStringView(p).chopped(1).toInt();
        QVERIFY2(value >= last && value <= 100, qPrintable(percents.join(' ')));
        last = value;
    }
    QString errors;
    QVERIFY2(Mp4Chapters::decodesCleanly(target, &errors), qPrintable(errors));
    const QStringList top = Mp4Boxes::topLevel(target);
    QVERIFY2(top.indexOf("moov") >= 0 && top.indexOf("moov") < top.indexOf("mdat"),
             qPrintable(top.join(' ')));
    QCOMPARE(Mp4Chapters::summary(target), chapters);
    // The teacher's choice is kept for the next export; the sound is at the level, or at its
    // own with the box unticked.
    QCOMPARE(readSetting("exportLoudness").toBool(), levelled);
    const TestMedia::Loudness own = TestMedia::measureLoudness(m_dir.filePath("a.mp4"));
    const TestMedia::Loudness exported = TestMedia::measureLoudness(target);
    QVERIFY(own.ok && exported.ok && std::abs(own.integratedLufs + 16) > 2);
    QVERIFY2(std::abs(exported.integratedLufs - (levelled ? -16 : own.integratedLufs)) <= 1,
             qPrintable(
                 QString("%1 LUFS, own %2").arg(exported.integratedLufs).arg(own.integratedLufs)));
}

void TestExportDialog::failureIsToldWhenAnOldFileStays()
{
    // A failed export keeps the file that was at the target; it is still a failure.
    QVERIFY(QFile::copy(m_dir.filePath("a.mp4"), m_dir.filePath("gone.mp4")));
    setProject({"a.mp4:0:1000:", "gone.mp4:0:1000:"});
    QVERIFY(QFile::remove(m_dir.filePath("gone.mp4")));
    const QString target = m_dir.filePath("last-week.mp4");
    {
        QFile old(target);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("last week's export");
    }
    MessageBoxAnswerer answerer;
    QPointer<ExportProgressDialog> progress = new ExportProgressDialog(&m_editor);
    progress->show();
    progress->startExport(target);
    QVERIFY(QTest::qWaitFor([&] { return progress.isNull(); }, 60000));
    QCOMPARE(answerer.summary(), QStringList{"警告|导出失败"});
    QVERIFY(!answerer.seen().first().informativeText.isEmpty());
    QFile old(target);
    QVERIFY(old.open(QIODevice::ReadOnly));
    QCOMPARE(old.readAll(), QByteArray("last week's export"));
}

QTEST_MAIN(TestExportDialog)
#include "tst_exportdialog.moc"
