// RecordWhiteboardWidget: start, count-down, pause, resume and stop of the recording of a page
// lesson (the whiteboard's and the slide show's).
#include "core/media/avdatasmanager.h"
#include "core/project/projectdata.h"
#include "core/record/recordhealth.h"
#include "core/record/scenepicturesource.h"
#include "core/record/screenrecord.h"
#include "ui/base/basemainwidget.h"
#include "ui/base/basewindow.h"
#include "ui/board/countdownwidget.h"
#include "ui/camera/cameracontrol.h"
#include "ui/record/recordmessages.h"
#include "ui/whiteboard/recordwhiteboardwidget.h"
#include "ui/whiteboard/whiteboardrenderer.h"
#include "ui/whiteboard/whiteboardview.h"

#include <QDebug>
#include <QLabel>
#include <QMessageBox>
#include <QTimer>
#include <QToolButton>

namespace {
constexpr int kCountDownSeconds = 3;
constexpr int kRecordTimeIntervalMs = 200;
}  // namespace

void RecordWhiteboardWidget::on_btn_play_clicked()
{
    if (!m_recorder)
        return;
    switch (m_recorder->state()) {
    case ScreenRecord::Idle:
        if (!m_countDown && readyToRecord())
            startRecording();
        break;
    case ScreenRecord::Paused:
        m_recorder->resumeRecord();
        m_startTime = m_startTime.addMSecs(m_pauseTime.msecsTo(QTime::currentTime()));
        m_timer->start(kRecordTimeIntervalMs);
        ui.btn_play->hide();
        ui.btn_pause->show();
        ui.btn_stop->show();
        break;
    default: break;
    }
}

void RecordWhiteboardWidget::startRecording()
{
    // No room for a recording at all: say so before anything changes.
    if (m_health->prepare(ProjectData::instance()->projectDir(), ui.view_board->pictureSize()) ==
        DiskSpaceGuard::Full) {
        QMessageBox::warning(this, tr("警告"), RecordHealth::diskFullBeforeStartText());
        return;
    }
    if (m_asking)
        return;
    m_asking = true;
    const QRect board = ui.view_board->boardRect();
    m_camera->confirmBeforeRecording(this, [this, board](bool withCamera) {
        if (!withCamera) {
            m_asking = false;
            return;
        }
        askBeforeRecording(this, QRect(ui.view_board->mapToGlobal(board.topLeft()), board.size()),
                           [this](bool record) {
                               m_asking = false;
                               if (record)
                                   beginRecording();
                           });
    });
}

void RecordWhiteboardWidget::beginRecording()
{
    // The board keeps its size while it is recorded: its strokes are kept in its pixels.
    if (auto *frame = qobject_cast<BaseWindow *>(window())) {
        frame->setMovable(false);
        frame->mainWidget()->setSizeButtonsShown(false);
    }

    ProjectData *project = ProjectData::instance();
    AVData clip = project->newClip(recordingFileName());
    clip.title = pageTitle(ui.view_board->pageNo());
    if (m_insertTime < 0) {
        project->insert(-1, clip);
    } else {
        AvDatasManager splitter;
        project->insert(splitter.splitAvData(m_clipTemplate, m_insertTime), clip);
    }
    m_recordClip = clip;
    // Pictures of the board's shape: the slides' own, or 16:9.
    m_source = std::make_shared<ScenePictureSource>(ui.view_board->pictureSize());
    m_renderer = new WhiteboardRenderer(ui.view_board, m_source, this);
    m_recorder->setPictureSource(m_source);
    placeCamera();
    m_camera->attach(m_recorder);
    // The board as it is when the recording starts.
    m_renderer->renderNow();
    m_recorder->prepareRecord(clip);

    // On the board itself: nothing is grabbed from the screen, so the count-down needs no
    // window of its own and is never recorded.
    auto *countDown = new CountDownWidget(ui.view_board, kCountDownSeconds);
    const QRect board = ui.view_board->boardRect();
    countDown->moveCenter(board.center().x(), board.center().y());
    connect(countDown, &CountDownWidget::sig_CountDownFinished, this,
            &RecordWhiteboardWidget::onCountDownFinished);
    m_countDown = countDown;
    setAttribute(Qt::WA_DeleteOnClose);
    countDown->show();
    countDown->raise();
    countDown->start();
}

void RecordWhiteboardWidget::onCountDownFinished()
{
    if (!m_recorder)
        return;
    m_recorder->startRecord();
    m_health->start();
    m_startTime = QTime::currentTime();
    m_timer->start(kRecordTimeIntervalMs);
    updateRecordTime();
    ui.btn_play->hide();
    ui.btn_pause->show();
    ui.btn_stop->show();
    if (m_countDown)
        m_countDown->deleteLater();
    m_countDown = nullptr;
}

void RecordWhiteboardWidget::cancelCountDown()
{
    if (m_countDown) {
        m_countDown->disconnect(this);
        m_countDown->deleteLater();
    }
    m_countDown = nullptr;
}

void RecordWhiteboardWidget::on_btn_pause_clicked()
{
    if (!m_recorder)
        return;
    m_timer->stop();
    m_pauseTime = QTime::currentTime();
    m_recorder->pauseRecord();
    ui.btn_play->setText(tr("继续"));
    ui.btn_play->show();
    ui.btn_pause->hide();
}

void RecordWhiteboardWidget::on_btn_stop_clicked()
{
    m_timer->stop();
    if (m_recorder)
        m_recorder->stopRecord();
}

void RecordWhiteboardWidget::updateRecordTime()
{
    const QTime elapsed = QTime(0, 0, 0, 0).addMSecs(m_startTime.msecsTo(QTime::currentTime()));
    ui.label_record_time->setText(
        tr("正在录课 %1").arg(elapsed.toString(QStringLiteral("hh:mm:ss"))));
}
