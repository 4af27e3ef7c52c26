#include "ui/whiteboard/recordwhiteboardwidget.h"

#include "core/project/projectdata.h"
#include "core/record/recordhealth.h"
#include "core/record/scenepicturesource.h"
#include "core/record/screenrecord.h"
#include "ui/board/boardcanvas.h"
#include "ui/board/boardtoolswidget.h"
#include "ui/board/countdownwidget.h"
#include "ui/camera/cameracontrol.h"
#include "ui/record/globalkeys.h"
#include "ui/record/recordhealthview.h"
#include "ui/record/recordmessages.h"
#include "ui/record/soundlevelmeter.h"
#include "ui/whiteboard/whiteboardrenderer.h"
#include "ui/whiteboard/whiteboardview.h"

#include <QActionGroup>
#include <QDateTime>
#include <QDebug>
#include <QEvent>
#include <QFile>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QTimer>
#include <QToolButton>
#include <QUndoGroup>
#include <QVBoxLayout>

namespace {

QToolButton *controlButton(QWidget *parent, const QString &name, const QString &icon,
                           const QString &text)
{
    auto *button = new QToolButton(parent);
    button->setObjectName(name);
    button->setIcon(QIcon(icon));
    button->setIconSize(QSize(40, 40));
    button->setText(text);
    button->setToolButtonStyle(text.isEmpty() ? Qt::ToolButtonIconOnly
                                              : Qt::ToolButtonTextUnderIcon);
    button->setMinimumSize(60, 64);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

// The icon of `button` with a faded picture for its disabled look: the page buttons' light
// pictures would otherwise look the same enabled or not.
void fadeWhenDisabled(QToolButton *button)
{
    QIcon icon = button->icon();
    const QPixmap normal = icon.pixmap(button->iconSize());
    QPixmap faded(normal.size());
    faded.setDevicePixelRatio(normal.devicePixelRatio());
    faded.fill(Qt::transparent);
    QPainter painter(&faded);
    painter.setOpacity(0.3);
    painter.drawPixmap(0, 0, normal);
    painter.end();
    icon.addPixmap(faded, QIcon::Disabled);
    button->setIcon(icon);
}

}  // namespace

RecordWhiteboardWidget::RecordWhiteboardWidget(QWidget *parent)
    : RecordWhiteboardWidget(nullptr, nullptr, QStringLiteral("board"), parent)
{
}

RecordWhiteboardWidget::RecordWhiteboardWidget(QWidget *area, WhiteboardView *board,
                                               const QString &cameraKind, QWidget *parent)
    : QWidget(parent)
{
    ui.view_board = board ? board : new WhiteboardView(this);
    setupUi(area ? area : ui.view_board);
    connectKeys();
    // The camera over the board, where it will be in the file: the board's pictures are drawn
    // by the program, so the preview itself is never recorded; the recorder lays the camera's
    // own pictures on.
    m_camera = new CameraControl(cameraKind, ui.view_board, this);
    ui.view_board->installEventFilter(this);
    placeCamera();
    ui.btn_camera->setChecked(m_camera->isOn());
    connect(ui.btn_camera, &QToolButton::clicked, m_camera, &CameraControl::setOn);
    connect(m_camera, &CameraControl::sig_OnChanged, ui.btn_camera, &QToolButton::setChecked);
    connect(m_camera, &CameraControl::sig_Message, this, &RecordWhiteboardWidget::showBarWarning);
    m_savedAvDatas = ProjectData::instance()->avDatas();

    m_recorder = new ScreenRecord(this);
    m_timer = new QTimer(this);
    ui.btn_pause->hide();
    ui.btn_stop->hide();
    ui.btn_unmute->hide();
    ui.label_record_time->clear();

    connect(ui.btn_play, &QToolButton::clicked, this, &RecordWhiteboardWidget::on_btn_play_clicked);
    connect(ui.btn_pause, &QToolButton::clicked, this,
            &RecordWhiteboardWidget::on_btn_pause_clicked);
    connect(ui.btn_stop, &QToolButton::clicked, this, &RecordWhiteboardWidget::on_btn_stop_clicked);
    connect(ui.btn_mute, &QToolButton::clicked, this, [this]() {
        m_recorder->setMute(true);
        ui.btn_mute->hide();
        ui.btn_unmute->show();
    });
    connect(ui.btn_unmute, &QToolButton::clicked, this, [this]() {
        m_recorder->setMute(false);
        ui.btn_mute->show();
        ui.btn_unmute->hide();
    });
    m_health = new RecordHealth(m_recorder, this);
    auto *healthView = new RecordHealthView(m_health, m_meter, m_labelWarning, this);
    healthView->setComputerSoundLabel(m_labelComputerSound);
    // The disk is about to fill: the recording ends as "结束" ends it, the clips kept.
    connect(m_health, &RecordHealth::diskFull, this, [this]() {
        m_stoppedForDisk = true;
        on_btn_stop_clicked();
    });
    connect(
        m_recorder, &ScreenRecord::sigRecordFinish, this,
        [this]() {
            qInfo() << "ScreenRecord::sigRecordFinish";
            m_health->stop();
            tellAfterRecording(m_recorder, m_stoppedForDisk);
            window()->close();
        },
        Qt::QueuedConnection);
    connect(
        m_recorder, &ScreenRecord::sigRecordFail, this,
        [this]() {
            qInfo() << "ScreenRecord::sigRecordFail";
            m_health->stop();
            cancelCountDown();
            ProjectData::instance()->setAvDatas(m_savedAvDatas);
            window()->close();
        },
        Qt::QueuedConnection);
    connect(m_timer, &QTimer::timeout, this, &RecordWhiteboardWidget::updateRecordTime);

    WhiteboardView *view = ui.view_board;
    connect(ui.btn_previous, &QToolButton::clicked, this,
            [this]() { turnToPage(ui.view_board->pageNo() - 1); });
    connect(ui.btn_next, &QToolButton::clicked, this,
            [this]() { turnToPage(ui.view_board->pageNo() + 1); });
    connect(ui.btn_new_page, &QToolButton::clicked, this, [this]() { turnToPage(0); });
    connect(view, &WhiteboardView::sig_PageChanged, this, &RecordWhiteboardWidget::updatePageLabel);

    BoardCanvas *canvas = view->canvas();
    BoardToolsWidget *tools = ui.view_draw_tools;
    connect(tools, &BoardToolsWidget::sig_BoardSettingsChanged, canvas,
            &BoardCanvas::setBoardSettings);
    connect(tools, &BoardToolsWidget::sig_ClearBoard, canvas, &BoardCanvas::clearBoard);
    connect(tools, &BoardToolsWidget::sig_undo, canvas->undoGroup(), &QUndoGroup::undo);
    connect(tools, &BoardToolsWidget::sig_redo, canvas->undoGroup(), &QUndoGroup::redo);
    connect(canvas->undoGroup(), &QUndoGroup::canUndoChanged, tools,
            &BoardToolsWidget::setUndoEnabled);
    connect(canvas->undoGroup(), &QUndoGroup::canRedoChanged, tools,
            &BoardToolsWidget::setRedoEnabled);
    updatePageLabel();
}

RecordWhiteboardWidget::~RecordWhiteboardWidget()
{
    // The engine goes first: it waits for its reader, which reads from the source.
    delete m_recorder;
    m_recorder = nullptr;
}

void RecordWhiteboardWidget::setupUi(QWidget *area)
{
    setObjectName(QStringLiteral("RecordWhiteboardWidget"));
    setWindowTitle(QStringLiteral("Form"));
    ui.verticalLayout = new QVBoxLayout(this);
    ui.verticalLayout->setObjectName(QStringLiteral("verticalLayout"));
    ui.verticalLayout->setContentsMargins(0, 0, 0, 0);
    ui.verticalLayout->setSpacing(0);

    ui.verticalLayout->addWidget(area, 1);

    ui.view_record_controls = new QWidget(this);
    ui.view_record_controls->setObjectName(QStringLiteral("view_record_controls"));
    ui.view_record_controls->setAttribute(Qt::WA_StyledBackground);
    ui.horizontalLayout = new QHBoxLayout(ui.view_record_controls);
    ui.horizontalLayout->setObjectName(QStringLiteral("horizontalLayout"));
    ui.horizontalLayout->setContentsMargins(16, 4, 16, 4);
    QWidget *bar = ui.view_record_controls;
    ui.btn_mute = controlButton(bar, QStringLiteral("btn_mute"),
                                QStringLiteral(":/images/icon_unmute_50.png"), tr("静音"));
    ui.btn_unmute = controlButton(bar, QStringLiteral("btn_unmute"),
                                  QStringLiteral(":/images/icon_mute_50.png"), tr("解除静音"));
    ui.btn_play = controlButton(bar, QStringLiteral("btn_play"),
                                QStringLiteral(":/images/icon_play_50.png"), tr("开始"));
    ui.btn_pause = controlButton(bar, QStringLiteral("btn_pause"),
                                 QStringLiteral(":/images/icon_pause_50.png"), tr("暂停"));
    ui.btn_stop = controlButton(bar, QStringLiteral("btn_stop"),
                                QStringLiteral(":/images/icon_stop_50.png"), tr("结束"));
    ui.line = new QFrame(bar);
    ui.line->setObjectName(QStringLiteral("line"));
    ui.line->setFrameShape(QFrame::VLine);
    ui.line->setFrameShadow(QFrame::Sunken);
    ui.btn_previous = controlButton(bar, QStringLiteral("btn_previous"),
                                    QStringLiteral(":/images/icon_previous_step.png"), QString());
    ui.btn_previous->setToolTip(tr("上一页"));
    ui.label_page = new QLabel(bar);
    ui.label_page->setObjectName(QStringLiteral("label_page"));
    ui.label_page->setAlignment(Qt::AlignCenter);
    ui.label_page->setMinimumWidth(90);
    ui.label_page->setStyleSheet(QStringLiteral("color: #f3f3f3; font-size: 14px;"));
    ui.btn_next = controlButton(bar, QStringLiteral("btn_next"),
                                QStringLiteral(":/images/icon_next_step.png"), QString());
    ui.btn_next->setToolTip(tr("下一页"));
    fadeWhenDisabled(ui.btn_previous);
    fadeWhenDisabled(ui.btn_next);
    ui.btn_new_page = controlButton(bar, QStringLiteral("btn_new_page"),
                                    QStringLiteral(":/images/icon_new_page.png"), tr("新建页"));
    ui.btn_background =
        controlButton(bar, QStringLiteral("btn_background"),
                      QStringLiteral(":/images/icon_board_background.png"), tr("背景"));
    ui.btn_background->setPopupMode(QToolButton::InstantPopup);
    auto *backgrounds = new QMenu(ui.btn_background);
    backgrounds->setObjectName(QStringLiteral("menu_background"));
    auto *group = new QActionGroup(backgrounds);
    const QList<QPair<QString, WhiteboardView::Background>> choices{
        {tr("白色"), WhiteboardView::White},
        {tr("黑板"), WhiteboardView::Chalkboard},
        {tr("网格"), WhiteboardView::Grid}};
    for (const auto &[text, background] : choices) {
        QAction *action = backgrounds->addAction(text);
        action->setCheckable(true);
        action->setChecked(background == WhiteboardView::White);
        action->setData(int(background));
        group->addAction(action);
        connect(action, &QAction::triggered, this,
                [this, background = background]() { ui.view_board->setBackground(background); });
    }
    ui.btn_background->setMenu(backgrounds);
    ui.btn_camera = controlButton(bar, QStringLiteral("btn_camera"),
                                  QStringLiteral(":/images/icon_camera_50.png"), tr("摄像头"));
    QIcon cameraIcon = ui.btn_camera->icon();
    cameraIcon.addFile(QStringLiteral(":/images/icon_camera_on_50.png"), QSize(), QIcon::Normal,
                       QIcon::On);
    ui.btn_camera->setIcon(cameraIcon);
    ui.btn_camera->setCheckable(true);
    ui.btn_camera->setToolTip(tr("显示或隐藏摄像头"));
    ui.label_record_time = new QLabel(tr("正在录课"), bar);
    ui.label_record_time->setObjectName(QStringLiteral("label_record_time"));
    ui.view_draw_tools = new BoardToolsWidget(bar);
    ui.view_draw_tools->layout()->setSpacing(10);

    for (QWidget *w :
         {static_cast<QWidget *>(ui.btn_mute), static_cast<QWidget *>(ui.btn_unmute),
          static_cast<QWidget *>(ui.btn_play), static_cast<QWidget *>(ui.btn_pause),
          static_cast<QWidget *>(ui.btn_stop), static_cast<QWidget *>(ui.line),
          static_cast<QWidget *>(ui.btn_previous), static_cast<QWidget *>(ui.label_page),
          static_cast<QWidget *>(ui.btn_next), static_cast<QWidget *>(ui.btn_new_page),
          static_cast<QWidget *>(ui.btn_background), static_cast<QWidget *>(ui.btn_camera)})
        ui.horizontalLayout->addWidget(w);
    ui.horizontalLayout->addSpacing(12);
    m_meter = new SoundLevelMeter(bar);
    m_meter->setFixedWidth(150);
    m_labelWarning = new QLabel(bar);
    m_labelWarning->setObjectName(QStringLiteral("label_record_warning"));
    m_labelWarning->setStyleSheet(QStringLiteral("color: #f2a23d; font-size: 12px;"));
    QSizePolicy keepRoom = m_labelWarning->sizePolicy();
    keepRoom.setRetainSizeWhenHidden(true);
    m_labelWarning->setSizePolicy(keepRoom);
    m_labelWarning->hide();
    // Whether the computer's sound is recorded, beside the meter (as on the other bars).
    m_labelComputerSound = RecordHealthView::makeComputerSoundLabel(bar, 12);
    auto *meterRow = new QHBoxLayout;
    meterRow->setSpacing(8);
    meterRow->addWidget(m_meter, 0, Qt::AlignVCenter);
    meterRow->addWidget(m_labelComputerSound);
    auto *timeColumn = new QVBoxLayout;
    timeColumn->setSpacing(4);
    timeColumn->addStretch();
    timeColumn->addWidget(ui.label_record_time);
    timeColumn->addLayout(meterRow);
    timeColumn->addWidget(m_labelWarning);
    timeColumn->addStretch();
    ui.horizontalLayout->addLayout(timeColumn);
    ui.horizontalLayout->addStretch(1);
    ui.horizontalLayout->addWidget(ui.view_draw_tools);
    ui.verticalLayout->addWidget(ui.view_record_controls);
}

void RecordWhiteboardWidget::setInsertPoint(const AVData &clip, qint64 offset)
{
    m_clipTemplate = clip;
    m_insertTime = offset;
}

void RecordWhiteboardWidget::updatePageLabel()
{
    WhiteboardView *board = ui.view_board;
    ui.label_page->setText(tr("第 %1 / %2 页").arg(board->pageNo()).arg(board->pageCount()));
    ui.btn_previous->setEnabled(board->pageNo() > 1);
    ui.btn_next->setEnabled(board->pageNo() < board->pageCount());
}

QString RecordWhiteboardWidget::pageTitle(int pageNo) const
{
    return tr("白板第%1页").arg(pageNo);
}

QString RecordWhiteboardWidget::recordingFileName() const
{
    return QStringLiteral("白板%1.mp4")
        .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hhmm")));
}

void RecordWhiteboardWidget::turnToPage(int pageNo)
{
    // pageNo 0: a new page after the current one.
    WhiteboardView *board = ui.view_board;
    const int next = pageNo == 0 ? board->pageNo() + 1 : pageNo;
    if (pageNo != 0 && (next < 1 || next > board->pageCount() || next == board->pageNo()))
        return;
    if (pageNo != 0 && !pageReady(next))
        return;
    // Asked for before the page is drawn: the new clip begins with the page's first picture.
    if (m_recorder)
        m_recorder->startNextClip(pageTitle(next));
    if (pageNo == 0)
        board->addPageAfterCurrent();
    else
        board->showPage(next);
    if (m_renderer)
        m_renderer->renderNow();
    pageShown(next);
}

void RecordWhiteboardWidget::showBarWarning(const QString &text)
{
    emit m_health->engineWarning(text);
}

bool RecordWhiteboardWidget::preCloseWindow()
{
    qInfo() << "白板录制结束";
    m_timer->stop();
    if (m_countDown) {
        // Closing during the count-down: nothing was recorded yet; the clip made for the
        // recording is taken out again and the window closes.
        cancelCountDown();
        const QString file = m_recordClip.filePath;
        delete m_recorder;  // waits for its threads
        m_recorder = nullptr;
        ProjectData::instance()->setAvDatas(m_savedAvDatas);
        if (!file.isEmpty())
            QFile::remove(file);
        return true;
    }
    if (!m_recorder)
        return true;
    m_recorder->stopRecord();
    return m_recorder->state() == ScreenRecord::Idle;
}

void RecordWhiteboardWidget::connectKeys()
{
    GlobalKeys::RecordingActions actions = GlobalKeys::recorderActions(
        [this]() { return int(m_recorder ? m_recorder->state() : ScreenRecord::Idle); },
        [this]() { on_btn_play_clicked(); }, [this]() { on_btn_pause_clicked(); },
        [this]() { on_btn_stop_clicked(); }, ui.view_draw_tools);
    actions.toggleCamera = [this]() {
        if (m_camera)
            m_camera->toggle();
    };
    GlobalKeys::attach(this, std::move(actions));
}

bool RecordWhiteboardWidget::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ui.view_board && event->type() == QEvent::Resize)
        placeCamera();
    return QWidget::eventFilter(watched, event);
}

void RecordWhiteboardWidget::placeCamera()
{
    if (m_camera)
        m_camera->setArea(ui.view_board->boardRect(), ui.view_board->pictureSize());
}
