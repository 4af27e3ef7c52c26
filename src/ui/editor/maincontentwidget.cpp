#include "ui/editor/maincontentwidget.h"

#include "core/media/avdatasmanager.h"
#include "core/project/projectdata.h"
#include "core/recovery/projectfolderkeeper.h"
#include "ui/base/basewindow.h"
#include "ui/base/commonpromptwindow.h"
#include "ui/base/commonsuccesswindow.h"
#include "ui/base/loaddingview.h"
#include "ui/base/maskform.h"
#include "ui/editor/mediainfo.h"
#include "ui/editor/menuitemaction.h"
#include "ui/editor/playhelper.h"
#include "ui/editor/vlcwidgetvideo.h"
#include "ui/timeline/changeavdatascommand.h"
#include "ui/timeline/widgetcomposition.h"

#include <QAction>
#include <QCloseEvent>
#include <QDebug>
#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSlider>
#include <QTimer>
#include <QToolButton>
#include <QUndoStack>
#include <QVBoxLayout>

namespace {
const char *kBlankPromptStyle =
    "QWidget#view_blank_prompt{background: #1f1f20;border: 1px solid #313033;border-radius: "
    "21px;}QWidget#view_blank_prompt:hover{background: #2d2d2e;}QLabel#label_record_ppt{font-size: "
    "18px;color: #cccccc;background:transparent;}QLabel#label_blank_prompt{font-size: "
    "18px;text-align: center;color: #6c6c75;background:transparent;}";

QFrame *separator(QWidget *parent, const QString &name, bool vertical)
{
    auto *line = new QFrame(parent);
    line->setObjectName(name);
    if (vertical)
        line->setFixedSize(1, 24);
    else
        line->setFixedSize(48, 1);
    return line;
}
}  // namespace

MainContentWidget::MainContentWidget(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("MainContentWidget"));
    buildForm();

    m_undoStack = new QUndoStack(this);
    m_avDatasManager = new AvDatasManager(this);
    m_playHelper = new PlayHelper(this);
    m_ui.view_vlc->setMediaPlayer(m_playHelper->mediaPlayer());

    m_ui.btn_play_stop->setCheckable(true);
    m_ui.btn_play_stop->hide();

    m_ui.slider_zoom->setRange(100, 20000);
    m_ui.slider_zoom->setSingleStep(100);
    m_ui.slider_zoom->setPageStep(1000);
    m_ui.slider_zoom->setValue(10000);

    m_undoIcon = QIcon(QStringLiteral(":/images/icon_undo.png"));
    m_undoDisableIcon = QIcon(QStringLiteral(":/images/icon_undo_disable.png"));
    m_redoIcon = QIcon(QStringLiteral(":/images/icon_redo.png"));
    m_redoDisableIcon = QIcon(QStringLiteral(":/images/icon_redo_disable.png"));
    // Every binding of the standard keys (Ctrl+Y and Ctrl+Shift+Z both redo); a button takes
    // only one.
    for (QToolButton *button : {m_ui.btn_undo, m_ui.btn_redo}) {
        auto *keys = new QAction(button);
        keys->setShortcuts(button == m_ui.btn_undo ? QKeySequence::Undo : QKeySequence::Redo);
        connect(keys, &QAction::triggered, button, [button] {
            if (button->isEnabled())
                button->click();
        });
        addAction(keys);
    }
    m_ui.btn_undo->setEnabled(false);
    m_ui.btn_redo->setEnabled(false);

    ProjectData::instance()->markSaved();
    QDir().mkpath(ProjectData::instance()->projectDir());
    // From here on the folder is marked as in use and its index follows every change.
    m_folderKeeper = new ProjectFolderKeeper(ProjectData::instance(), this);

    m_mask = new MaskForm(this);
    m_mask->setParent(this, m_mask->windowFlags());
    m_mask->hide();
    m_loaddingView = new LoaddingView(m_ui.view_content);
    m_loaddingView->hide();
    m_promptWindow = new CommonPromptWindow(this);
    m_successWindow = new CommonSuccessWindow(this);
    m_successWindow->hide();

    m_ui.view_blank_prompt->setStyleSheet(QString::fromLatin1(kBlankPromptStyle));
    m_ui.view_blank_prompt->installEventFilter(this);
    m_ui.view_content->installEventFilter(this);

    connectParts();
    buildFileMenu();
    refreshFromProject();
}

MainContentWidget::~MainContentWidget()
{
    // The player goes first: its picture must not outlive the widget it draws into.
    delete m_playHelper;
    m_playHelper = nullptr;
    // The parts that report to this widget go before it is only a QWidget any more.
    m_undoStack->disconnect(this);
    delete m_undoStack;
    m_undoStack = nullptr;
    m_avDatasManager->disconnect(this);
    delete m_avDatasManager;
    m_avDatasManager = nullptr;
    // The mark goes before the folder: a close cut short must not leave a half-removed folder
    // that looks like an interrupted project.
    delete m_folderKeeper;
    m_folderKeeper = nullptr;
    // The working copy of the project: what is worth keeping is in the packed file.
    const QString dir = ProjectData::instance()->projectDir();
    if (!dir.isEmpty())
        QDir(dir).removeRecursively();
}

QToolButton *MainContentWidget::makeToolButton(QWidget *parent, const QString &objectName,
                                               const QString &icon, const QString &text)
{
    auto *button = new QToolButton(parent);
    button->setObjectName(objectName);
    button->setIcon(QIcon(icon));
    button->setText(text);
    button->setToolTip(text);
    button->setAutoRaise(true);
    return button;
}

void MainContentWidget::buildForm()
{
    auto *root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);

    // Menu bar on the left, preview on the right.
    auto *upper = new QHBoxLayout;
    upper->setContentsMargins(0, 0, 0, 0);
    upper->setSpacing(0);
    root->addLayout(upper, 1);

    m_ui.view_menu_bar = new QWidget(this);
    m_ui.view_menu_bar->setObjectName(QStringLiteral("view_menu_bar"));
    m_ui.view_menu_bar->setFixedWidth(88);
    auto *menuLayout = new QVBoxLayout(m_ui.view_menu_bar);
    menuLayout->setContentsMargins(10, 6, 10, 10);
    menuLayout->setSpacing(14);
    auto menuButton = [this](const QString &name, const QString &icon, const QString &text) {
        QToolButton *b = makeToolButton(m_ui.view_menu_bar, name, icon, text);
        b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        b->setIconSize(QSize(30, 30));
        b->setFixedSize(68, 68);
        return b;
    };
    m_ui.btn_file = menuButton(QStringLiteral("btn_file"), QStringLiteral(":/images/icon_file.png"),
                               tr("文件"));
    m_ui.btn_file->setPopupMode(QToolButton::InstantPopup);
    m_ui.line = separator(m_ui.view_menu_bar, QStringLiteral("line"), false);
    m_ui.btn_record_ppt = menuButton(QStringLiteral("btn_record_ppt"),
                                     QStringLiteral(":/images/icon_record_ppt.png"), tr("录制PPT"));
    m_ui.btn_record_screen =
        menuButton(QStringLiteral("btn_record_screen"),
                   QStringLiteral(":/images/icon_record_screen.png"), tr("录制屏幕"));
    m_ui.btn_record_white_board =
        menuButton(QStringLiteral("btn_record_white_board"),
                   QStringLiteral(":/images/icon_whiteboard.png"), tr("白板"));
    menuLayout->addWidget(m_ui.btn_file, 0, Qt::AlignHCenter);
    menuLayout->addWidget(m_ui.line, 0, Qt::AlignHCenter);
    menuLayout->addWidget(m_ui.btn_record_ppt, 0, Qt::AlignHCenter);
    menuLayout->addWidget(m_ui.btn_record_screen, 0, Qt::AlignHCenter);
    menuLayout->addWidget(m_ui.btn_record_white_board, 0, Qt::AlignHCenter);
    menuLayout->addStretch();
    upper->addWidget(m_ui.view_menu_bar);

    m_ui.view_content = new QWidget(this);
    m_ui.view_content->setObjectName(QStringLiteral("view_content"));
    m_ui.view_content->setAttribute(Qt::WA_StyledBackground);
    m_ui.view_content->setMinimumSize(320, 200);
    upper->addWidget(m_ui.view_content, 1);

    // The blank prompt and the video are placed by hand: centred, sized to the clips.
    m_ui.view_blank_prompt = new QWidget(m_ui.view_content);
    m_ui.view_blank_prompt->setObjectName(QStringLiteral("view_blank_prompt"));
    m_ui.view_blank_prompt->setAttribute(Qt::WA_StyledBackground);
    m_ui.view_blank_prompt->setAttribute(Qt::WA_Hover);
    m_ui.view_blank_prompt->setFixedSize(420, 220);
    m_ui.view_blank_prompt->setCursor(Qt::PointingHandCursor);
    auto *blank = new QVBoxLayout(m_ui.view_blank_prompt);
    blank->setContentsMargins(20, 30, 20, 30);
    blank->setSpacing(12);
    m_ui.label_blank_icon = new QLabel(m_ui.view_blank_prompt);
    m_ui.label_blank_icon->setObjectName(QStringLiteral("label_blank_icon"));
    m_ui.label_blank_icon->setPixmap(QIcon(QStringLiteral(":/images/icon_btn_add.png")).pixmap(48, 48));
    m_ui.label_blank_icon->setStyleSheet(QStringLiteral("background:transparent;"));
    m_ui.label_blank_icon->setAlignment(Qt::AlignCenter);
    m_ui.label_record_ppt = new QLabel(tr("录制PPT"), m_ui.view_blank_prompt);
    m_ui.label_record_ppt->setObjectName(QStringLiteral("label_record_ppt"));
    m_ui.label_record_ppt->setAlignment(Qt::AlignCenter);
    m_ui.label_blank_prompt =
        new QLabel(tr("还没有内容：录制PPT、录制屏幕或导入视频"), m_ui.view_blank_prompt);
    m_ui.label_blank_prompt->setObjectName(QStringLiteral("label_blank_prompt"));
    m_ui.label_blank_prompt->setAlignment(Qt::AlignCenter);
    m_ui.label_blank_prompt->setWordWrap(true);
    blank->addWidget(m_ui.label_blank_icon);
    blank->addWidget(m_ui.label_record_ppt);
    blank->addWidget(m_ui.label_blank_prompt);

    m_ui.view_vlc = new VlcWidgetVideo(m_ui.view_content);
    m_ui.view_vlc->setObjectName(QStringLiteral("view_vlc"));
    m_ui.view_vlc->hide();

    // Edit toolbar.
    m_ui.view_tools_bar = new QWidget(this);
    m_ui.view_tools_bar->setObjectName(QStringLiteral("view_tools_bar"));
    m_ui.view_tools_bar->setAttribute(Qt::WA_StyledBackground);
    m_ui.view_tools_bar->setFixedHeight(44);
    auto *tools = new QHBoxLayout(m_ui.view_tools_bar);
    tools->setContentsMargins(20, 0, 20, 0);
    tools->setSpacing(14);
    auto toolButton = [this](const QString &name, const QString &icon, const QString &text) {
        QToolButton *b = makeToolButton(m_ui.view_tools_bar, name, icon, text);
        b->setIconSize(QSize(24, 24));
        b->setFixedSize(30, 30);
        return b;
    };
    m_ui.btn_undo = toolButton(QStringLiteral("btn_undo"),
                               QStringLiteral(":/images/icon_undo_disable.png"), tr("撤销"));
    m_ui.btn_redo = toolButton(QStringLiteral("btn_redo"),
                               QStringLiteral(":/images/icon_redo_disable.png"), tr("重做"));
    m_ui.btn_delete = toolButton(QStringLiteral("btn_delete"),
                                 QStringLiteral(":/images/icon_delete.png"), tr("删除"));
    m_ui.btn_import = toolButton(QStringLiteral("btn_import"),
                                 QStringLiteral(":/images/icon_import.png"), tr("导入视频"));
    m_ui.line_2 = separator(m_ui.view_tools_bar, QStringLiteral("line_2"), true);
    m_ui.btn_zoom_out = toolButton(QStringLiteral("btn_zoom_out"),
                                   QStringLiteral(":/images/icon_zoom_out.png"), tr("缩小"));
    m_ui.slider_zoom = new QSlider(Qt::Horizontal, m_ui.view_tools_bar);
    m_ui.slider_zoom->setObjectName(QStringLiteral("slider_zoom"));
    m_ui.slider_zoom->setFixedWidth(160);
    m_ui.btn_zoom_in = toolButton(QStringLiteral("btn_zoom_in"),
                                  QStringLiteral(":/images/icon_zoom_in.png"), tr("放大"));
    tools->addWidget(m_ui.btn_undo);
    tools->addWidget(m_ui.btn_redo);
    tools->addWidget(m_ui.btn_delete);
    tools->addWidget(m_ui.btn_import);
    tools->addStretch();
    tools->addWidget(m_ui.line_2);
    tools->addWidget(m_ui.btn_zoom_out);
    tools->addWidget(m_ui.slider_zoom);
    tools->addWidget(m_ui.btn_zoom_in);
    root->addWidget(m_ui.view_tools_bar);

    // Play button and timeline.
    m_ui.view_time_axis = new QWidget(this);
    m_ui.view_time_axis->setObjectName(QStringLiteral("view_time_axis"));
    m_ui.view_time_axis->setAttribute(Qt::WA_StyledBackground);
    m_ui.view_time_axis->setStyleSheet(QStringLiteral("QWidget#view_time_axis{background:#1b1b1c;}"));
    m_ui.view_time_axis->setFixedHeight(216);
    auto *axis = new QHBoxLayout(m_ui.view_time_axis);
    axis->setContentsMargins(0, 0, 0, 0);
    axis->setSpacing(0);
    m_ui.view_time_axis_left = new QWidget(m_ui.view_time_axis);
    m_ui.view_time_axis_left->setObjectName(QStringLiteral("view_time_axis_left"));
    m_ui.view_time_axis_left->setFixedWidth(88);
    auto *left = new QVBoxLayout(m_ui.view_time_axis_left);
    left->setContentsMargins(10, 14, 10, 10);
    m_ui.btn_play_stop = new QPushButton(tr("播放"), m_ui.view_time_axis_left);
    m_ui.btn_play_stop->setObjectName(QStringLiteral("btn_play_stop"));
    m_ui.btn_play_stop->setFixedSize(64, 28);
    left->addWidget(m_ui.btn_play_stop, 0, Qt::AlignHCenter);
    left->addStretch();
    axis->addWidget(m_ui.view_time_axis_left);
    m_ui.frame_time_line_area = new QFrame(m_ui.view_time_axis);
    m_ui.frame_time_line_area->setObjectName(QStringLiteral("frame_time_line_area"));
    auto *area = new QVBoxLayout(m_ui.frame_time_line_area);
    area->setContentsMargins(0, 0, 0, 0);
    m_ui.composition = new WidgetComposition(m_ui.frame_time_line_area);
    area->addWidget(m_ui.composition);
    axis->addWidget(m_ui.frame_time_line_area, 1);
    root->addWidget(m_ui.view_time_axis);
}

void MainContentWidget::buildFileMenu()
{
    m_fileMenu = new QMenu(this);
    m_fileMenu->setFixedWidth(200);
    auto add = [this](const QString &icon, const QString &text, const QKeySequence &keys,
                      auto slot) {
        auto *action = new MenuItemAction(icon, text, keys, m_fileMenu);
        connect(action, &QAction::triggered, this, slot);
        m_fileMenu->addAction(action);
        // The keys work whenever the editor's window is active, not only while the menu is
        // open.
        addAction(action);
        return action;
    };
    add(QStringLiteral(":/images/icon_menu_newly_build.png"), tr("新建"),
        QKeySequence(QKeySequence::New), &MainContentWidget::slotMenuNew);
    add(QStringLiteral(":/images/icon_menu_item_open.png"), tr("打开"),
        QKeySequence(QKeySequence::Open), &MainContentWidget::slotMenuOpen);
    add(QStringLiteral(":/images/icon_save.png"), tr("保存"), QKeySequence(QKeySequence::Save),
        &MainContentWidget::slotMenuSave);
    add(QStringLiteral(":/images/icon_save_as.png"), tr("另存为"),
        QKeySequence(QKeySequence::SaveAs), &MainContentWidget::slotMenuSaveAs);
    m_fileMenu->addSeparator();
    add(QStringLiteral(":/images/icon_export.png"), tr("导出"), QKeySequence(),
        &MainContentWidget::slotMenuExport);
    add(QStringLiteral(":/images/icon_menu_item_setting.png"), tr("设置"), QKeySequence(),
        &MainContentWidget::slotMenuSetting);
    m_fileMenu->addSeparator();
    add(QStringLiteral(":/images/icon_exit.png"), tr("退出"), QKeySequence(QKeySequence::Close),
        [this] { window()->close(); });
    m_ui.btn_file->setMenu(m_fileMenu);
}

void MainContentWidget::connectParts()
{
    WidgetComposition *composition = m_ui.composition;
    connect(composition, &WidgetComposition::curTimeChanged, m_playHelper,
            [this](long msec) { m_playHelper->seekTo(msec); });
    connect(m_playHelper, &PlayHelper::timeChanged, composition,
            [composition](qint64 time) { composition->slot_change_cur_time(long(time)); });
    connect(m_playHelper, &PlayHelper::playFinish, this, [this] {
        m_ui.btn_play_stop->setText(tr("播放"));
        m_ui.btn_play_stop->setChecked(false);
    });
    connect(m_ui.btn_play_stop, &QPushButton::clicked, this, &MainContentWidget::onPlayStopClicked);
    connect(m_ui.btn_zoom_in, &QToolButton::clicked, composition, &WidgetComposition::zoomIn);
    connect(m_ui.btn_zoom_out, &QToolButton::clicked, composition, &WidgetComposition::zoomOut);
    connect(m_ui.slider_zoom, &QSlider::valueChanged, composition,
            [composition](int v) { composition->setScaleValue(v / 10000.0); });
    // Set from the view without echoing back: the slider's whole numbers would round the
    // view's scale.
    connect(composition, &WidgetComposition::scaleViewChanged, this, [this](double scaleX) {
        const QSignalBlocker block(m_ui.slider_zoom);
        m_ui.slider_zoom->setValue(qRound(scaleX * 10000));
    });
    connect(composition, &WidgetComposition::sig_MinScaleValueChanged, this, [this](double min) {
        const QSignalBlocker block(m_ui.slider_zoom);
        m_ui.slider_zoom->setMinimum(qRound(min * 10000));
    });
    connect(m_ui.btn_delete, &QToolButton::clicked, this, &MainContentWidget::deleteSelectedRange);
    connect(m_ui.btn_import, &QToolButton::clicked, this, &MainContentWidget::importVideo);
    connect(m_avDatasManager, &AvDatasManager::sig_ExecFinished, this,
            &MainContentWidget::onImportFinished);
    connect(m_avDatasManager, &AvDatasManager::sig_ExecProgress, this,
            [this](qlonglong progress) { m_promptWindow->setValue(progress); });
    connect(m_avDatasManager, &AvDatasManager::sig_ExecMaxProgress, this,
            [this](const QString &text, qlonglong max) { showPrompt(text, max); });
    connect(m_ui.btn_undo, &QToolButton::clicked, this, [this] {
        if (m_undoStack->canUndo())
            m_undoStack->undo();
    });
    connect(m_ui.btn_redo, &QToolButton::clicked, this, [this] {
        if (m_undoStack->canRedo())
            m_undoStack->redo();
    });
    connect(m_undoStack, &QUndoStack::canUndoChanged, this, [this](bool can) {
        m_ui.btn_undo->setEnabled(can);
        m_ui.btn_undo->setIcon(can ? m_undoIcon : m_undoDisableIcon);
    });
    connect(m_undoStack, &QUndoStack::canRedoChanged, this, [this](bool can) {
        m_ui.btn_redo->setEnabled(can);
        m_ui.btn_redo->setIcon(can ? m_redoIcon : m_redoDisableIcon);
    });
    connect(m_playHelper, &PlayHelper::sig_VideoSizeChanged, this, [this](int width, int height) {
        m_videoSize = QSize(width, height);
        updateVlcViewSize();
    });
    connect(m_ui.btn_record_screen, &QToolButton::clicked, this,
            &MainContentWidget::on_btn_record_screen_clicked);
    connect(m_ui.btn_record_ppt, &QToolButton::clicked, this,
            &MainContentWidget::on_btn_record_ppt_clicked);
}

void MainContentWidget::onPlayStopClicked(bool checked)
{
    if (checked) {
        m_ui.btn_play_stop->setText(tr("停止"));
        m_playHelper->play();
    } else {
        m_ui.btn_play_stop->setText(tr("播放"));
        m_playHelper->pause();
    }
}

void MainContentWidget::stopPlayback()
{
    m_playHelper->pause();
    m_ui.btn_play_stop->setChecked(false);
    m_ui.btn_play_stop->setText(tr("播放"));
}

void MainContentWidget::refreshFromProject()
{
    ProjectData *project = ProjectData::instance();
    m_videoSize = QSize(-1, -1);
    const qint64 curTime = m_ui.composition->curTimeMs();
    int maxW = -1, maxH = -1;
    for (const AVData &clip : project->avDatas()) {
        maxW = qMax(maxW, clip.videoWidth);
        maxH = qMax(maxH, clip.videoHeight);
    }
    m_maxVideoSize = QSize(maxW, maxH);

    const QList<AVData> clips = project->avDatas();
    if (m_playHelper->setAvDatas(clips, curTime))
        m_ui.btn_play_stop->show();
    // A playing file that simply plays on reports no new size; it keeps the one it had.
    if (m_videoSize.width() < 0 && m_playHelper->currentMediaInfo()) {
        const MediaInfo *current = m_playHelper->currentMediaInfo();
        m_videoSize = QSize(current->videoWidth, current->videoHeight);
    }
    m_ui.composition->avDatas = clips;
    m_ui.composition->refresh();

    if (clips.isEmpty()) {
        m_playHelper->stop();
        m_ui.view_vlc->hide();
        m_ui.view_blank_prompt->show();
    } else {
        m_ui.view_vlc->show();
        m_ui.view_blank_prompt->hide();
        updateVlcViewSize();
    }
}

void MainContentWidget::updateView(bool clear)
{
    ProjectData *project = ProjectData::instance();
    QList<AVData> previous = m_ui.composition->avDatas;
    if (clear) {
        previous.clear();
        m_undoStack->clear();
        m_ui.composition->setScaleValue(1.0);
    }
    if (previous.isEmpty())
        refreshFromProject();
    else
        m_undoStack->push(new ChangeAvDatasCommand(project, previous, project->avDatas(),
                                                   [this] { refreshFromProject(); }));
    const bool hasClips = project->count() > 0;
    m_ui.btn_play_stop->setVisible(hasClips);
    qDebug() << "ui->btn_play_stop->setVisible:" << (hasClips ? "true" : "false");
    project->writeIndex();
}

QRect MainContentWidget::videoRect(QSize videoSize, QSize maxVideoSize, QSize areaSize)
{
    // A clip of unknown size (-1) or an empty area must never reach the divisions below.
    if (videoSize.width() <= 0 || videoSize.height() <= 0 || maxVideoSize.width() <= 0 ||
        maxVideoSize.height() <= 0 || areaSize.width() <= 0 || areaSize.height() <= 0)
        return QRect();
    if (videoSize.width() > maxVideoSize.width() || videoSize.height() > maxVideoSize.height())
        videoSize = maxVideoSize;
    const qint64 maxW = maxVideoSize.width(), maxH = maxVideoSize.height();
    const qint64 W = areaSize.width(), H = areaSize.height();
    qint64 boxW, boxH;
    if (maxW * H < maxH * W) {
        boxH = H;
        boxW = maxW * H / maxH;
    } else {
        boxW = W;
        boxH = maxH * W / maxW;
    }
    const int w = int(boxW * videoSize.width() / maxW);
    const int h = int(boxH * videoSize.height() / maxH);
    return QRect((areaSize.width() - w) / 2, (areaSize.height() - h) / 2, w, h);
}

void MainContentWidget::updateVlcViewSize()
{
    const QRect rect = videoRect(m_videoSize, m_maxVideoSize, m_ui.view_content->size());
    if (rect.isEmpty()) {
        m_ui.view_vlc->hide();
        return;
    }
    m_ui.view_vlc->setGeometry(rect);
    m_ui.view_vlc->show();
}

void MainContentWidget::placePopups()
{
    const QSize area = m_ui.view_content->size();
    m_loaddingView->setGeometry(QRect(QPoint(0, 0), area));
    m_ui.view_blank_prompt->move((area.width() - m_ui.view_blank_prompt->width()) / 2,
                                 (area.height() - m_ui.view_blank_prompt->height()) / 2);
    m_promptWindow->move((width() - m_promptWindow->width()) / 2, 120);
}

void MainContentWidget::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    placePopups();
    updateVlcViewSize();
}

bool MainContentWidget::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_ui.view_blank_prompt && event->type() == QEvent::MouseButtonRelease)
        on_btn_record_ppt_clicked();
    // The preview area follows the window through the layouts.
    if (watched == m_ui.view_content && event->type() == QEvent::Resize) {
        placePopups();
        updateVlcViewSize();
    }
    return QWidget::eventFilter(watched, event);
}

void MainContentWidget::closeEvent(QCloseEvent *event)
{
    qDebug() << "closeEvent...";
    QWidget::closeEvent(event);
}

void MainContentWidget::showPrompt(const QString &text, qint64 maximum)
{
    m_promptWindow->setText(text);
    m_promptWindow->setMaximum(maximum);
    m_promptWindow->setValue(0);
    placePopups();
    m_promptWindow->show();
    m_promptWindow->raise();
}
