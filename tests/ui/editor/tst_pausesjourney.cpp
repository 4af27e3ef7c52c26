// A teacher cuts the pauses out of a lesson: three recordings (an ordinary video and two screen
// recordings made by the program's recorder from a window on the test display, with the test
// microphone) whose tone stops now and then, sometimes while the picture moves on. 查找停顿 marks
// exactly the spans that are silent and still; a mark is kept and found again; 播放 plays a mark to
// its end; 删除全部停顿 cuts them all as one undo step, which undo and redo take back and put
// again; the export is as long as the lesson less the cuts, and no cut falls inside the tone.
#include "core/export/exportmanager.h"
#include "core/media/avrecord.h"
#include "core/media/pausefinder.h"
#include "core/project/projectdata.h"
#include "support/mediainspect.h"
#include "support/pausedlesson.h"
#include "support/testmedia.h"
#include "support/timelineinput.h"
#include "ui/app/startup.h"
#include "ui/base/basewindow.h"
#include "ui/editor/maincontentwidget.h"
#include "ui/editor/playhelper.h"
#include "ui/timeline/changeavdatascommand.h"
#include "ui/timeline/graphicsviewscalable.h"
#include "ui/timeline/pausemarksitem.h"
#include "ui/timeline/widgetcomposition.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QToolButton>
#include <QUndoStack>
#include <QtTest>

#include <algorithm>

namespace {
using Seconds = QList<QPair<double, double>>;

struct Recording
{
    const char *title;
    bool recorded;  // by the program's recorder, else an ordinary video made by the ffmpeg tool
    double seconds;
    Seconds silent;
    Seconds still;
};

// The planned spans; a recording's own fall where its stage really switched. What 查找停顿 must
// find is where they are both silent and still for the minimum time (2 s): 2-5 s of the first,
// 6-9 s of the second and 3-5.5 s of the third.
const QList<Recording> kLesson{{"第一节", false, 12, {{2, 5}, {7.5, 10.5}}, {{1.5, 6}}},
                               {"第二节", true, 12, {{1, 4}, {6, 9}, {10.5, 11.2}}, {{5.5, 12}}},
                               {"第三节", true, 10, {{3, 6.5}}, {{0, 5.5}}}};

constexpr qint64 kToleranceMs = 120;
constexpr qint64 kFrameMs = 40;

// Clicks `point` of the track view's viewport.
void clickTracks(WidgetComposition *timeline, QPoint point)
{
    QWidget *viewport = timeline->compositionView()->viewport();
    TimelineInput::press(viewport, point);
    TimelineInput::release(viewport, point);
}

// Triggers the action named `name` of the pause menu, once it shows, with a click.
bool chooseInMenu(QMenu *menu, const char *name)
{
    if (!QTest::qWaitFor([menu] { return menu->isVisible(); }, 5000))
        return false;
    auto *action = menu->findChild<QAction *>(QString::fromLatin1(name));
    if (!action)
        return false;
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
    return QTest::qWaitFor([menu] { return !menu->isVisible(); }, 5000);
}
}  // namespace

class TstPausesJourney : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void journey();

private:
    QStringList marksText() const;
    bool waitForSearch();

    QTemporaryDir m_dir;
    QList<Seconds> m_silent;  // each clip's silent spans, where they are in its file
    QList<Seconds> m_pauses;  // what 查找停顿 must find in each clip's file
    int m_minimumBefore = 0;
    QPointer<BaseWindow> m_frame;
    MainContentWidget *m_editor = nullptr;
};

void TstPausesJourney::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(applyApplicationStyleSheet(*qApp));
    m_minimumBefore = pauses::minimumSeconds();
    pauses::setMinimumSeconds(2);
    ProjectData *project = ProjectData::instance();
    project->setProjectDir(m_dir.filePath("project"));
    QDir().mkpath(project->projectDir());
    // The recordings first: the recorder's stage must be alone on the screen.
    QList<QString> files;
    for (const Recording &r : kLesson) {
        const QString file = m_dir.filePath(QStringLiteral("%1.mp4").arg(files.size()));
        Seconds silent = r.silent, still = r.still;
        if (r.recorded) {
            PausedLesson::Recorded real;
            QString why;
            QVERIFY2(PausedLesson::record(file, r.seconds, r.silent, r.still, &real, &why),
                     qPrintable(why));
            silent = real.silent;
            still = real.still;
        } else {
            QVERIFY(TestMedia::makePausedRecording(file, r.seconds, r.silent, r.still, false));
        }
        qInfo() << r.title << "silent" << silent << "still" << still;
        files << file;
        m_silent << silent;
        m_pauses << PausedLesson::common(silent, still, pauses::minimumSeconds());
    }
    for (const Recording &r : kLesson) {
        AVData clip = project->newClip(QStringLiteral("%1.mp4").arg(project->count()));
        QVERIFY(QFile::rename(files.at(project->count()), clip.filePath));
        QVERIFY(AVRecord::updateMediaInfo(clip));
        clip.title = QString::fromUtf8(r.title);
        clip.endTime = clip.duration;
        project->insert(-1, clip);
    }
    m_frame = new BaseWindow;
    m_frame->setAttribute(Qt::WA_DeleteOnClose);
    m_editor = new MainContentWidget;
    m_frame->setContentWidget(m_editor);
    m_frame->resize(1280, 800);
    m_frame->show();
    m_editor->updateView(true);
    QVERIFY(QTest::qWaitForWindowExposed(m_frame));
    m_editor->ui().composition->setScaleValue(1.2);
}

void TstPausesJourney::cleanupTestCase()
{
    pauses::setMinimumSeconds(m_minimumBefore);
    delete m_frame;
}

QStringList TstPausesJourney::marksText() const
{
    QStringList out;
    for (const pauses::PlacedPause &p : m_editor->ui().composition->pauseMarks()->marks())
        out << QStringLiteral("%1-%2").arg(p.timeline.fromMs).arg(p.timeline.toMs);
    return out;
}

bool TstPausesJourney::waitForSearch()
{
    QLabel *label = m_editor->ui().label_pauses;
    return QTest::qWaitFor([label] { return label->text().startsWith("找到"); }, 60000);
}

void TstPausesJourney::journey()
{
    const MainContentWidget::Ui &ui = m_editor->ui();
    WidgetComposition *timeline = ui.composition;
    ProjectData *project = ProjectData::instance();
    const QList<AVData> original = project->avDatas();

    // 查找停顿: the still and silent spans, at their places on the timeline.
    QTest::mouseClick(ui.btn_find_pauses, Qt::LeftButton);
    QVERIFY(waitForSearch());
    const QList<pauses::PlacedPause> marks = timeline->pauseMarks()->marks();
    QList<QPair<qint64, qint64>> expected;
    qint64 offset = 0;
    for (int i = 0; i < original.size(); ++i) {
        for (const auto &[from, to] : m_pauses.at(i))
            expected.append({offset + qint64(from * 1000), offset + qint64(to * 1000)});
        offset += original.at(i).length();
    }
    QStringList expectedText;
    for (const auto &[from, to] : expected)
        expectedText << QStringLiteral("%1-%2").arg(from).arg(to);
    qInfo() << "pauses found:" << marksText() << "expected:" << expectedText;
    QVERIFY2(marks.size() == expected.size(),
             qPrintable(marksText().join(' ') + " found, " + expectedText.join(' ') + " expected"));
    qint64 totalMs = 0;
    for (int i = 0; i < marks.size(); ++i) {
        QVERIFY2(
            qAbs(marks.at(i).timeline.fromMs - expected.at(i).first) <= kToleranceMs &&
                qAbs(marks.at(i).timeline.toMs - expected.at(i).second) <= kToleranceMs,
            qPrintable(marksText().join(' ') + " found, " + expectedText.join(' ') + " expected"));
        totalMs += marks.at(i).timeline.lengthMs();
    }
    QCOMPARE(ui.label_pauses->text(),
             QStringLiteral("找到 3 处停顿，共 %1秒").arg((totalMs + 500) / 1000));
    QVERIFY(ui.btn_delete_pauses->isVisible());
    if (qEnvironmentVariableIsSet("LUMORA_SCREENSHOTS")) {
        QTest::qWait(300);
        m_frame->grab().save(
            QDir(qEnvironmentVariable("LUMORA_SCREENSHOTS")).filePath("editor_pauses.png"));
    }

    // A click on the last mark: 保留 drops it; a new search finds it again.
    GraphicsViewScalable *view = timeline->compositionView();
    const QPoint lastMark =
        view->mapFromScene(timeline->pauseMarks()->markRect(marks.size() - 1).center());
    clickTracks(timeline, lastMark);
    QVERIFY(chooseInMenu(m_editor->pauseMenu(), "action_keep_pause"));
    QCOMPARE(timeline->pauseMarks()->marks().size(), marks.size() - 1);
    QVERIFY(ui.label_pauses->text().startsWith("找到 2 处停顿"));

    // 播放 on the first mark plays it from its start and stops at its end.
    clickTracks(timeline, view->mapFromScene(timeline->pauseMarks()->markRect(0).center()));
    QVERIFY(chooseInMenu(m_editor->pauseMenu(), "action_play_pause"));
    PlayHelper *player = m_editor->playHelper();
    QVERIFY(player->isPlaying());
    QVERIFY(qAbs(timeline->curTimeMs() - marks.at(0).timeline.fromMs) <= kFrameMs);
    QVERIFY(QTest::qWaitFor([player] { return !player->isPlaying(); },
                            int(marks.at(0).timeline.lengthMs()) + 10000));
    QVERIFY2(timeline->curTimeMs() >= marks.at(0).timeline.toMs - 300 &&
                 timeline->curTimeMs() <= marks.at(0).timeline.toMs + 600,
             qPrintable(QString::number(timeline->curTimeMs())));
    QCOMPARE(ui.btn_play_stop->text(), QStringLiteral("播放"));

    QTest::mouseClick(ui.btn_find_pauses, Qt::LeftButton);
    QVERIFY(waitForSearch());
    QCOMPARE(timeline->pauseMarks()->marks().size(), marks.size());

    // 删除全部停顿: one undo step, the titles and the order kept, every cut inside a silence.
    const int steps = m_editor->undoStack()->count();
    QTest::mouseClick(ui.btn_delete_pauses, Qt::LeftButton);
    QCOMPARE(m_editor->undoStack()->count(), steps + 1);
    const QList<AVData> cut = project->avDatas();
    qint64 cutMs = 0;
    for (const pauses::PlacedPause &p : marks)
        cutMs += p.pause.cut.lengthMs();
    qint64 cutTotal = 0, originalTotal = 0;
    for (const AVData &c : cut)
        cutTotal += c.length();
    for (const AVData &c : original)
        originalTotal += c.length();
    QCOMPARE(cutTotal, originalTotal - cutMs);
    QCOMPARE(cut.size(), original.size() + marks.size());
    QStringList titles;
    for (const AVData &c : cut)
        if (titles.isEmpty() || titles.last() != c.title)
            titles << c.title;
    QCOMPARE(titles, (QStringList{"第一节", "第二节", "第三节"}));
    for (const pauses::PlacedPause &p : marks) {
        const int clip = int(std::find_if(original.begin(), original.end(),
                                          [&p](const AVData &c) { return c.uuid == p.clipUuid; }) -
                             original.begin());
        QVERIFY(clip >= 0 && clip < kLesson.size());
        bool inSilence = false;
        for (const auto &[from, to] : m_silent.at(clip))
            inSilence =
                inSilence || (p.pause.cut.fromMs >= from * 1000 && p.pause.cut.toMs <= to * 1000);
        QVERIFY2(inSilence, qPrintable(QStringLiteral("cut %1-%2 of clip %3")
                                           .arg(p.pause.cut.fromMs)
                                           .arg(p.pause.cut.toMs)
                                           .arg(clip)));
    }
    QVERIFY(timeline->pauseMarks()->marks().isEmpty());
    QVERIFY(ui.label_pauses->text().startsWith("没有找到停顿"));

    // Undo brings every span (and its mark) back; redo cuts again.
    QTest::mouseClick(ui.btn_undo, Qt::LeftButton);
    QVERIFY(ChangeAvDatasCommand::sameClips(project->avDatas(), original));
    QCOMPARE(timeline->pauseMarks()->marks().size(), marks.size());
    QTest::mouseClick(ui.btn_redo, Qt::LeftButton);
    QVERIFY(ChangeAvDatasCommand::sameClips(project->avDatas(), cut));

    // The export: the lesson less the cuts, within a picture's time per cut.
    ExportManager exporter;
    bool exported = false, ended = false;
    connect(&exporter, &ExportManager::sig_ExportFinished, this, [&](bool ok) {
        exported = ok;
        ended = true;
    });
    const QString out = m_dir.filePath("lesson.mp4");
    exporter.exportToFile(out);
    QVERIFY(QTest::qWaitFor([&ended] { return ended; }, 120000));
    QVERIFY2(exported, qPrintable(exporter.errorText()));
    const MediaInspect::Info info = MediaInspect::probe(out);
    QVERIFY(info.opened && info.video.present && info.audio.present);
    const qint64 lengthMs = qRound64(info.durationSec * 1000);
    QVERIFY2(qAbs(lengthMs - (originalTotal - cutMs)) <= kFrameMs * marks.size(),
             qPrintable(QStringLiteral("%1 ms exported, %2 expected")
                            .arg(lengthMs)
                            .arg(originalTotal - cutMs)));
}

QTEST_MAIN(TstPausesJourney)
#include "tst_pausesjourney.moc"
