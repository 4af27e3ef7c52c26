// The editor's pauses: "查找停顿" finds them in the background, the timeline marks them, a
// mark can be kept (its mark dropped) or played, and "删除全部停顿" cuts them all as one undo
// step.
#include "ui/editor/maincontentwidget.h"

#include "core/media/avdatasmanager.h"
#include "core/media/pausefinder.h"
#include "core/project/projectdata.h"
#include "ui/base/commonsuccesswindow.h"
#include "ui/editor/playhelper.h"
#include "ui/timeline/pausemarksitem.h"
#include "ui/timeline/widgetcomposition.h"

#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QToolButton>

QString MainContentWidget::pauseLengthText(qint64 ms)
{
    const qint64 seconds = (ms + 500) / 1000;
    if (seconds < 60)
        return tr("%1秒").arg(seconds);
    return tr("%1分%2秒").arg(seconds / 60).arg(seconds % 60);
}

void MainContentWidget::setUpPauses()
{
    m_pauseFinder = new PauseFinder(this);
    m_pauseMenu = new QMenu(this);
    m_pauseMenu->setObjectName(QStringLiteral("menu_pause"));
    QAction *keep = m_pauseMenu->addAction(tr("保留"));
    keep->setObjectName(QStringLiteral("action_keep_pause"));
    QAction *play = m_pauseMenu->addAction(tr("播放"));
    play->setObjectName(QStringLiteral("action_play_pause"));
    connect(keep, &QAction::triggered, this, [this] { keepPause(m_menuMark); });
    connect(play, &QAction::triggered, this, [this] { playPause(m_menuMark); });

    connect(m_ui.btn_find_pauses, &QToolButton::clicked, this, &MainContentWidget::findPauses);
    connect(m_ui.btn_delete_pauses, &QToolButton::clicked, this,
            &MainContentWidget::deleteAllPauses);
    connect(m_pauseFinder, &PauseFinder::sig_Progress, this, [this](int percent) {
        if (m_pauseFinder->isRunning())
            m_ui.label_pauses->setText(tr("正在查找停顿… %1%").arg(percent));
    });
    connect(m_pauseFinder, &PauseFinder::sig_Finished, this,
            [this](const QList<pauses::Pause> &found) {
                m_foundPauses = found;
                m_pausesFound = true;
                m_ui.btn_find_pauses->setEnabled(true);
                showPauses();
            });
    connect(m_ui.composition->pauseMarks(), &PauseMarksItem::sig_MarkClicked, this,
            [this](int index, QPoint screenPos) {
                m_menuMark = index;
                m_pauseMenu->popup(screenPos);
            });
    // A mark played to its end stops there.
    connect(m_playHelper, &PlayHelper::timeChanged, this, [this](qint64 time) {
        if (m_playPauseUntilMs >= 0 && time >= m_playPauseUntilMs) {
            m_playPauseUntilMs = -1;
            stopPlayback();
        }
    });
    connect(m_ui.btn_play_stop, &QPushButton::clicked, this, [this] { m_playPauseUntilMs = -1; });
}

void MainContentWidget::findPauses()
{
    if (m_pauseFinder->isRunning() || ProjectData::instance()->count() == 0)
        return;
    m_ui.btn_find_pauses->setEnabled(false);
    m_ui.btn_delete_pauses->hide();
    m_ui.label_pauses->setText(tr("正在查找停顿… %1%").arg(0));
    m_ui.label_pauses->show();
    m_pauseFinder->start(ProjectData::instance()->avDatas(),
                         qint64(pauses::minimumSeconds()) * 1000);
}

void MainContentWidget::forgetPauses()
{
    m_pauseFinder->cancel();
    m_foundPauses.clear();
    m_pausesFound = false;
    m_ui.btn_find_pauses->setEnabled(true);
    m_ui.label_pauses->hide();
    m_ui.btn_delete_pauses->hide();
    m_ui.composition->pauseMarks()->setMarks({});
}

void MainContentWidget::showPauses()
{
    if (!m_pausesFound)
        return;
    // The pauses are kept as spans of the media files: after an edit (or its undo) they show
    // again wherever their whole span is still on the timeline.
    const QList<pauses::PlacedPause> placed =
        pauses::place(ProjectData::instance()->avDatas(), m_foundPauses);
    m_ui.composition->pauseMarks()->setMarks(placed);
    qint64 total = 0;
    for (const pauses::PlacedPause &p : placed)
        total += p.timeline.lengthMs();
    m_ui.label_pauses->setText(
        placed.isEmpty()
            ? tr("没有找到停顿")
            : tr("找到 %1 处停顿，共 %2").arg(placed.size()).arg(pauseLengthText(total)));
    m_ui.label_pauses->show();
    m_ui.btn_delete_pauses->setVisible(!placed.isEmpty());
}

void MainContentWidget::keepPause(int index)
{
    const QList<pauses::PlacedPause> &marks = m_ui.composition->pauseMarks()->marks();
    if (index < 0 || index >= marks.size())
        return;
    const pauses::Pause kept = marks.at(index).pause;
    m_foundPauses.removeIf([&kept](const pauses::Pause &p) {
        return p.filePath == kept.filePath && p.span == kept.span;
    });
    showPauses();
}

void MainContentWidget::playPause(int index)
{
    const QList<pauses::PlacedPause> &marks = m_ui.composition->pauseMarks()->marks();
    if (index < 0 || index >= marks.size())
        return;
    const pauses::Span span = marks.at(index).timeline;
    m_ui.composition->slot_change_cur_time(long(span.fromMs));
    m_playHelper->seekTo(span.fromMs);
    m_ui.btn_play_stop->setChecked(true);
    onPlayStopClicked(true);
    m_playPauseUntilMs = span.toMs;
}

void MainContentWidget::deleteAllPauses()
{
    const QList<pauses::PlacedPause> marks = m_ui.composition->pauseMarks()->marks();
    if (marks.isEmpty() || m_avDatasManager->isBusy())
        return;
    stopPlayback();
    ProjectData *project = ProjectData::instance();
    project->setAvDatas(pauses::cutOut(project->avDatas(), marks));
    // One step on the undo stack: the list before and after all the cuts.
    updateView(false);
    m_successWindow->showMessage(tr("已删除 %1 处停顿").arg(marks.size()), 2000);
}
