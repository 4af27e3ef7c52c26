#include "ui/slides/recordpptwidget.h"

#include "core/project/projectdata.h"
#include "core/record/recordhealth.h"
#include "core/record/screenrecord.h"
#include "ui/board/boardtoolswidget.h"
#include "ui/board/countdownwidget.h"
#include "ui/record/globalkeys.h"
#include "ui/record/recordhealthview.h"
#include "ui/record/recordmessages.h"
#include "ui/record/soundlevelmeter.h"
#include "ui/slides/pptcontainer.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <utility>

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

}  // namespace

RecordPptWidget::RecordPptWidget(QWidget *parent) : QWidget(parent)
{
    setupUi();
    connectKeys();
    m_savedAvDatas = ProjectData::instance()->avDatas();

    m_recorder = new ScreenRecord(this);
    m_timer = new QTimer(this);
    ui.btn_pause->hide();
    ui.btn_stop->hide();
    ui.btn_unmute->hide();
    ui.label_record_time->clear();

    connect(ui.btn_play, &QToolButton::clicked, this, &RecordPptWidget::on_btn_play_clicked);
    connect(ui.btn_pause, &QToolButton::clicked, this, &RecordPptWidget::on_btn_pause_clicked);
    connect(ui.btn_stop, &QToolButton::clicked, this, &RecordPptWidget::on_btn_stop_clicked);
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
    connect(m_timer, &QTimer::timeout, this, &RecordPptWidget::updateRecordTime);
    connect(ui.btn_previous, &QToolButton::clicked, this,
            [this]() { ui.view_ppt_container->sendMsg(QStringLiteral("previous_page")); });
    connect(ui.btn_next, &QToolButton::clicked, this,
            [this]() { ui.view_ppt_container->sendMsg(QStringLiteral("next_page")); });
    connect(ui.view_ppt_container, &PptContainer::sig_SlidesInPlace, this, [this] {
        if (!std::exchange(m_startWhenInPlace, false))
            return;
        if (m_recorder && m_recorder->state() == ScreenRecord::Idle && !m_countDownOverlay)
            startRecording();
    });
    connect(ui.view_ppt_container, &PptContainer::sig_PageChanged, this, [this](int pageNo) {
        m_pageNo = pageNo;
        m_recorder->startNextClip(tr("第%1页").arg(pageNo));
    });

    PptContainer *container = ui.view_ppt_container;
    BoardToolsWidget *tools = ui.view_draw_tools;
    connect(tools, &BoardToolsWidget::sig_BoardSettingsChanged, container,
            &PptContainer::setBoardSettings);
    connect(tools, &BoardToolsWidget::sig_ClearBoard, container, &PptContainer::clearCanvas);
    connect(tools, &BoardToolsWidget::sig_undo, container, &PptContainer::undo);
    connect(tools, &BoardToolsWidget::sig_redo, container, &PptContainer::redo);
    connect(container, &PptContainer::sig_CanUndo, tools, &BoardToolsWidget::setUndoEnabled);
    connect(container, &PptContainer::sig_CanRedo, tools, &BoardToolsWidget::setRedoEnabled);
}

RecordPptWidget::~RecordPptWidget()
{
    if (m_countDownOverlay)
        delete m_countDownOverlay;
}

void RecordPptWidget::setupUi()
{
    setObjectName(QStringLiteral("RecordPptWidget"));
    setWindowTitle(QStringLiteral("Form"));
    ui.verticalLayout = new QVBoxLayout(this);
    ui.verticalLayout->setObjectName(QStringLiteral("verticalLayout"));
    ui.verticalLayout->setContentsMargins(0, 0, 0, 0);
    ui.verticalLayout->setSpacing(0);

    ui.view_ppt_container = new PptContainer(this);
    ui.verticalLayout->addWidget(ui.view_ppt_container, 1);

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
    ui.btn_next = controlButton(bar, QStringLiteral("btn_next"),
                                QStringLiteral(":/images/icon_next_step.png"), QString());
    ui.btn_next->setToolTip(tr("下一页"));
    ui.label_record_time = new QLabel(tr("正在录课"), bar);
    ui.label_record_time->setObjectName(QStringLiteral("label_record_time"));
    ui.view_draw_tools = new BoardToolsWidget(bar);
    ui.view_draw_tools->layout()->setSpacing(10);

    for (QWidget *w :
         {static_cast<QWidget *>(ui.btn_mute), static_cast<QWidget *>(ui.btn_unmute),
          static_cast<QWidget *>(ui.btn_play), static_cast<QWidget *>(ui.btn_pause),
          static_cast<QWidget *>(ui.btn_stop), static_cast<QWidget *>(ui.line),
          static_cast<QWidget *>(ui.btn_previous), static_cast<QWidget *>(ui.btn_next)})
        ui.horizontalLayout->addWidget(w);
    ui.horizontalLayout->addSpacing(12);
    m_meter = new SoundLevelMeter(bar);
    m_meter->setFixedWidth(150);
    m_labelWarning = new QLabel(bar);
    m_labelWarning->setObjectName(QStringLiteral("label_record_warning"));
    m_labelWarning->setStyleSheet(QStringLiteral("color: #f2a23d; font-size: 12px;"));
    // Its room is kept while hidden: the slides, and so the recorded area, never move when
    // a warning comes or goes.
    QSizePolicy keepRoom = m_labelWarning->sizePolicy();
    keepRoom.setRetainSizeWhenHidden(true);
    m_labelWarning->setSizePolicy(keepRoom);
    m_labelWarning->hide();
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

bool RecordPptWidget::openPptFile(const QString &path, const AVData &clip, qint64 offset)
{
    m_pptName = QFileInfo(path).completeBaseName();
    ui.view_ppt_container->setAllowDraw(false);
    m_clipTemplate = clip;
    m_insertTime = offset;
    return ui.view_ppt_container->openPptFile(path) > 0;
}

bool RecordPptWidget::preCloseWindow()
{
    qInfo() << "PPT录制结束";
    m_timer->stop();
    if (m_countDownOverlay) {
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
    m_recorder->stopRecord();
    return m_recorder->state() == ScreenRecord::Idle;
}

void RecordPptWidget::connectKeys()
{
    GlobalKeys::attach(
        this, GlobalKeys::recorderActions(
                  [this]() { return int(m_recorder ? m_recorder->state() : ScreenRecord::Idle); },
                  [this]() { on_btn_play_clicked(); }, [this]() { on_btn_pause_clicked(); },
                  [this]() { on_btn_stop_clicked(); }, ui.view_draw_tools));
}
