// A teacher's way through the program on the test display: the home page, a new project, two
// imported videos, a span deleted and undone, save as, a restart through the recent grid, the
// questions about unsaved work, a project file on the command line (good and broken), and the
// recording engine's messages. Driven through the real windows with mouse and keys; Qt's own
// file dialogs are typed into.
#include "core/media/avdatasmanager.h"
#include "core/platform/settings.h"
#include "core/project/projectdata.h"
#include "core/project/recentfiles.h"
#include "core/record/screenrecord.h"
#include "core/storage/saveopenmanager.h"
#include "support/datatable.h"
#include "support/modaldriver.h"
#include "support/testmedia.h"
#include "support/timelineinput.h"
#include "ui/app/startup.h"
#include "ui/base/basemainwidget.h"
#include "ui/base/basewindow.h"
#include "ui/base/commonpromptwindow.h"
#include "ui/base/commonsuccesswindow.h"
#include "ui/base/loaddingview.h"
#include "ui/editor/maincontentwidget.h"
#include "ui/editor/playhelper.h"
#include "ui/editor/vlcwidgetvideo.h"
#include "ui/home/firstwidget.h"
#include "ui/home/firstwindow.h"
#include "ui/home/qitemwidget.h"
#include "ui/home/qrecentwidget.h"
#include "ui/record/recordscreenselectwidget.h"
#include "ui/timeline/changeavdatascommand.h"
#include "ui/timeline/graphicsviewscalable.h"
#include "ui/timeline/graphicswidgetresources.h"
#include "ui/timeline/graphicswidgetsequence.h"
#include "ui/timeline/trimhandle.h"
#include "ui/timeline/widgetcomposition.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QSemaphore>
#include <QSignalSpy>
#include <QSlider>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTreeView>
#include <QUndoStack>
#include <QtTest>

namespace {
constexpr int kLongWaitMs = 120000;

// Counts how often a widget was shown.
class ShowCounter : public QObject
{
public:
    explicit ShowCounter(QWidget *w) { w->installEventFilter(this); }
    int shown = 0;
    int shownWithParentEnabled = 0;  // shown while the widget's parent took input

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show) {
            ++shown;
            if (static_cast<QWidget *>(watched)->parentWidget()->isEnabled())
                ++shownWithParentEnabled;
        }
        return false;
    }
};

// Counts the times the watched widget stops taking input.
class LockCounter : public QObject
{
public:
    explicit LockCounter(QWidget *w) { w->installEventFilter(this); }
    int locks = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::EnabledChange && !static_cast<QWidget *>(watched)->isEnabled())
            ++locks;
        return false;
    }
};

BaseWindow *editorFrame()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *frame = qobject_cast<BaseWindow *>(w))
            if (frame->isVisible() &&
                qobject_cast<MainContentWidget *>(frame->mainWidget()->contentWidget()))
                return frame;
    return nullptr;
}

MainContentWidget *editorOf(BaseWindow *frame)
{
    return frame ? qobject_cast<MainContentWidget *>(frame->mainWidget()->contentWidget())
                 : nullptr;
}

FirstWindow *homeWindow()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *home = qobject_cast<FirstWindow *>(w))
            if (home->isVisible())
                return home;
    return nullptr;
}

QList<AVData> projectClips()
{
    return ProjectData::instance()->avDatas();
}

qint64 totalMs(const QList<AVData> &clips)
{
    qint64 total = 0;
    for (const AVData &c : clips)
        total += c.length();
    return total;
}

// "uuid begin-end" of each clip, for comparing what was saved with what was opened.
QStringList spans(const QList<AVData> &clips)
{
    QStringList out;
    for (const AVData &c : clips)
        out << QStringLiteral("%1 %2-%3").arg(c.uuid).arg(c.beginTime).arg(c.endTime);
    return out;
}

AbstractGraphicsWidgetResources *pictureBlock(MainContentWidget *editor, int index)
{
    GraphicsWidgetSequence *track = editor->ui().composition->segment()->sequenceAt(0);
    return index < track->resourceCount() ? track->resourceAt(index) : nullptr;
}

int longestBlock(MainContentWidget *editor)
{
    GraphicsWidgetSequence *track = editor->ui().composition->segment()->sequenceAt(0);
    int longest = 0;
    for (int i = 1; i < track->resourceCount(); ++i)
        if (track->resourceAt(i)->avData().length() > track->resourceAt(longest)->avData().length())
            longest = i;
    return longest;
}

int blockCount(MainContentWidget *editor)
{
    return editor->ui().composition->segment()->sequenceAt(0)->resourceCount();
}

// Selects picture block `index` with a click and drags each of its handles inwards by a fifth
// of the block; gives the marked span in ms.
bool markSpan(MainContentWidget *editor, int index, qint64 &startMs, qint64 &endMs)
{
    AbstractGraphicsWidgetResources *block = pictureBlock(editor, index);
    if (!block)
        return false;
    GraphicsViewScalable *view = editor->ui().composition->compositionView();
    const int inset = view->mapFromScene(block->sceneBoundingRect().topRight()).x() / 5 -
                      view->mapFromScene(block->sceneBoundingRect().topLeft()).x() / 5;
    QWidget *viewport = view->viewport();
    const QPoint middle = view->mapFromScene(block->sceneBoundingRect().center());
    TimelineInput::press(viewport, middle);
    TimelineInput::release(viewport, middle);
    if (!block->isSelected())
        return false;
    const QPoint right = view->mapFromScene(block->rightHandle()->sceneBoundingRect().center());
    TimelineInput::drag(viewport, right, right - QPoint(inset, 0));
    const QPoint left = view->mapFromScene(block->leftHandle()->sceneBoundingRect().center());
    TimelineInput::drag(viewport, left, left + QPoint(inset, 0));
    AVData clip;
    return editor->ui().composition->findSelectedClip(clip, startMs, endMs) &&
           clip.uuid == block->avData().uuid;
}

// Starts the program on `lesson`, which opens the editor on it, and waits until its clips are
// there; the editor (its frame in `frame`), null when either did not come.
MainContentWidget *startOnLesson(const QString &lesson, QPointer<BaseWindow> &frame)
{
    openFirstWindow(lesson);
    frame = editorFrame();
    MainContentWidget *editor = editorOf(frame);
    const bool loaded = editor && QTest::qWaitFor(
                                      [editor] {
                                          return ProjectData::instance()->count() > 0 &&
                                                 !editor->loaddingView()->isVisible();
                                      },
                                      kLongWaitMs);
    return loaded ? editor : nullptr;
}

// Marks a fifth to four fifths of the longest picture block and deletes that span with the
// toolbar button; true once the project says it is modified.
bool deleteMiddleOfLongest(MainContentWidget *editor, bool byKey = false)
{
    qint64 startMs = 0, endMs = 0;
    if (!markSpan(editor, longestBlock(editor), startMs, endMs))
        return false;
    if (byKey) {
        editor->window()->activateWindow();
        if (!QTest::qWaitForWindowActive(editor->window()))
            return false;
        QTest::keyClick(editor, Qt::Key_Delete);
    } else {
        QTest::mouseClick(editor->ui().btn_delete, Qt::LeftButton);
    }
    return QTest::qWaitFor([] { return ProjectData::instance()->isModified(); });
}

// True when the preview window shows a picture: many colours, not one flat fill.
bool previewShowsFrame(MainContentWidget *editor)
{
    VlcWidgetVideo *video = editor->ui().view_vlc;
    if (!video->isVisible() || video->width() < 16 || video->height() < 16)
        return false;
    const QImage shot = video->screen()->grabWindow(video->winId()).toImage();
    QSet<QRgb> colours;
    for (int y = 0; y < shot.height(); y += 7)
        for (int x = 0; x < shot.width(); x += 7)
            colours.insert(shot.pixel(x, y) & 0xF0F0F0);
    return colours.size() > 12;
}
}  // namespace

template <typename T> T *topLevel()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *t = qobject_cast<T *>(w); t && t->isVisible())
            return t;
    return nullptr;
}

class TestEditorJourney : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_clipA, m_clipB, m_lesson;
    // The teacher's own Videos folder, where the first import starts.
    QString m_videos;
    QByteArray m_confBackup;
    bool m_hadConf = false;

    QString confPath() const { return settingsFilePath(QStringLiteral("conf.ini")); }

    // Waits for every step of the driver, then fails the test with any step not served.
    static bool finished(ModalDriver &driver)
    {
        if (!QTest::qWaitFor([&] { return driver.idle(); }, kLongWaitMs))
            return false;
        return driver.failures().isEmpty();
    }

    // Chooses an entry of the editor's file menu, as a person would: press "文件", click;
    // `then` queues the answers to what the entry opens.
    static void fileMenu(MainContentWidget *editor, ModalDriver &driver, const QString &entry,
                         const std::function<void()> &then)
    {
        driver.chooseMenuEntry(entry);
        then();
        QTest::mouseClick(editor->ui().btn_file, Qt::LeftButton);
    }

    static void importFile(MainContentWidget *editor, ModalDriver &driver, const QString &path,
                           const std::function<void(QFileDialog *)> &onShown = {})
    {
        driver.fillFileDialog(path, onShown);
        QTest::mouseClick(editor->ui().btn_import, Qt::LeftButton);
    }

    // Qt's file dialog opens large enough that its columns show the size, the type and the
    // date of what it lists whole (the type up to 220 pixels).
    static bool columnsFit(QFileDialog *dialog)
    {
        auto *list = dialog->findChild<QTreeView *>(QStringLiteral("treeView"));
        if (!list || dialog->width() < 880)
            return false;
        return QTest::qWaitFor(
            [list] {
                if (list->model()->rowCount(list->rootIndex()) == 0)
                    return false;
                for (int column = 1; column < 4; ++column) {
                    if (list->header()->sectionSize(column) <
                        qMin(static_cast<QAbstractItemView *>(list)->sizeHintForColumn(column),
                             220))
                        return false;
                }
                return true;
            },
            5000);
    }

    static bool closeFrame(BaseWindow *frame)
    {
        QTest::mouseClick(frame->mainWidget()->closeButton(), Qt::LeftButton);
        return true;
    }

private slots:
    // A journey that failed half-way leaves no window for the next one.
    void cleanup()
    {
        ProjectData::instance()->markSaved();
        for (QWidget *w : QApplication::topLevelWidgets())
            if (qobject_cast<BaseWindow *>(w) || qobject_cast<FirstWindow *>(w))
                if (w->isVisible() && QTest::currentTestFailed())
                    w->close();
        QTest::qWait(50);
    }

    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
        applyApplicationStyleSheet(*qApp);
        // Whatever the program resolves against the working directory stays in the temporary
        // folder.
        QVERIFY(QDir::setCurrent(m_dir.path()));
        // conf.ini lives beside the test program: keep whatever another test left there.
        QFile conf(confPath());
        m_hadConf = conf.exists();
        if (m_hadConf) {
            QVERIFY(conf.open(QIODevice::ReadOnly));
            m_confBackup = conf.readAll();
            conf.close();
            QVERIFY(conf.remove());
        }
        RecentFiles::instance()->clear();
        // The teacher's XDG folders (the test desktop's configuration folder is its own).
        m_videos = m_dir.filePath(QStringLiteral("我的视频"));
        QVERIFY(QDir().mkpath(m_videos));
        QFile userDirs(userDirsPath());
        QVERIFY(userDirs.open(QIODevice::WriteOnly));
        userDirs.write("XDG_VIDEOS_DIR=\"" + m_videos.toUtf8() + "\"\n");
        userDirs.close();
        m_clipA = m_dir.filePath(QStringLiteral("第一课.mp4"));
        m_clipB = m_dir.filePath(QStringLiteral("second.mkv"));
        m_lesson = m_dir.filePath(QStringLiteral("lessons/第一课.lsn"));
        QVERIFY(QDir().mkpath(m_dir.filePath(QStringLiteral("lessons"))));
        QVERIFY(TestMedia::makeClip(m_clipA, 10, QSize(320, 240)));
        QVERIFY(TestMedia::ffmpeg({"-f", "lavfi", "-i", "testsrc2=size=320x180:rate=25", "-f",
                                   "lavfi", "-i", "sine=frequency=660:sample_rate=44100", "-t",
                                   "12", "-c:v", "libx264", "-preset", "ultrafast", "-pix_fmt",
                                   "yuv420p", "-c:a", "aac", m_clipB}));
    }

    static QString userDirsPath()
    {
        return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
               QStringLiteral("/user-dirs.dirs");
    }

    void cleanupTestCase()
    {
        QFile::remove(userDirsPath());
        for (QWidget *w : QApplication::topLevelWidgets())
            w->close();
        QTest::qWait(200);
        // What opening and saving left beside the test program.
        for (const QString &name :
             {QStringLiteral("lessons/第一课.lsn"), QStringLiteral("broken.lsn")}) {
            const QString path = QFileInfo(m_dir.filePath(name)).absoluteFilePath();
            QDir(cacheDir(path)).removeRecursively();
            QDir(dataDir(path)).removeRecursively();
        }
        QDir app(QCoreApplication::applicationDirPath());
        app.rmdir(QStringLiteral("data"));  // only when nothing else is in them
        app.rmdir(QStringLiteral("cache"));
        QFile::remove(confPath());
        if (m_hadConf) {
            QFile conf(confPath());
            if (conf.open(QIODevice::WriteOnly))
                conf.write(m_confBackup);
        }
    }

    // Home page, new project, imports, a deleted span with undo and redo, save as, restart
    // through the recent grid.
    void makeEditSaveReopen()
    {
        ModalDriver driver;
        RecentFiles::instance()->load();
        openFirstWindow(QString());
        QPointer<FirstWindow> home = homeWindow();
        QVERIFY(home);
        QVERIFY(QTest::qWaitForWindowExposed(home));
        QRecentWidget *recent = home->firstWidget()->recentWidget();
        QCOMPARE(recent->stackedWidget()->currentIndex(), 1);
        QVERIFY(recent->emptyLabel()->isVisible());
        QCOMPARE(recent->emptyLabel()->text(), QStringLiteral("暂无最近使用"));

        // "新建": the home page goes, the editor comes with the blank prompt.
        QTest::mouseClick(home->firstWidget()->newButton(), Qt::LeftButton);
        QTRY_VERIFY(!home);
        QTRY_VERIFY(editorFrame());
        QPointer<BaseWindow> frame = editorFrame();
        MainContentWidget *editor = editorOf(frame);
        QVERIFY(QTest::qWaitForWindowExposed(frame));
        QVERIFY(editor->ui().view_blank_prompt->isVisible());
        QVERIFY(!editor->ui().btn_play_stop->isVisible());
        QVERIFY(QFileInfo(ProjectData::defaultProjectDir()).isDir());

        // Two imports. The first leaves nothing to undo; the dialog starts in the teacher's
        // Videos folder and offers the other video types and all files.
        ShowCounter prompts(editor->promptWindow());
        QString startedIn;
        importFile(editor, driver, m_clipA,
                   [&](QFileDialog *dialog) { startedIn = dialog->directory().absolutePath(); });
        QVERIFY2(finished(driver), qPrintable(driver.failures().join('\n')));
        QCOMPARE(driver.seen().last(),
                 QStringLiteral("选择视频文件|video files(*.avi *.mpg *.mp4 *.mov *.mkv *.webm "
                                "*.m4v *.wmv *.flv);;所有文件 (*)"));
        QTRY_COMPARE_WITH_TIMEOUT(ProjectData::instance()->count(), 1, kLongWaitMs);
        QTRY_VERIFY(!editor->avDatasManager()->isBusy());
        QCOMPARE(editor->undoStack()->count(), 0);
        QVERIFY(!editor->ui().btn_undo->isEnabled());
        QVERIFY(prompts.shown > 0);

        QCOMPARE(startedIn, m_videos);

        // The second starts where the first video was.
        bool columnsFitted = false;
        importFile(editor, driver, m_clipB, [&](QFileDialog *dialog) {
            startedIn = dialog->directory().absolutePath();
            columnsFitted = columnsFit(dialog);
        });
        QVERIFY2(finished(driver), qPrintable(driver.failures().join('\n')));
        QVERIFY(columnsFitted);
        QCOMPARE(startedIn, m_dir.path());
        QTRY_COMPARE_WITH_TIMEOUT(ProjectData::instance()->count(), 2, kLongWaitMs);
        QTRY_VERIFY(!editor->avDatasManager()->isBusy());
        QCOMPARE(editor->undoStack()->count(), 1);
        QCOMPARE(blockCount(editor), 2);
        QVERIFY(editor->ui().btn_play_stop->isVisible());
        QVERIFY(!editor->ui().view_blank_prompt->isVisible());
        QCOMPARE(editor->maxVideoSize(), QSize(320, 240));
        QTRY_VERIFY_WITH_TIMEOUT(previewShowsFrame(editor), 30000);

        // Mark a span in the middle of the longer clip and delete it.
        const QList<AVData> before = projectClips();
        const int longer = before.at(0).length() > before.at(1).length() ? 0 : 1;
        qint64 startMs = 0, endMs = 0;
        QVERIFY(markSpan(editor, longer, startMs, endMs));
        QVERIFY2(startMs >= 1000 && endMs <= before.at(longer).length() - 1000 &&
                     endMs - startMs > 1000,
                 qPrintable(QStringLiteral("%1-%2").arg(startMs).arg(endMs)));
        QTest::mouseClick(editor->ui().btn_delete, Qt::LeftButton);
        QTRY_COMPARE(totalMs(projectClips()), totalMs(before) - (endMs - startMs));
        QCOMPARE(ProjectData::instance()->count(), 3);
        QTRY_COMPARE(blockCount(editor), 3);
        const QList<AVData> after = projectClips();
        QCOMPARE(editor->undoStack()->count(), 2);
        QVERIFY(editor->ui().btn_undo->isEnabled());

        QTest::mouseClick(editor->ui().btn_undo, Qt::LeftButton);
        QVERIFY(ChangeAvDatasCommand::sameClips(projectClips(), before));
        QVERIFY(ChangeAvDatasCommand::sameClips(editor->ui().composition->avDatas, before));
        QCOMPARE(blockCount(editor), 2);
        QVERIFY(editor->ui().btn_redo->isEnabled());
        // Keys reach the active window.
        frame->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(frame));
        QTest::keyClick(editor, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        QVERIFY(ChangeAvDatasCommand::sameClips(projectClips(), after));
        QCOMPARE(blockCount(editor), 3);
        QVERIFY(ProjectData::instance()->isModified());

        // Save as, through the file menu. While it saves, the editor takes no edits (they
        // would not be in the file, yet count as saved) and no second save.
        prompts.shown = 0;
        prompts.shownWithParentEnabled = 0;
        QSignalSpy saved(editor, &MainContentWidget::sig_SaveProFinished);
        fileMenu(editor, driver, QStringLiteral("另存为"),
                 [&] { driver.fillFileDialog(m_lesson); });
        QVERIFY2(finished(driver), qPrintable(driver.failures().join('\n')));
        QVERIFY(driver.seen().contains(QStringLiteral("保存课件|课件文件(*.lsn)")));
        QTRY_COMPARE_WITH_TIMEOUT(saved.count(), 1, kLongWaitMs);
        QCOMPARE(saved.first().first().toBool(), true);
        QVERIFY(prompts.shown > 0);
        QCOMPARE(prompts.shownWithParentEnabled, 0);
        QVERIFY(editor->isEnabled());
        QVERIFY(editor->successWindow()->isVisible());
        QCOMPARE(editor->successWindow()->text(), QStringLiteral("保存成功"));
        // It stays centred over the editor when the window changes size.
        editor->window()->resize(editor->window()->size() - QSize(160, 60));
        QTRY_VERIFY(qAbs(editor->successWindow()->geometry().center().x() - editor->width() / 2) <=
                    1);
        QVERIFY(!ProjectData::instance()->isModified());
        QVERIFY(QFileInfo(m_lesson).isFile());
        QCOMPARE(ProjectData::instance()->filePath(), QFileInfo(m_lesson).absoluteFilePath());
        const QStringList savedSpans = spans(projectClips());

        // Close: nothing to ask. The working copy goes with the window.
        const QString workDir = ProjectData::instance()->projectDir();
        closeFrame(frame);
        QTRY_VERIFY(!frame);
        QVERIFY(!QFileInfo::exists(workDir));

        // Start again: the recent grid shows the project with its cover.
        RecentFiles::instance()->clear();
        RecentFiles::instance()->load();
        openFirstWindow(QString());
        home = homeWindow();
        QVERIFY(home);
        QVERIFY(QTest::qWaitForWindowExposed(home));
        recent = home->firstWidget()->recentWidget();
        QCOMPARE(recent->stackedWidget()->currentIndex(), 0);
        QCOMPARE(recent->listWidget()->count(), 1);
        QListWidgetItem *item = recent->listWidget()->item(0);
        auto *itemWidget = qobject_cast<QItemWidget *>(recent->listWidget()->itemWidget(item));
        QVERIFY(itemWidget);
        QCOMPARE(itemWidget->titleLabel()->text(), QStringLiteral("第一课"));
        QVERIFY(QFileInfo(recent->recentFiles().first().coverPath()).isFile());
        const QImage defaultCover =
            QItemWidget::roundedCover(QStringLiteral(":/images/default_recent_cover.png"))
                .toImage();
        QVERIFY(itemWidget->coverLabel()->pixmap().toImage() != defaultCover);
        // Hovering shows "打开" and the orange border.
        QTest::mouseMove(home->firstWidget()->topBar(), QPoint(300, 25));
        QTRY_VERIFY(!itemWidget->openButton()->isVisible());
        QTest::mouseMove(itemWidget, QPoint(80, 40));
        QTRY_VERIFY(itemWidget->openButton()->isVisible());
        QVERIFY(itemWidget->coverLabel()->styleSheet().startsWith("border: 1px solid #f2733d"));

        QTest::mouseClick(itemWidget, Qt::LeftButton, {}, QPoint(80, 40));
        QTRY_VERIFY(!home);
        QTRY_VERIFY(editorFrame());
        frame = editorFrame();
        editor = editorOf(frame);
        QTRY_VERIFY_WITH_TIMEOUT(ProjectData::instance()->count() == 3 &&
                                     !editor->loaddingView()->isVisible(),
                                 kLongWaitMs);
        QCOMPARE(spans(projectClips()), savedSpans);
        QCOMPARE(blockCount(editor), 3);
        QVERIFY(!ProjectData::instance()->isModified());
        QCOMPARE(editor->undoStack()->count(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(previewShowsFrame(editor), 30000);
    }

    // A file that takes a while to unpack: its timeline and first picture show at once, the
    // editor stays locked with the progress until the media are out, and a file that fails
    // late takes what it showed away again.
    void projectShowsWhileUnpacking()
    {
        QVERIFY(QFileInfo(m_lesson).isFile());  // saved by makeEditSaveReopen
        const QString truncated = m_dir.filePath(QStringLiteral("broken.lsn"));
        QFile::remove(truncated);
        QVERIFY(QFile::copy(m_lesson, truncated));
        QVERIFY(QFile::resize(truncated, QFileInfo(m_lesson).size() - 40));

        QPointer<BaseWindow> frame = editorFrame();
        MainContentWidget *editor = editorOf(frame);
        QVERIFY2(editor, "the editor of the journey before");
        // The lesson comes last: the journey after goes on with it.
        for (const QString &file : {truncated, m_lesson}) {
            // The unpack waits at its first progress, after the cover and the index.
            QSemaphore go;
            auto *unpacking = new SaveOpenManager(nullptr);
            QObject::connect(
                unpacking, &SaveOpenManager::sig_UpdateProgress, unpacking,
                [&go] { go.tryAcquire(1, 20000); }, Qt::DirectConnection);
            unpacking->openProject(file);
            editor->openProFile(file, unpacking);
            QTRY_COMPARE(blockCount(editor), 3);
            QVERIFY(!editor->loaddingView()->isVisible());
            QVERIFY(editor->ui().view_vlc->posterShown());
            QTRY_VERIFY(previewShowsFrame(editor));
            QCOMPARE(ProjectData::instance()->count(), 0);
            QVERIFY(!editor->isEnabled());
            QTRY_VERIFY(editor->promptWindow()->isVisible());
            QCOMPARE(editor->promptWindow()->text(), QStringLiteral("正在打开文件..."));
            if (file == m_lesson) {
                go.release(1000);
                QTRY_VERIFY_WITH_TIMEOUT(ProjectData::instance()->count() == 3, kLongWaitMs);
                QVERIFY(editor->isEnabled());
                QVERIFY(!editor->promptWindow()->isVisible());
                QCOMPARE(blockCount(editor), 3);
                // The player's own picture takes over.
                QTRY_VERIFY_WITH_TIMEOUT(!editor->ui().view_vlc->posterShown(), 30000);
                QTRY_VERIFY(previewShowsFrame(editor));
                continue;
            }
            ModalDriver driver;
            driver.answerMessageBox(QStringLiteral("OK"));
            go.release(1000);
            QVERIFY2(finished(driver), qPrintable(driver.failures().join('\n')));
            QCOMPARE(driver.seen().value(0), QStringLiteral("警告|打开失败！"));
            QTRY_VERIFY(editor->isEnabled());
            QCOMPARE(blockCount(editor), 0);
            QCOMPARE(ProjectData::instance()->count(), 0);
            QVERIFY(!editor->ui().view_vlc->posterShown());
            QVERIFY(!editor->promptWindow()->isVisible());
            QVERIFY(editor->ui().view_blank_prompt->isVisible());
        }
    }

    // A modified project: the close and open questions, and what each answer does.
    void unsavedWorkQuestions()
    {
        ModalDriver driver;
        QPointer<BaseWindow> frame = editorFrame();
        MainContentWidget *editor = editorOf(frame);
        QVERIFY2(editor, "the editor of the journey before");
        QVERIFY(QTest::qWaitForWindowExposed(frame));
        const QString question = QStringLiteral("提示|当前项目尚未保存，是否保存?");

        QVERIFY(deleteMiddleOfLongest(editor, true));
        const QStringList modified = spans(projectClips());

        // "取消" keeps the window.
        driver.answerMessageBox(QStringLiteral("取消"));
        closeFrame(frame);
        QVERIFY(finished(driver));
        QCOMPARE(driver.seen().last(), question);
        QTest::qWait(200);
        QVERIFY(frame && frame->isVisible());
        // "退出" (its key) asks the same question.
        driver.answerMessageBox(QStringLiteral("取消"));
        frame->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(frame));
        QTest::keyClick(editor, Qt::Key_W, Qt::ControlModifier);
        QVERIFY(finished(driver));
        QCOMPARE(driver.seen().size(), 2);
        QCOMPARE(driver.seen().last(), question);
        QTest::qWait(200);
        QVERIFY(frame && frame->isVisible());

        // "是": the window closes only once the save has finished.
        QSignalSpy saved(editor, &MainContentWidget::sig_SaveProFinished);
        driver.answerMessageBox(QStringLiteral("是"));
        closeFrame(frame);
        QVERIFY(finished(driver));
        QVERIFY(frame && frame->isVisible() && saved.isEmpty());
        QTRY_VERIFY_WITH_TIMEOUT(!frame, kLongWaitMs);
        QCOMPARE(saved.count(), 1);

        // The project file on the command line opens straight into the editor, with the
        // span deleted before the close.
        editor = startOnLesson(m_lesson, frame);
        QVERIFY(editor);
        QVERIFY(!homeWindow());
        QCOMPARE(spans(projectClips()), modified);

        // "打开" while modified asks first; the open dialog comes only after the save.
        QVERIFY(QTest::qWaitForWindowExposed(frame));
        QVERIFY(deleteMiddleOfLongest(editor));
        const QStringList modifiedAgain = spans(projectClips());
        QSignalSpy savedBeforeOpen(editor, &MainContentWidget::sig_SaveProFinished);
        // While the project opens, nothing can go into the project it replaces.
        LockCounter opening(editor);
        int savesWhenDialogShown = -1;
        driver.answerMessageBox(QStringLiteral("是"));
        driver.fillFileDialog(m_lesson, [&](QFileDialog *) {
            savesWhenDialogShown = savedBeforeOpen.count();
            opening.locks = 0;  // the save's lock is over
        });
        frame->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(frame));
        QTest::keyClick(editor, Qt::Key_O, Qt::ControlModifier);
        QVERIFY2(finished(driver), qPrintable(driver.failures().join('\n')));
        QCOMPARE(savesWhenDialogShown, 1);
        QTRY_VERIFY_WITH_TIMEOUT(ProjectData::instance()->count() > 0 &&
                                     !editor->loaddingView()->isVisible() &&
                                     !ProjectData::instance()->isModified(),
                                 kLongWaitMs);
        QCOMPARE(spans(projectClips()), modifiedAgain);
        QCOMPARE(opening.locks, 1);
        QVERIFY(editor->isEnabled());

        // "新建" while the preview plays: playback stops and the button says "播放" again.
        QPushButton *play = editor->ui().btn_play_stop;
        QTRY_VERIFY(play->isVisible());
        QTest::mouseClick(play, Qt::LeftButton);
        QVERIFY(play->isChecked());
        QCOMPARE(play->text(), QStringLiteral("停止"));
        QTRY_VERIFY_WITH_TIMEOUT(editor->playHelper()->isPlaying(), 30000);
        frame->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(frame));
        QTest::keyClick(editor, Qt::Key_N, Qt::ControlModifier);
        QVERIFY(!play->isChecked());
        QCOMPARE(play->text(), QStringLiteral("播放"));
        QVERIFY(!play->isVisible());
        QTRY_VERIFY(!editor->playHelper()->isPlaying());
        QCOMPARE(ProjectData::instance()->count(), 0);
        QVERIFY(editor->ui().view_blank_prompt->isVisible());
        QCOMPARE(blockCount(editor), 0);

        // "否" closes without saving: the file stays as it was.
        closeFrame(frame);
        QTRY_VERIFY(!frame);
        QPointer<BaseWindow> second;
        editor = startOnLesson(m_lesson, second);
        QVERIFY(editor);
        const QByteArray fileBefore = [&] {
            QFile f(m_lesson);
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        }();
        QVERIFY(deleteMiddleOfLongest(editor));
        driver.answerMessageBox(QStringLiteral("否"));
        closeFrame(second);
        QVERIFY(finished(driver));
        QTRY_VERIFY(!second);
        QFile f(m_lesson);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(f.readAll() == fileBefore);
        f.close();

        // A save that fails keeps the work open: "新建" after "是" and "保存失败！" leaves the
        // modified project as it was (a folder stands where the file was, so the save cannot
        // replace it).
        QPointer<BaseWindow> third;
        editor = startOnLesson(m_lesson, third);
        QVERIFY(editor);
        QVERIFY(deleteMiddleOfLongest(editor));
        const QStringList unsaved = spans(projectClips());
        const QString putAside = m_lesson + QStringLiteral(".aside");
        QVERIFY(QFile::rename(m_lesson, putAside));
        QVERIFY(QDir().mkpath(m_lesson + QStringLiteral("/in the way")));
        driver.answerMessageBox(QStringLiteral("是"));
        driver.answerMessageBox(QStringLiteral("OK"));
        third->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(third));
        QTest::keyClick(editor, Qt::Key_N, Qt::ControlModifier);
        QVERIFY2(finished(driver), qPrintable(driver.failures().join('\n')));
        QCOMPARE(driver.seen().last(), QStringLiteral("警告|保存失败！"));
        QTest::qWait(200);
        QVERIFY(ProjectData::instance()->isModified());
        QCOMPARE(spans(projectClips()), unsaved);
        QCOMPARE(blockCount(editor), unsaved.size());
        QVERIFY(QDir(m_lesson).removeRecursively());
        QVERIFY(QFile::rename(putAside, m_lesson));
        driver.answerMessageBox(QStringLiteral("否"));
        closeFrame(third);
        QVERIFY(finished(driver));
        QTRY_VERIFY(!third);
    }

    // A broken project file on the command line: "打开失败！" and an empty project.
    void brokenProjectFile()
    {
        const QString broken = m_dir.filePath(QStringLiteral("broken.lsn"));
        QFile file(broken);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray("LSN\0not a packed project", 25).repeated(40));
        file.close();

        ModalDriver driver;
        driver.answerMessageBox(QStringLiteral("OK"));
        openFirstWindow(broken);
        QVERIFY2(finished(driver), qPrintable(driver.failures().join('\n')));
        QCOMPARE(driver.seen().value(0), QStringLiteral("警告|打开失败！"));
        QPointer<BaseWindow> frame = editorFrame();
        MainContentWidget *editor = editorOf(frame);
        QVERIFY(editor);
        QTRY_VERIFY(!editor->loaddingView()->isVisible());
        QCOMPARE(ProjectData::instance()->count(), 0);
        QVERIFY(ProjectData::instance()->filePath().isEmpty());
        QVERIFY(editor->ui().view_blank_prompt->isVisible());
        QVERIFY(!editor->ui().btn_play_stop->isVisible());
        QCOMPARE(blockCount(editor), 0);
        QVERIFY(!ProjectData::instance()->isModified());

        // The recording engine's errors reach the teacher as message boxes that do not block
        // (the recording window closes behind them); its warnings go to the recording bar's
        // line, never into a box that could be recorded.
        const auto shownBoxes = [] {
            QStringList shown;
            for (QWidget *w : QApplication::topLevelWidgets())
                if (auto *box = qobject_cast<QMessageBox *>(w); box && box->isVisible())
                    shown << box->windowTitle() + '|' + box->text();
            shown.sort();
            return shown;
        };
        {
            ScreenRecord record(editor);
            emit record.sig_Warning(QStringLiteral("未发现音频输入设备！"));
            emit record.sig_Critical(QStringLiteral("无法录制！"));
            QTRY_COMPARE(shownBoxes(), QStringList({QStringLiteral("错误|无法录制！")}));
            QVERIFY(QApplication::activeModalWidget() == nullptr);
            for (QWidget *w : QApplication::topLevelWidgets())
                if (qobject_cast<QMessageBox *>(w))
                    w->close();
            QTRY_VERIFY(shownBoxes().isEmpty());
        }

        // "录屏": the editor steps aside for the frozen screen; Escape brings it back.
        QTest::mouseClick(editor->ui().btn_record_screen, Qt::LeftButton);
        QTRY_VERIFY(frame->isMinimized());
        QPointer<RecordScreenSelectWidget> select;
        QTRY_VERIFY_WITH_TIMEOUT(select = topLevel<RecordScreenSelectWidget>(), 3000);
        QVERIFY(QTest::qWaitForWindowExposed(select));
        // Until the recording is over, the editor takes no edits and does not close: the
        // recording goes into this project and its folder.
        QVERIFY(!editor->isEnabled());
        {
            ModalDriver driver;
            driver.answerMessageBox(QStringLiteral("OK"));
            closeFrame(frame);
            QVERIFY(finished(driver));
            QCOMPARE(driver.seen(), QStringList{QStringLiteral("提示|正在录制，请先结束录制！")});
        }
        QVERIFY(frame && select);
        // The recording window comes back to the front, ready for its keys.
        QVERIFY(QTest::qWaitForWindowActive(select));
        QTest::keyClick(select, Qt::Key_Escape);
        QTRY_VERIFY(!select);
        QTRY_VERIFY(!frame->isMinimized());
        QTRY_VERIFY(editor->isEnabled());
        closeFrame(frame);
        QTRY_VERIFY(!frame);
    }

    void zoomSlider_data()
    {
        DataTable::columns<int, double>("sliderValue", "scale");
        QTest::newRow("least") << 100 << 0.01;
        QTest::newRow("half") << 5000 << 0.5;
        QTest::newRow("one") << 10000 << 1.0;
        QTest::newRow("most") << 20000 << 2.0;
    }
    // The slider is the timeline's scale times 10000, both ways, on a two-hour project.
    void zoomSlider()
    {
        const auto [sliderValue, scale] = DataTable::fetch<int, double>("sliderValue", "scale");
        ProjectData *project = ProjectData::instance();
        project->reset();
        AVData lecture = project->newClip(QStringLiteral("two-hours.mp4"));
        lecture.duration = 7200000;
        lecture.beginTime = 0;
        lecture.endTime = 7200000;
        lecture.videoWidth = 1280;
        lecture.videoHeight = 720;
        project->setAvDatas({lecture});
        project->markSaved();
        MainContentWidget editor;
        editor.resize(1280, 720);
        editor.show();
        QVERIFY(QTest::qWaitForWindowExposed(&editor));
        editor.updateView(true);
        QSlider *slider = editor.ui().slider_zoom;
        QTRY_VERIFY(slider->minimum() <= 100);
        QCOMPARE(slider->maximum(), 20000);
        slider->setValue(sliderValue);
        GraphicsViewScalable *view = editor.ui().composition->compositionView();
        QCOMPARE(view->horizontalScale(), scale);
        QCOMPARE(slider->value(), sliderValue);
        if (sliderValue < 20000) {
            QTest::mouseClick(editor.ui().btn_zoom_in, Qt::LeftButton);
            QVERIFY(view->horizontalScale() > scale);
            QCOMPARE(slider->value(), qRound(view->horizontalScale() * 10000));
        }
        project->reset();
        project->markSaved();
    }

    void videoRect_data()
    {
        DataTable::columns<QSize, QSize, QSize, QRect>("video", "largest", "area", "rect");
        QTest::newRow("smaller clip centred") << QSize(1280, 720) << QSize(1920, 1080)
                                              << QSize(960, 600) << QRect(160, 120, 640, 360);
        QTest::newRow("largest clip, wide area") << QSize(1920, 1080) << QSize(1920, 1080)
                                                 << QSize(1000, 400) << QRect(144, 0, 711, 400);
        QTest::newRow("larger than the largest")
            << QSize(2000, 1200) << QSize(640, 480) << QSize(640, 480) << QRect(0, 0, 640, 480);
        QTest::newRow("unknown height")
            << QSize(1280, -1) << QSize(1280, 720) << QSize(960, 600) << QRect();
        QTest::newRow("no largest height")
            << QSize(1280, 720) << QSize(1280, 0) << QSize(960, 600) << QRect();
        QTest::newRow("nothing playing")
            << QSize(-1, -1) << QSize(1280, 720) << QSize(960, 600) << QRect();
        QTest::newRow("no area") << QSize(1280, 720) << QSize(1280, 720) << QSize(0, 600)
                                 << QRect();
    }
    void videoRect()
    {
        const auto [video, largest, area, rect] =
            DataTable::fetch<QSize, QSize, QSize, QRect>("video", "largest", "area", "rect");
        QCOMPARE(MainContentWidget::videoRect(video, largest, area), rect);
    }
};

QTEST_MAIN(TestEditorJourney)
#include "tst_editorjourney.moc"
