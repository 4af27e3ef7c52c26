#include "ui/editor/maincontentwidget.h"

#include "core/media/avdatasmanager.h"
#include "core/project/projectdata.h"
#include "core/recovery/projectfolderkeeper.h"
#include "ui/base/basewindow.h"
#include "ui/base/commonpromptwindow.h"
#include "ui/base/commonsuccesswindow.h"
#include "ui/base/loaddingview.h"
#include "ui/base/maskform.h"
#include "ui/base/nativewindow.h"
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

MainContentWidget::MainContentWidget(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("MainContentWidget"));
    buildForm();

    m_undoStack = new QUndoStack(this);
    m_indexTimer = new QTimer(this);
    m_indexTimer->setSingleShot(true);
    m_indexTimer->setInterval(300);
    connect(m_indexTimer, &QTimer::timeout, this,
            [] { ProjectData::instance()->writeIndexInBackground(); });
    m_openProgressTimer = new QTimer(this);
    m_openProgressTimer->setSingleShot(true);
    m_openProgressTimer->setInterval(400);
    connect(m_openProgressTimer, &QTimer::timeout, this,
            [this] { showPrompt(tr("正在打开文件..."), m_openProgressMax); });
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
    // only one. The delete key deletes the marked span, as the button does.
    const std::pair<QToolButton *, QKeySequence::StandardKey> keyed[] = {
        {m_ui.btn_undo, QKeySequence::Undo},
        {m_ui.btn_redo, QKeySequence::Redo},
        {m_ui.btn_delete, QKeySequence::Delete}};
    for (const auto &[button, standardKey] : keyed) {
        auto *keys = new QAction(button);
        keys->setShortcuts(standardKey);
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
    // They show over the preview, whose picture is a window of its own.
    giveOwnNativeWindow(m_loaddingView);
    giveOwnNativeWindow(m_promptWindow);
    giveOwnNativeWindow(m_successWindow);

    m_ui.view_blank_prompt->installEventFilter(this);
    m_ui.view_content->installEventFilter(this);

    connectParts();
    setUpPauses();
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
    // A search still running is stopped and waited for.
    delete m_pauseFinder;
    m_pauseFinder = nullptr;
    // The mark goes before the folder: a close cut short must not leave a half-removed folder
    // that looks like an interrupted project.
    delete m_folderKeeper;
    m_folderKeeper = nullptr;
    // The working copy of the project: what is worth keeping is in the packed file.
    const QString dir = ProjectData::instance()->projectDir();
    if (!dir.isEmpty())
        QDir(dir).removeRecursively();
}

void MainContentWidget::connectParts()
{
    WidgetComposition *composition = m_ui.composition;
    connect(composition, &WidgetComposition::curTimeChanged, m_playHelper, [this](long msec) {
        // The opened project's first picture is not the one at the new place.
        m_ui.view_vlc->hidePoster();
        m_playHelper->seekTo(msec);
    });
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
    connect(m_ui.btn_record_white_board, &QToolButton::clicked, this,
            &MainContentWidget::on_btn_record_white_board_clicked);
}

void MainContentWidget::onPlayStopClicked(bool checked)
{
    if (checked) {
        m_ui.view_vlc->hidePoster();
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
    const QList<AVData> clips = project->avDatas();
    takeMaxVideoSize(clips);

    if (m_playHelper->setAvDatas(clips, curTime))
        m_ui.btn_play_stop->show();
    // A playing file that simply plays on reports no new size; it keeps the one it had.
    if (m_videoSize.width() < 0 && m_playHelper->currentMediaInfo()) {
        const MediaInfo *current = m_playHelper->currentMediaInfo();
        m_videoSize = QSize(current->videoWidth, current->videoHeight);
    }
    m_ui.composition->avDatas = clips;
    m_ui.composition->refresh();
    showPauses();

    if (clips.isEmpty()) {
        m_playHelper->stop();
        m_ui.view_vlc->hidePoster();
        m_ui.view_vlc->hide();
        m_ui.view_blank_prompt->show();
    } else {
        m_ui.view_vlc->show();
        m_ui.view_blank_prompt->hide();
        updateVlcViewSize();
    }
}

void MainContentWidget::takeMaxVideoSize(const QList<AVData> &clips)
{
    int maxW = -1, maxH = -1;
    for (const AVData &clip : clips) {
        maxW = qMax(maxW, clip.videoWidth);
        maxH = qMax(maxH, clip.videoHeight);
    }
    m_maxVideoSize = QSize(maxW, maxH);
}

void MainContentWidget::updateView(bool clear, bool indexOnDisk)
{
    ProjectData *project = ProjectData::instance();
    QList<AVData> previous = m_ui.composition->avDatas;
    if (clear) {
        previous.clear();
        m_undoStack->clear();
        forgetPauses();
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
    // After an edit the index is written a moment later, once the refreshed timeline and
    // preview are shown; a run of edits writes it once. A new project writes it at once: an
    // unpack may be about to fill the folder. An opened one found its index in the folder and
    // writes it a moment later, like an edit, so the disk waits until the project shows.
    if (clear && !indexOnDisk) {
        m_indexTimer->stop();
        project->writeIndex();
    } else {
        m_indexTimer->start();
    }
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
    m_successWindow->placeInParent();
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
