#include "ui/record/recordscreenctrlwidget.h"

#include "core/record/recordhealth.h"
#include "ui/board/boardtoolswidget.h"
#include "ui/record/recordhealthview.h"
#include "ui/record/soundlevelmeter.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QStyleOption>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

RecordScreenCtrlWidget::RecordScreenCtrlWidget(QWidget *parent) : QWidget(parent)
{
    setObjectName("record_screen_ctrl_widget");
    setFixedSize(706, 80);
    // Flat buttons on the dark bar: without a border rule the desktop style draws a bevel
    // from the transparent button colour, which comes out black.
    setStyleSheet("QToolButton { border: none; }");

    auto *layout = new QHBoxLayout(this);
    layout->setSpacing(0);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addSpacing(10);
    m_boardTools = new BoardToolsWidget(this);
    m_boardTools->layout()->setSpacing(0);
    const int toolsChinese = m_boardTools->chineseWidth();
    m_boardTools->setFixedSize(toolsChinese, 64);
    layout->addWidget(m_boardTools);
    m_drawUnavailable = new QLabel(this);
    m_drawUnavailable->setObjectName("label_draw_unavailable");
    m_drawUnavailable->setFixedSize(toolsChinese, 64);
    m_drawUnavailable->setAlignment(Qt::AlignCenter);
    m_drawUnavailable->setWordWrap(true);
    m_drawUnavailable->hide();
    layout->addWidget(m_drawUnavailable);
    layout->addSpacing(10);
    auto *line = new QFrame(this);
    line->setObjectName("line");
    line->setFrameShape(QFrame::VLine);
    line->setFrameShadow(QFrame::Sunken);
    line->setFixedSize(1, 40);
    layout->addWidget(line);
    layout->addSpacing(10);
    m_btnMute = makeButton("btn_mute", tr("静音"), ":/images/icon_unmute.png", true);
    m_btnPause = makeButton("btn_pause", tr("暂停"), ":/images/icon_pause.png", true);
    m_btnStop = makeButton("btn_stop", tr("结束"), ":/images/icon_stop.png", false);
    m_btnCamera = makeButton("btn_camera", tr("摄像头"), ":/images/icon_camera.png", true);
    QIcon cameraIcon = m_btnCamera->icon();
    cameraIcon.addFile(":/images/icon_camera_on.png", QSize(), QIcon::Normal, QIcon::On);
    m_btnCamera->setIcon(cameraIcon);
    m_btnCamera->setToolTip(tr("显示或隐藏摄像头"));
    layout->addWidget(m_btnCamera);
    layout->addWidget(m_btnMute);
    layout->addWidget(m_btnPause);
    layout->addWidget(m_btnStop);
    layout->addSpacing(10);
    m_labelTime = new QLabel(this);
    m_labelTime->setObjectName("label_record_time");
    m_labelTime->setText(tr("录屏中 %1").arg(QStringLiteral("00:00:00")));
    m_meter = new SoundLevelMeter(this);
    m_labelWarning = new QLabel(this);
    m_labelWarning->setObjectName("label_record_warning");
    m_labelWarning->setWordWrap(true);
    m_labelWarning->setStyleSheet("color: #f2a23d; font-size: 11px;");
    m_labelWarning->hide();
    m_labelComputerSound = RecordHealthView::makeComputerSoundLabel(this, 10);
    auto *meterRow = new QHBoxLayout;
    meterRow->setSpacing(6);
    meterRow->addWidget(m_meter, 1, Qt::AlignVCenter);
    meterRow->addWidget(m_labelComputerSound);
    auto *timeColumn = new QVBoxLayout;
    timeColumn->setContentsMargins(0, 4, 8, 4);
    timeColumn->setSpacing(3);
    timeColumn->addStretch();
    timeColumn->addWidget(m_labelTime);
    timeColumn->addLayout(meterRow);
    timeColumn->addWidget(m_labelWarning);
    timeColumn->addStretch();
    layout->addLayout(timeColumn, 1);
    // Widths made for the Chinese words; English ones are longer. A button is as wide as the
    // longest text it shows, the drawing tools as their buttons, and the bar grows by what
    // they and the lines beside the meter need beyond the Chinese words.
    const int fixedBefore =
        m_btnMute->width() + m_btnPause->width() + m_btnStop->width() + toolsChinese;
    const auto widen = [this](QToolButton *button, const QList<const char *> &sources) {
        int growth = 0;
        for (const char *source : sources)
            growth = std::max(
                growth, button->fontMetrics().horizontalAdvance(tr(source)) -
                            button->fontMetrics().horizontalAdvance(QString::fromUtf8(source)));
        button->setFixedWidth(button->width() + growth);
    };
    widen(m_btnMute, {"静音", "解除静音"});
    widen(m_btnPause, {"暂停", "继续"});
    widen(m_btnStop, {"结束"});
    widen(m_btnCamera, {"摄像头"});
    int toolsWidth = 0;  // the drawing tools as wide as their buttons
    for (const QToolButton *tool :
         m_boardTools->findChildren<QToolButton *>(QString(), Qt::FindDirectChildrenOnly))
        toolsWidth += tool->width();
    m_boardTools->setFixedSize(toolsWidth, 64);
    m_drawUnavailable->setFixedSize(m_boardTools->size());
    const int fixedAfter =
        m_btnMute->width() + m_btnPause->width() + m_btnStop->width() + m_boardTools->width();
    QFont small = m_labelComputerSound->font();
    small.setPixelSize(10);
    const QFontMetrics metrics(small);
    const auto soundLine = [&](bool recorded, bool translated) {
        const QString text = RecordHealth::computerSoundText(recorded);
        return metrics.horizontalAdvance(
            translated ? text : QString::fromUtf8(recorded ? "录制电脑声音" : "不录电脑声音"));
    };
    const int lineGrowth = std::max(soundLine(true, true), soundLine(false, true)) -
                           std::max(soundLine(true, false), soundLine(false, false));
    const QFontMetrics timeMetrics = m_labelTime->fontMetrics();
    const int timeGrowth = timeMetrics.horizontalAdvance(m_labelTime->text()) -
                           timeMetrics.horizontalAdvance(QStringLiteral("录屏中 00:00:00"));
    setFixedSize(706 - 360 + toolsChinese + (fixedAfter - fixedBefore) + m_btnCamera->width() +
                     std::max({0, lineGrowth, timeGrowth}),
                 80);
    // Pausing or stopping before the recording runs would leave the engine behind.
    m_btnPause->setEnabled(false);
    m_btnStop->setEnabled(false);

    connect(m_btnMute, &QToolButton::clicked, this, [this](bool checked) {
        m_btnMute->setIcon(QIcon(checked ? ":/images/icon_mute.png" : ":/images/icon_unmute.png"));
        m_btnMute->setText(checked ? tr("解除静音") : tr("静音"));
        emit sig_MuteStateChanged(checked);
    });
    connect(m_btnPause, &QToolButton::clicked, this, [this](bool checked) {
        if (checked) {
            m_btnPause->setIcon(QIcon(":/images/icon_play.png"));
            m_btnPause->setText(tr("继续"));
            emit sig_PauseRecord();
            m_timer.stop();
            m_pauseTime = QTime::currentTime();
        } else {
            m_btnPause->setIcon(QIcon(":/images/icon_pause.png"));
            m_btnPause->setText(tr("暂停"));
            emit sig_ResumeRecord();
            m_startTime = m_startTime.addMSecs(m_pauseTime.msecsTo(QTime::currentTime()));
            m_timer.start(200);
        }
    });
    connect(m_btnCamera, &QToolButton::clicked, this, &RecordScreenCtrlWidget::sig_CameraClicked);
    connect(m_btnStop, &QToolButton::clicked, this, [this]() {
        emit sig_StopRecord();
        m_timer.stop();
        m_btnPause->setEnabled(false);
        m_btnStop->setEnabled(false);
    });
    connect(&m_timer, &QTimer::timeout, this, &RecordScreenCtrlWidget::showElapsed);
}

QToolButton *RecordScreenCtrlWidget::makeButton(const QString &name, const QString &text,
                                                const QString &icon, bool checkable)
{
    auto *button = new QToolButton(this);
    button->setObjectName(name);
    button->setFixedSize(60, 60);
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    button->setIconSize(QSize(40, 40));
    button->setIcon(QIcon(icon));
    button->setText(text);
    button->setCheckable(checkable);
    button->setCursor(Qt::PointingHandCursor);
    return button;
}

void RecordScreenCtrlWidget::startTiming()
{
    m_startTime = QTime::currentTime();
    m_timer.start(200);
    m_btnPause->setEnabled(true);
    m_btnStop->setEnabled(true);
}

void RecordScreenCtrlWidget::setDrawUnavailable()
{
    m_boardTools->hide();
    m_drawUnavailable->setText(tr("桌面没有开启窗口合成，录屏时无法画笔标注。"));
    m_drawUnavailable->show();
}

void RecordScreenCtrlWidget::showElapsed()
{
    const int elapsed = m_startTime.msecsTo(QTime::currentTime());
    m_labelTime->setText(
        tr("录屏中 %1").arg(QTime(0, 0, 0, 0).addMSecs(elapsed).toString("hh:mm:ss")));
}

void RecordScreenCtrlWidget::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor("#464648"), 1));
    painter.setBrush(QColor("#28282a"));
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 7, 7);
    QWidget::paintEvent(event);
}
