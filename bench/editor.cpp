// The editor on a large project (run through the script bench/editor).
//   editor                    a project of 300 clips, spans cut from three generated files,
//                             saved from the editor (with its blocks' pictures, as a teacher's
//                             file holds them) and
//                             opened through the editor: the time from the start to all blocks
//                             on the timeline and the first preview frame, against the time of
//                             the same file's unpack alone (SaveOpenManager), and the time to
//                             the end of the open (editable, the player holding its file); then 20
//                             edits (delete a span, undo, redo) from the click to the refreshed
//                             timeline and preview. Last line:
//                             "open_vs_unpack=<r> edit_p95_ms=<n>" (aims 1.5 and 100 ms)
//   editor --screenshots DIR  pictures of the home page (empty, and with the project's cover)
//                             and of the editor holding a small generated project
#include "core/media/avshowmanager.h"
#include "core/platform/settings.h"
#include "core/project/projectdata.h"
#include "core/project/recentfiles.h"
#include "core/storage/saveopenmanager.h"
#include "support/benchtools.h"
#include "support/cliplist.h"
#include "support/eventwait.h"
#include "support/testmedia.h"
#include "support/timelineinput.h"
#include "ui/app/startup.h"
#include "ui/base/basemainwidget.h"
#include "ui/base/basewindow.h"
#include "ui/base/loaddingview.h"
#include "ui/editor/maincontentwidget.h"
#include "ui/editor/playhelper.h"
#include "ui/editor/vlcmediaplayer.h"
#include "ui/editor/vlcwidgetvideo.h"
#include "ui/home/firstwidget.h"
#include "ui/home/firstwindow.h"
#include "ui/home/qitemwidget.h"
#include "ui/home/qrecentwidget.h"
#include "ui/timeline/graphicsviewscalable.h"
#include "ui/timeline/graphicswidgetresources.h"
#include "ui/timeline/graphicswidgetsequence.h"
#include "ui/timeline/trimhandle.h"
#include "ui/timeline/widgetcomposition.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QListWidget>
#include <QPointer>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

// Runs the event loop until `done` or `timeoutMs`; false on timeout. Checks every 0.5 ms, so
// that what is timed up to `done` is timed closely.
bool waitFor(const std::function<bool()> &done, int timeoutMs)
{
    return EventWait::until(done, timeoutMs, std::chrono::microseconds(500));
}

// A clip of a file made by TestMedia::makeLecture in the project's folder.
AVData spanOf(const QString &fileName, qint64 durationMs, qint64 beginMs, qint64 endMs,
              const QString &title)
{
    return ClipList::clip(QDir(ProjectData::instance()->projectDir()).filePath(fileName),
                          durationMs, beginMs, endMs, title, TestMedia::kLectureSize);
}

// Writes the project into `lsn` (cover first) and waits for the end of the save; `asNew` as
// "另存为" does, else as "保存" does for the project opened from `lsn`.
bool saveAs(const QString &lsn, bool asNew = true)
{
    ProjectData *project = ProjectData::instance();
    project->writeIndex();
    AvShowManager::createCover(project);
    SaveOpenManager manager(nullptr);
    bool finished = false, ok = false;
    QObject::connect(&manager, &SaveOpenManager::sig_SaveFinished, [&](bool success) {
        finished = true;
        ok = success;
    });
    manager.saveProject(lsn, asNew);
    return waitFor([&] { return finished; }, 600000) && ok;
}

// The processes this one started that are still running (the ffmpeg tool making pictures).
int runningChildren()
{
    const QByteArray self = QByteArray::number(QCoreApplication::applicationPid());
    int count = 0;
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = stat.readAll();
        // "pid (name) state ppid ...": the name may hold spaces, the rest does not.
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1 && fields.at(1) == self && fields.at(0) != "Z")
            ++count;
    }
    return count;
}

// Waits until no started process has run for half a second (up to a minute).
bool waitForQuiet()
{
    QElapsedTimer quiet;
    quiet.start();
    return waitFor(
        [&] {
            if (runningChildren() > 0)
                quiet.restart();
            return quiet.elapsed() >= 500;
        },
        60000);
}

// The file's unpack alone, as the editor's open runs it.
qint64 unpackMs(const QString &lsn)
{
    SaveOpenManager manager(nullptr);
    bool finished = false;
    QElapsedTimer t;
    QObject::connect(&manager, &SaveOpenManager::sig_OpenSuccess, [&] { finished = true; });
    QObject::connect(&manager, &SaveOpenManager::sig_OpenFailed, [&] { finished = true; });
    t.start();
    manager.openProject(lsn);
    if (!waitFor([&] { return finished; }, 600000))
        return -1;
    return t.elapsed();
}

MainContentWidget *editorOf(QWidget *frame)
{
    auto *base = qobject_cast<BaseWindow *>(frame);
    return base ? qobject_cast<MainContentWidget *>(base->mainWidget()->contentWidget()) : nullptr;
}

int blockCount(MainContentWidget *editor)
{
    return editor->ui().composition->segment()->sequenceAt(0)->resourceCount();
}

// True when the preview's window shows a picture: many colours, not one flat fill.
bool previewShowsFrame(MainContentWidget *editor)
{
    VlcWidgetVideo *video = editor->ui().view_vlc;
    if (!video->isVisible() || video->width() < 16)
        return false;
    const QImage shot = video->screen()
                            ->grabWindow(video->winId(), video->width() / 4, video->height() / 4,
                                         video->width() / 2, video->height() / 2)
                            .toImage();
    QSet<QRgb> colours;
    for (int y = 0; y < shot.height(); y += 9)
        for (int x = 0; x < shot.width(); x += 9)
            colours.insert(shot.pixel(x, y) & 0xF0F0F0);
    return colours.size() > 12;
}

// The preview has settled on the list it was given: the player shows its file, paused or
// playing.
bool previewSettled(MainContentWidget *editor)
{
    PlayHelper *helper = editor->playHelper();
    const Vlc::State state = helper->mediaPlayer()->state();
    return helper->currentMediaInfo() && (state == Vlc::Paused || state == Vlc::Playing);
}

// Keeps conf.ini beside the program as it was.
class ConfGuard
{
public:
    ConfGuard() : m_path(settingsFilePath(QStringLiteral("conf.ini")))
    {
        QFile f(m_path);
        m_had = f.open(QIODevice::ReadOnly);
        if (m_had)
            m_bytes = f.readAll();
        QFile::remove(m_path);
    }
    ~ConfGuard()
    {
        QFile::remove(m_path);
        QFile f(m_path);
        if (m_had && f.open(QIODevice::WriteOnly))
            f.write(m_bytes);
    }

private:
    QString m_path;
    QByteArray m_bytes;
    bool m_had = false;
};

// Marks a span in the first block (the handles dragged a tenth of it inwards), as a person
// would.
bool markFirstBlock(MainContentWidget *editor)
{
    GraphicsWidgetSequence *track = editor->ui().composition->segment()->sequenceAt(0);
    if (track->resourceCount() == 0)
        return false;
    AbstractGraphicsWidgetResources *block = track->resourceAt(0);
    GraphicsViewScalable *view = editor->ui().composition->compositionView();
    QWidget *viewport = view->viewport();
    const QRectF r = block->sceneBoundingRect();
    const QPoint middle = view->mapFromScene(r.center());
    TimelineInput::press(viewport, middle);
    TimelineInput::release(viewport, middle);
    const int inset =
        (view->mapFromScene(r.topRight()).x() - view->mapFromScene(r.topLeft()).x()) / 10;
    const QPoint right = view->mapFromScene(block->rightHandle()->sceneBoundingRect().center());
    TimelineInput::drag(viewport, right, right - QPoint(inset, 0));
    const QPoint left = view->mapFromScene(block->leftHandle()->sceneBoundingRect().center());
    TimelineInput::drag(viewport, left, left + QPoint(inset, 0));
    return block->isSelected();
}

constexpr int kOpenRounds = 7;

int benchmark()
{
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    ConfGuard conf;
    ProjectData *project = ProjectData::instance();
    project->reset();
    const QString mediaDir = project->projectDir();  // the generated lectures, removed at the end
    QDir().mkpath(mediaDir);
    const QStringList pictures{"testsrc2", "smptehdbars", "mandelbrot"};
    for (int f = 0; f < 3; ++f) {
        if (!TestMedia::makeLecture(QDir(mediaDir).filePath(QString("lecture%1.mp4").arg(f)), 60,
                                    pictures.at(f), 220 + 110 * f)) {
            std::fprintf(stderr, "could not make the media with the ffmpeg tool\n");
            return 1;
        }
    }
    QList<AVData> clips;
    for (int i = 0; i < 300; ++i) {
        const qint64 begin = (i / 3 % 29) * 2000;
        clips << spanOf(QString("lecture%1.mp4").arg(i % 3), 60000, begin, begin + 2000,
                        QString("片段 %1").arg(i + 1));
    }
    project->setAvDatas(clips);
    project->setProjectDir(project->projectDir());
    const QString lsn = QDir(dir.path()).filePath("large.lsn");
    if (!saveAs(lsn)) {
        std::fprintf(stderr, "could not save the project\n");
        return 1;
    }
    // A file the editor saved holds its blocks' pictures and sound pictures as well: opened
    // once, the editor makes them, and saved again, the file carries them. Without them every
    // open below would start the ffmpeg tool for them, running on into the next rounds.
    {
        QPointer<QWidget> first = openEditorWindow(lsn);
        MainContentWidget *editor = editorOf(first);
        if (!waitFor([&] { return project->count() == 300 && editor->isEnabled(); }, 120000) ||
            !waitForQuiet() || !saveAs(lsn, false)) {
            std::fprintf(stderr, "could not save the project from the editor\n");
            return 1;
        }
        project->markSaved();
        first->close();
        waitFor([&] { return first.isNull(); }, 10000);
    }
    std::printf("project: 300 clips, %.1f MB packed\n", QFileInfo(lsn).size() / 1048576.0);

    // Alternating rounds of the unpack alone and the open through the editor. The open is
    // timed to what the teacher sees (every block on the timeline and the first picture in
    // the preview, the loading view gone) and to the end of it (the project holds its clips,
    // the editor takes input, the player holds its file).
    QList<qint64> unpack, open, ready;
    QPointer<QWidget> frame;
    for (int round = 0; round < kOpenRounds; ++round) {
        project->reset();
        project->markSaved();
        // Each round starts on a quiet machine: no pictures still being made.
        waitForQuiet();
        unpack << unpackMs(lsn);
        project->reset();
        project->markSaved();
        QElapsedTimer t;
        t.start();
        frame = openEditorWindow(lsn);
        const qint64 windowMs = t.elapsed();
        MainContentWidget *editor = editorOf(frame);
        qint64 shownMs = -1, readyMs = -1;
        if (!waitFor(
                [&] {
                    if (shownMs < 0 && blockCount(editor) == 300 &&
                        !editor->loaddingView()->isVisible() && previewShowsFrame(editor))
                        shownMs = t.elapsed();
                    if (readyMs < 0 && project->count() == 300 && editor->isEnabled() &&
                        previewSettled(editor))
                        readyMs = t.elapsed();
                    return shownMs >= 0 && readyMs >= 0;
                },
                120000)) {
            std::fprintf(stderr, "the editor did not show the project\n");
            return 1;
        }
        open << shownMs;
        ready << readyMs;
        std::printf("round %d: unpack %lld ms, editor window %lld ms, project shown %lld ms, "
                    "ready %lld ms\n",
                    round + 1, static_cast<long long>(unpack.last()),
                    static_cast<long long>(windowMs), static_cast<long long>(shownMs),
                    static_cast<long long>(readyMs));
        if (round < kOpenRounds - 1) {
            frame->close();
            waitFor([&] { return frame.isNull(); }, 10000);
        }
    }
    const double ratio =
        double(BenchTools::median(open)) / double(std::max<qint64>(1, BenchTools::median(unpack)));

    // Edits: delete a span of the first block, undo, redo; each timed from its click.
    MainContentWidget *editor = editorOf(frame);
    editor->ui().composition->setScaleValue(1.0);
    QCoreApplication::processEvents();
    QList<qint64> edits;
    int painted = 0;
    struct PaintSpy : QObject
    {
        int *count;
        explicit PaintSpy(int *c) : count(c) {}
        bool eventFilter(QObject *, QEvent *e) override
        {
            if (e->type() == QEvent::Paint)
                ++*count;
            return false;
        }
    } spy(&painted);
    editor->ui().composition->compositionView()->viewport()->installEventFilter(&spy);
    auto timed = [&](QWidget *button) {
        painted = 0;
        QElapsedTimer t;
        t.start();
        QTest::mouseClick(button, Qt::LeftButton);
        if (!waitFor([&] { return painted > 0 && previewSettled(editor); }, 30000))
            return qint64(-1);
        return t.elapsed();
    };
    for (int round = 0; round < 7 && edits.size() < 20; ++round) {
        waitFor([&] { return previewSettled(editor); }, 10000);
        if (!markFirstBlock(editor)) {
            std::fprintf(stderr, "could not select a block\n");
            return 1;
        }
        const int before = project->count();
        AVData marked;
        qint64 fromMs = 0, toMs = 0;
        editor->ui().composition->findSelectedClip(marked, fromMs, toMs);
        edits << timed(editor->ui().btn_delete);
        if (project->count() == before) {
            std::fprintf(stderr, "the delete of %lld-%lld ms of a %lld ms clip changed nothing\n",
                         static_cast<long long>(fromMs), static_cast<long long>(toMs),
                         static_cast<long long>(marked.length()));
            return 1;
        }
        if (edits.size() < 20)
            edits << timed(editor->ui().btn_undo);
        if (edits.size() < 20)
            edits << timed(editor->ui().btn_redo);
    }
    if (std::count(edits.begin(), edits.end(), -1) > 0) {
        std::fprintf(stderr, "an edit did not refresh in time\n");
        return 1;
    }
    std::printf("edits: %lld edits, median %lld ms, slowest %lld ms\n",
                static_cast<long long>(edits.size()),
                static_cast<long long>(BenchTools::median(edits)),
                static_cast<long long>(*std::max_element(edits.begin(), edits.end())));
    project->markSaved();
    frame->close();
    waitFor([&] { return frame.isNull(); }, 10000);
    QDir(dataDir(QFileInfo(lsn).absoluteFilePath())).removeRecursively();
    QDir(cacheDir(QFileInfo(lsn).absoluteFilePath())).removeRecursively();
    QDir(mediaDir).removeRecursively();
    std::printf("unpack_ms=%lld editor_open_ms=%lld editor_ready_ms=%lld ready_vs_unpack=%.2f\n",
                static_cast<long long>(BenchTools::median(unpack)),
                static_cast<long long>(BenchTools::median(open)),
                static_cast<long long>(BenchTools::median(ready)),
                double(BenchTools::median(ready)) /
                    double(std::max<qint64>(1, BenchTools::median(unpack))));
    std::printf("open_vs_unpack=%.2f edit_p95_ms=%lld\n", ratio,
                static_cast<long long>(BenchTools::percentile(edits, 0.95)));
    return 0;
}

// The window as the screen shows it (the preview is a window of libvlc's own inside it).
bool saveWindow(QWidget *window, const QString &path)
{
    const QRect g = window->frameGeometry();
    const QPixmap shot = window->screen()->grabWindow(0, g.x(), g.y(), g.width(), g.height());
    if (!shot.save(path)) {
        std::fprintf(stderr, "could not save %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

int screenshots(const QString &out)
{
    QDir().mkpath(out);
    const QString outDir = QFileInfo(out).absoluteFilePath();
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    ConfGuard conf;
    RecentFiles::instance()->clear();
    applyApplicationStyleSheet(*qApp);

    // The empty home page.
    QPointer<QWidget> home = openFirstWindow(QString());
    home->move(80, 60);
    (void)QTest::qWaitForWindowExposed(home);
    QTest::qWait(500);
    saveWindow(home, outDir + "/home_empty.png");

    // A small lecture: three spans of two files, saved as a project.
    ProjectData *project = ProjectData::instance();
    QDir().mkpath(project->projectDir());
    const QString folder = project->projectDir();
    if (!TestMedia::makeLecture(QDir(folder).filePath("intro.mp4"), 14, "testsrc2", 220) ||
        !TestMedia::makeLecture(QDir(folder).filePath("example.mp4"), 22, "smptehdbars", 330)) {
        std::fprintf(stderr, "could not make the media with the ffmpeg tool\n");
        return 1;
    }
    project->setAvDatas({spanOf("intro.mp4", 14000, 1000, 13000, "第一节 课程导入"),
                         spanOf("example.mp4", 22000, 0, 20000, "第二节 例题讲解"),
                         spanOf("intro.mp4", 14000, 3000, 11000, "第三节 课堂小结")});
    project->setProjectDir(folder);
    const QString lessons = QDir(dir.path()).filePath("课程");
    QDir().mkpath(lessons);
    for (const QString &name : {QStringLiteral("函数的图像"), QStringLiteral("第二单元 复习课")}) {
        if (!saveAs(QDir(lessons).filePath(name + ".lsn"))) {
            std::fprintf(stderr, "could not save the project\n");
            return 1;
        }
    }
    project->markSaved();
    home->close();
    waitFor([&] { return home.isNull(); }, 5000);

    // The home page of the next start: the recent projects with their covers.
    RecentFiles::instance()->load();
    home = openFirstWindow(QString());
    home->move(80, 60);
    (void)QTest::qWaitForWindowExposed(home);
    QTest::qWait(500);
    auto *first = qobject_cast<FirstWindow *>(home.data());
    QListWidget *list = first->firstWidget()->recentWidget()->listWidget();
    if (list->count() > 0)
        QTest::mouseMove(list->itemWidget(list->item(0)), QPoint(80, 40));
    QTest::qWait(300);
    saveWindow(home, outDir + "/home_recent.png");

    // The editor on that project: thumbnails, waveforms and the preview.
    QWidget *item = list->itemWidget(list->item(0));
    QTest::mouseClick(item, Qt::LeftButton, {}, QPoint(80, 40));
    QPointer<QWidget> frame;
    waitFor(
        [&] {
            for (QWidget *w : QApplication::topLevelWidgets())
                if (editorOf(w) && w->isVisible())
                    frame = w;
            return !frame.isNull();
        },
        10000);
    if (!frame) {
        std::fprintf(stderr, "the editor did not open\n");
        return 1;
    }
    frame->setGeometry(60, 40, 1440, 900);
    MainContentWidget *editor = editorOf(frame);
    waitFor([&] { return project->count() == 3 && !editor->loaddingView()->isVisible(); }, 60000);
    // The playhead into the second clip, then time for the pictures.
    editor->ui().composition->slot_change_cur_time(16000);
    editor->playHelper()->seekTo(16000);
    waitFor([&] { return previewShowsFrame(editor); }, 30000);
    QTest::qWait(8000);
    saveWindow(frame, outDir + "/editor.png");

    // The file menu open over the editor.
    QTimer::singleShot(800, [&] {
        saveWindow(frame, outDir + "/editor_menu.png");
        if (QWidget *popup = QApplication::activePopupWidget())
            popup->close();
    });
    QTest::mouseClick(editor->ui().btn_file, Qt::LeftButton);
    project->markSaved();
    frame->close();
    waitFor([&] { return frame.isNull(); }, 10000);
    for (const QString &name : {QStringLiteral("函数的图像"), QStringLiteral("第二单元 复习课")}) {
        const QString path = QFileInfo(QDir(lessons).filePath(name + ".lsn")).absoluteFilePath();
        QDir(dataDir(path)).removeRecursively();
        QDir(cacheDir(path)).removeRecursively();
    }
    return 0;
}

}  // namespace

int main(int argc, char *argv[])
{
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    QApplication app(argc, argv);
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    BenchTools::printMessagesFrom(QtCriticalMsg);
    return BenchTools::benchmarkOrScreenshots(app.arguments(), "--screenshots",
                                              "usage: editor [--screenshots DIR]", benchmark,
                                              screenshots);
}
