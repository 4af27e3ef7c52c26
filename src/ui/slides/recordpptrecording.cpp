// RecordPptWidget: start, count-down, pause, resume and stop of the recording.
#include "core/media/avdatasmanager.h"
#include "core/project/projectdata.h"
#include "core/record/recordhealth.h"
#include "core/record/screenrecord.h"
#include "ui/base/basemainwidget.h"
#include "ui/base/basewindow.h"
#include "ui/board/boardtoolswidget.h"
#include "ui/board/countdownwidget.h"
#include "ui/record/recordmessages.h"
#include "ui/record/screencastsource.h"
#include "ui/record/x11desktop.h"
#include "ui/slides/pptcontainer.h"
#include "ui/slides/recordpptwidget.h"
#include "ui/slides/x11windowsearch.h"

#include <QDebug>
#include <QLabel>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>
#include <QToolButton>

namespace {
constexpr int kCountDownSeconds = 3;
constexpr int kRecordTimeIntervalMs = 200;
}  // namespace

void RecordPptWidget::on_btn_play_clicked()
{
    if (!m_recorder)
        return;
    switch (m_recorder->state()) {
    case ScreenRecord::Idle:
        if (m_countDownOverlay)
            break;
        // Pressed before the slides are fitted: the recording starts once they are, so that
        // it records the slides' own area.
        if (!ui.view_ppt_container->slidesInPlace()) {
            m_startWhenInPlace = true;
            break;
        }
        startRecording();
        break;
    case ScreenRecord::Paused:
        m_recorder->resumeRecord();
        m_startTime = m_startTime.addMSecs(m_pauseTime.msecsTo(QTime::currentTime()));
        m_timer->start(kRecordTimeIntervalMs);
        ui.btn_play->hide();
        ui.btn_pause->show();
        ui.btn_stop->show();
        setStaysOnTop(true);
        // Minimised while recording, the window would leave the slides out of the recording.
        if (auto *frame = qobject_cast<BaseWindow *>(window()))
            frame->mainWidget()->minimizeButton()->hide();
        break;
    default: break;
    }
}

void RecordPptWidget::startRecording()
{
    // No room for a recording at all: say so before anything changes.
    if (m_health->prepare(ProjectData::instance()->projectDir(),
                          ui.view_ppt_container->slideRect().size() * devicePixelRatioF()) ==
        DiskSpaceGuard::Full) {
        QMessageBox::warning(this, tr("警告"), RecordHealth::diskFullBeforeStartText());
        return;
    }
    // The grabber works in the X server's pixels.
    const QRect area = ui.view_ppt_container->slideRect().adjusted(1, 1, -1, -1);
    const QRect serverRect = X11Desktop::toServerPixels(
        QRectF(area.translated(-screen()->geometry().topLeft())), screen());
    if (ScreenCastSource::needed() && !m_screenShared) {
        // A Wayland desktop: the desktop asks the teacher for the screen first; the recording
        // starts once it is shared. Nothing has changed yet when the answer is no.
        if (m_screenCast)
            return;
        m_screenCast = new ScreenCastSource(this);
        connect(m_screenCast, &ScreenCastSource::ready, this,
                [this](std::shared_ptr<PictureSource> source) {
                    m_recorder->setPictureSource(std::move(source));
                    m_screenShared = true;
                    startRecording();
                });
        connect(m_screenCast, &ScreenCastSource::failed, this, [this](const QString &text) {
            showRecordWarning(text);
            m_screenCast->deleteLater();
            m_screenCast = nullptr;
        });
        m_screenCast->request(serverRect, screen());
        return;
    }
    if (m_asking)
        return;
    m_asking = true;
    askBeforeRecording(this, ui.view_ppt_container->slideRect(), [this, serverRect](bool record) {
        m_asking = false;
        if (record)
            beginRecording(serverRect);
    });
}

void RecordPptWidget::beginRecording(const QRect &serverRect)
{
    setStaysOnTop(true);
    if (auto *frame = qobject_cast<BaseWindow *>(window())) {
        frame->setMovable(false);
        frame->mainWidget()->minimizeButton()->hide();
        frame->mainWidget()->setSizeButtonsShown(false);
    }

    m_recorder->setRecordRect(serverRect);

    ProjectData *project = ProjectData::instance();
    AVData clip = project->newClip(QStringLiteral("%1_%2.mp4").arg(m_pptName).arg(m_pageNo));
    // Titled like the clips of the slides that follow: the title names the block on the
    // timeline and the chapter of the exported video, which would otherwise start at slide 2.
    clip.title = tr("第%1页").arg(m_pageNo);
    if (m_insertTime < 0) {
        project->insert(-1, clip);
    } else {
        AvDatasManager splitter;
        project->insert(splitter.splitAvData(m_clipTemplate, m_insertTime), clip);
    }
    m_recordClip = clip;
    m_recorder->prepareRecord(clip);

    auto *overlay = new QWidget(window());
    overlay->setObjectName(QStringLiteral("count_down_overlay"));
    overlay->setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    // Translucent before anything makes its native window: a window made without an alpha
    // channel shows black where it should show the slide.
    overlay->setAttribute(Qt::WA_TranslucentBackground);
    overlay->setAttribute(Qt::WA_NoSystemBackground);
    overlay->setAttribute(Qt::WA_DeleteOnClose);
    overlay->setWindowState(Qt::WindowFullScreen | Qt::WindowActive);
    auto *countDown = new CountDownWidget(nullptr, kCountDownSeconds);
    countDown->setParent(overlay);
    const QRect global = ui.view_ppt_container->slideRect();
    const QPoint centre((global.left() + global.right()) / 2, (global.top() + global.bottom()) / 2);
    overlay->setGeometry(screen()->geometry());
    countDown->moveCenter(centre.x() - overlay->x(), centre.y() - overlay->y());
    connect(countDown, &CountDownWidget::sig_CountDownFinished, this,
            &RecordPptWidget::onCountDownFinished);
    // Without a compositing manager a translucent window shows black: the overlay is cut to
    // the count-down.
    if (!X11Desktop::hasCompositor())
        overlay->setMask(QRegion(countDown->geometry(), QRegion::Ellipse));
    m_countDownOverlay = overlay;
    m_countDown = countDown;
    setAttribute(Qt::WA_DeleteOnClose);
    countDown->start();
    overlay->show();
}

void RecordPptWidget::onCountDownFinished()
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
    if (m_countDownOverlay)
        m_countDownOverlay->close();
    m_countDown = nullptr;
    PptContainer *container = ui.view_ppt_container;
    if (!X11Desktop::hasCompositor()) {
        // The transparent canvas would cover the slides with black, in the recording too: the
        // slides are recorded without drawing.
        ui.view_draw_tools->setEnabled(false);
        ui.view_draw_tools->setToolTip(tr("桌面没有开启窗口合成，录课时无法画笔标注。"));
        qWarning() << "no compositing manager: drawing on the slides is off";
        return;
    }
    container->setCanvasVisible(true);
    // The canvas appears after the tools announced their settings; it takes them now.
    container->setBoardSettings(ui.view_draw_tools->boardSettings());
}

void RecordPptWidget::cancelCountDown()
{
    if (m_countDown)
        m_countDown->disconnect(this);
    if (m_countDownOverlay)
        m_countDownOverlay->close();
    m_countDown = nullptr;
}

void RecordPptWidget::on_btn_pause_clicked()
{
    if (!m_recorder)
        return;
    m_timer->stop();
    m_pauseTime = QTime::currentTime();
    m_recorder->pauseRecord();
    ui.btn_play->setText(tr("继续"));
    ui.btn_play->show();
    ui.btn_pause->hide();
    setStaysOnTop(false);
    if (auto *frame = qobject_cast<BaseWindow *>(window()))
        frame->mainWidget()->minimizeButton()->show();
}

void RecordPptWidget::on_btn_stop_clicked()
{
    m_timer->stop();
    if (m_recorder)
        m_recorder->stopRecord();
}

void RecordPptWidget::updateRecordTime()
{
    const QTime elapsed = QTime(0, 0, 0, 0).addMSecs(m_startTime.msecsTo(QTime::currentTime()));
    ui.label_record_time->setText(
        tr("正在录课 %1").arg(elapsed.toString(QStringLiteral("hh:mm:ss"))));
}

void RecordPptWidget::setStaysOnTop(bool on)
{
    // Asked of the window manager directly: changing the window's flags would make Qt create
    // its native window anew, and the embedded slide-show window would go with the old one.
    X11WindowSearch::setStaysOnTop(static_cast<quint32>(window()->winId()), on);
}
