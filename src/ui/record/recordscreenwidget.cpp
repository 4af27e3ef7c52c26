#include "ui/record/recordscreenwidget.h"

#include "core/media/avdatasmanager.h"
#include "core/project/projectdata.h"
#include "core/record/recordhealth.h"
#include "core/record/screenrecord.h"
#include "ui/board/boardcanvas.h"
#include "ui/board/boardtoolswidget.h"
#include "ui/board/countdownwidget.h"
#include "ui/camera/cameracontrol.h"
#include "ui/camera/camerapreview.h"
#include "ui/record/globalkeys.h"
#include "ui/record/recordhealthview.h"
#include "ui/record/recordmessages.h"
#include "ui/record/recordscreenctrlwidget.h"
#include "ui/record/screencastsource.h"
#include "ui/record/x11desktop.h"

#include <QCloseEvent>
#include <QCursor>
#include <QDateTime>
#include <QDebug>
#include <QEvent>
#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QTimer>
#include <QToolButton>
#include <QUndoGroup>

#include <cmath>

namespace {
const QColor kFrameColour("#f2733d");
}

RecordScreenWidget::RecordScreenWidget(const QRectF &selectArea, const AVData &clipTemplate,
                                       qint64 insertTime, QWidget *parent, QScreen *screen)
    : QWidget(parent), m_clipTemplate(clipTemplate), m_insertTime(insertTime)
{
    installRecordMessagePresenter();
    m_screen = screen ? screen : QGuiApplication::screenAt(QCursor::pos());
    if (!m_screen)
        m_screen = QGuiApplication::primaryScreen();
    setWindowTitle(tr("正在录屏"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_NoSystemBackground);
    if (m_screen) {
        setScreen(m_screen);
        setGeometry(m_screen->geometry());
    }
    setWindowState(Qt::WindowFullScreen | Qt::WindowActive);
    m_composited = X11Desktop::hasCompositor();
    // The window covers the recorded area, where only its drawing may ever show.
    if (m_composited)
        X11Desktop::clearShownParts(this);
    qInfo() << "RecordScreenWidget: compositing manager" << m_composited;

    m_rect = selectArea.toAlignedRect();
    m_canvas = new BoardCanvas(this);
    m_canvas->setGeometry(m_rect);

    m_ctrlWidget = new RecordScreenCtrlWidget(this);
    const int screenBottom = (m_screen ? m_screen->geometry().height() : height()) - 1;
    m_ctrlWidget->move(ctrlWidgetPos(selectArea, m_ctrlWidget->size(), screenBottom));

    m_countDown = new CountDownWidget(this, kCountDownSeconds);
    m_countDown->moveCenter(m_rect.center().x(), m_rect.center().y());
    m_countDown->installEventFilter(this);

    m_recorder = new ScreenRecord(this);
    m_savedAvDatas = ProjectData::instance()->avDatas();
    m_health = new RecordHealth(m_recorder, this);
    auto *healthView = new RecordHealthView(m_health, m_ctrlWidget->levelMeter(),
                                            m_ctrlWidget->warningLabel(), this);
    healthView->setComputerSoundLabel(m_ctrlWidget->computerSoundLabel());

    connect(m_countDown, &CountDownWidget::sig_CountDownFinished, this, [this]() {
        m_recorder->startRecord();
        m_ctrlWidget->startTiming();
        m_health->start();
    });
    // The disk is about to fill: the recording ends as the stop button ends it, file kept.
    connect(m_health, &RecordHealth::diskFull, this, [this]() {
        m_stoppedForDisk = true;
        if (m_ctrlWidget->stopButton()->isEnabled())
            m_ctrlWidget->stopButton()->click();
    });
    connect(m_ctrlWidget, &RecordScreenCtrlWidget::sig_MuteStateChanged, m_recorder,
            &ScreenRecord::setMute);
    connect(m_ctrlWidget, &RecordScreenCtrlWidget::sig_PauseRecord, m_recorder,
            &ScreenRecord::pauseRecord);
    connect(m_ctrlWidget, &RecordScreenCtrlWidget::sig_ResumeRecord, m_recorder,
            &ScreenRecord::resumeRecord);
    connect(m_ctrlWidget, &RecordScreenCtrlWidget::sig_StopRecord, m_recorder,
            &ScreenRecord::stopRecord);
    // The engine may report from its worker threads: queued, so that the window (and the
    // engine with it) is deleted only once the engine's own reaction has returned.
    connect(
        m_recorder, &ScreenRecord::sigRecordFinish, this, [this]() { finish(false); },
        Qt::QueuedConnection);
    connect(
        m_recorder, &ScreenRecord::sigRecordFail, this, [this]() { finish(true); },
        Qt::QueuedConnection);
    connectBoard();
    connectKeys();
    connectCamera();

    // No room for a recording at all: say so and close without touching the project.
    if (m_health->prepare(ProjectData::instance()->projectDir(), serverRecordRect().size()) ==
        DiskSpaceGuard::Full) {
        showRecordNotice(RecordHealth::diskFullBeforeStartText());
        m_finished = true;
        QTimer::singleShot(0, this, [this]() {
            emit sig_Record_Finish();
            close();
        });
        return;
    }
    if (ScreenCastSource::needed()) {
        // A Wayland desktop: the desktop asks the teacher for the screen first; the count-down
        // starts once it is shared.
        m_countDown->hide();
        updateMask();
        m_screenCast = new ScreenCastSource(this);
        connect(m_screenCast, &ScreenCastSource::ready, this,
                [this](std::shared_ptr<PictureSource> source) {
                    m_recorder->setPictureSource(std::move(source));
                    startCountDown();
                });
        connect(m_screenCast, &ScreenCastSource::failed, this, [this](const QString &text) {
            showRecordWarning(text);
            m_finished = true;
            emit sig_Record_Finish();
            close();
        });
        QTimer::singleShot(0, this,
                           [this]() { m_screenCast->request(serverRecordRect(), m_screen); });
        return;
    }
    startCountDown();
}

void RecordScreenWidget::startCountDown()
{
    // The count-down shows once the sound is settled: without a microphone the teacher is
    // asked first, beside the rectangle; nothing of the project has changed when they decline.
    m_countDown->hide();
    updateMask();
    const auto decline = [this]() {
        m_finished = true;
        emit sig_Record_Finish();
        close();
    };
    m_camera->confirmBeforeRecording(this, [this, decline](bool go) {
        if (!go) {
            decline();
            return;
        }
        askBeforeRecording(this, m_rect, [this, decline](bool record) {
            if (!record) {
                decline();
                return;
            }
            prepareRecord();
            m_countDown->show();
            updateMask();
            m_countDown->start();
        });
    });
}

RecordScreenWidget::~RecordScreenWidget() = default;

QPoint RecordScreenWidget::ctrlWidgetPos(const QRectF &area, const QSize &bar, int screenBottom)
{
    const qreal sx = area.x(), sy = area.y(), sw = area.width(), sh = area.height();
    const int cw = bar.width(), ch = bar.height();
    int x = 0;
    int y = 0;
    if (int(std::trunc(sy + sh + 17)) + ch - 1 <= screenBottom) {
        x = int(std::trunc(sx + sw)) - (cw - 1);
        y = int(std::trunc(sy + sh + 17));
    } else {
        x = int(std::trunc(sx + sw / 2 - cw / 2.0));
        y = int(std::trunc(sy + sh - 10)) - (ch - 1);
    }
    return QPoint(std::max(0, x), y);
}

void RecordScreenWidget::connectBoard()
{
    BoardToolsWidget *tools = m_ctrlWidget->boardTools();
    if (!m_composited) {
        // An opaque canvas would hide what is being recorded.
        m_canvas->hide();
        m_ctrlWidget->setDrawUnavailable();
        return;
    }
    connect(tools, &BoardToolsWidget::sig_BoardSettingsChanged, this,
            [this](BoardSettings *settings) {
                m_canvas->setBoardSettings(settings);
                updateMask();
            });
    connect(tools, &BoardToolsWidget::sig_undo, m_canvas->undoGroup(), &QUndoGroup::undo);
    connect(tools, &BoardToolsWidget::sig_redo, m_canvas->undoGroup(), &QUndoGroup::redo);
    connect(m_canvas->undoGroup(), &QUndoGroup::canUndoChanged, tools,
            &BoardToolsWidget::setUndoEnabled);
    connect(m_canvas->undoGroup(), &QUndoGroup::canRedoChanged, tools,
            &BoardToolsWidget::setRedoEnabled);
    connect(tools, &BoardToolsWidget::sig_ClearBoard, m_canvas, &BoardCanvas::clearBoard);
}

void RecordScreenWidget::connectKeys()
{
    GlobalKeys::RecordingActions actions;
    actions.pauseResume = [this]() {
        if (m_ctrlWidget->pauseButton()->isEnabled())
            m_ctrlWidget->pauseButton()->click();
    };
    actions.stop = [this]() {
        if (m_ctrlWidget->stopButton()->isEnabled())
            m_ctrlWidget->stopButton()->click();
    };
    actions.tools = m_ctrlWidget->boardTools();
    actions.drawing = [this]() { return m_composited; };
    actions.toggleCamera = [this]() {
        if (m_camera)
            m_camera->toggle();
    };
    GlobalKeys::attach(this, std::move(actions));
}

void RecordScreenWidget::connectCamera()
{
    // The camera stands inside the rectangle, where it will be in the file. The recorder lays
    // the camera's own pictures over the grabbed ones, so a window passing over the preview
    // never hides the teacher.
    m_camera = new CameraControl(QStringLiteral("screen"), this, this);
    const QRect server = serverRecordRect();
    // The recorder records whole groups of 4 pixels (ScreenRecord::setRecordRect).
    const QSize picture(server.width() & ~3, server.height() & ~3);
    const qreal ratio = m_screen ? m_screen->devicePixelRatio() : 1.0;
    const QRect area(m_rect.topLeft() + QPoint(3, 3), (QSizeF(picture) / ratio).toSize());
    m_camera->setArea(area, picture);
    QToolButton *button = m_ctrlWidget->cameraButton();
    button->setChecked(m_camera->isOn());
    connect(m_ctrlWidget, &RecordScreenCtrlWidget::sig_CameraClicked, m_camera,
            &CameraControl::setOn);
    connect(m_camera, &CameraControl::sig_OnChanged, this, [this, button](bool on) {
        button->setChecked(on);
        updateMask();
    });
    connect(m_camera->preview(), &CameraPreview::sig_PlaceChanged, this,
            &RecordScreenWidget::updateMask);
    connect(m_camera, &CameraControl::sig_Message, m_health, &RecordHealth::engineWarning);
}

QRect RecordScreenWidget::serverRecordRect() const
{
    // Inside the 3-pixel frame: the frame itself is never recorded.
    const QRectF inside(QPointF(m_rect.left() + 3, m_rect.top() + 3),
                        QPointF(m_rect.right() - 2 + 1, m_rect.bottom() - 2 + 1));
    return X11Desktop::toServerPixels(inside, m_screen);
}

void RecordScreenWidget::prepareRecord()
{
    m_recorder->setRecordRect(serverRecordRect());
    m_camera->attach(m_recorder);
    ProjectData *project = ProjectData::instance();
    const QString name =
        tr("录屏%1.mp4").arg(QDateTime::currentDateTime().toString("yyyy-MM-dd hhmm"));
    m_clip = project->newClip(name);
    m_clip.title = m_clip.fileName;
    if (m_insertTime < 0) {
        project->insert(-1, m_clip);
    } else {
        AvDatasManager manager;
        project->insert(manager.splitAvData(m_clipTemplate, m_insertTime), m_clip);
    }
    m_recorder->prepareRecord(m_clip);
}

QRegion RecordScreenWidget::frameRegion() const
{
    // Three pixels wide, the rectangle's own edge in the middle.
    return QRegion(m_rect.adjusted(-1, -1, 1, 1)) - QRegion(m_rect.adjusted(2, 2, -2, -2));
}

void RecordScreenWidget::updateMask()
{
    QRegion shape = frameRegion();
    // The bar's rounded corners: without a compositing manager the corners would be black.
    QPainterPath bar;
    bar.addRoundedRect(QRectF(m_ctrlWidget->geometry()), 7, 7);
    shape += QRegion(bar.toFillPolygon().toPolygon());
    if (!m_countDown->isHidden())
        shape += QRegion(m_countDown->geometry(), QRegion::Ellipse);
    if (m_composited && m_canvas->drawEnabled())
        shape += m_canvas->geometry();
    if (m_camera && m_camera->isOn()) {
        const QWidget *camera = m_camera->preview();
        shape += camera->mask().isEmpty() ? QRegion(camera->geometry())
                                          : camera->mask().translated(camera->pos());
    }
    setMask(shape);
}

bool RecordScreenWidget::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_countDown && event->type() == QEvent::Hide)
        updateMask();
    return QWidget::eventFilter(watched, event);
}

void RecordScreenWidget::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    for (const QRect &r : frameRegion())
        painter.fillRect(r, kFrameColour);
}

void RecordScreenWidget::closeEvent(QCloseEvent *event)
{
    if (m_finished) {
        QWidget::closeEvent(event);
        return;
    }
    event->ignore();
    const ScreenRecord::RecordState state = m_recorder->state();
    if (state == ScreenRecord::Recording || state == ScreenRecord::Paused)
        m_ctrlWidget->stopButton()->click();
}

void RecordScreenWidget::finish(bool failed)
{
    if (m_finished)
        return;
    m_finished = true;
    if (failed) {
        qWarning() << "RecordScreenWidget: recording failed, clip list restored";
        ProjectData::instance()->setAvDatas(m_savedAvDatas);
    }
    m_health->stop();
    if (!failed)
        tellAfterRecording(m_recorder, m_stoppedForDisk);
    emit sig_Record_Finish();
    close();
}
