// The editor's file actions: new, open, save, save as, and the close query.
#include "ui/editor/maincontentwidget.h"

#include "core/media/avshowmanager.h"
#include "core/media/ffmpegtool.h"
#include "core/platform/settings.h"
#include "core/project/projectdata.h"
#include "core/storage/saveopenmanager.h"
#include "ui/base/commonpromptwindow.h"
#include "ui/base/commonsuccesswindow.h"
#include "ui/base/loaddingview.h"
#include "ui/base/projectfiledialog.h"
#include "ui/editor/playhelper.h"
#include "ui/editor/vlcwidgetvideo.h"
#include "ui/timeline/widgetcomposition.h"

#include <QDebug>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtConcurrent>

namespace {
constexpr int kCoverWaitMs = 30000;
// How long an open waits for the file's index before it shows the loading panel instead.
constexpr int kIndexWaitMs = 60;

void warn(QWidget *parent, const QString &text, const QString &reason)
{
    QMessageBox box(QMessageBox::Warning, MainContentWidget::tr("警告"), text, QMessageBox::Ok,
                    parent);
    if (!reason.isEmpty())
        box.setInformativeText(reason);
    box.exec();
}
enum class SaveAnswer { Yes, No, Cancel };

// "当前项目尚未保存，是否保存?" with "是", "否" and "取消"; closing the box is "取消".
SaveAnswer askToSave(QWidget *parent)
{
    QMessageBox box(QMessageBox::Question, MainContentWidget::tr("提示"),
                    MainContentWidget::tr("当前项目尚未保存，是否保存?"), QMessageBox::NoButton,
                    parent);
    QPushButton *yes = box.addButton(MainContentWidget::tr("是"), QMessageBox::YesRole);
    QPushButton *no = box.addButton(MainContentWidget::tr("否"), QMessageBox::NoRole);
    box.addButton(MainContentWidget::tr("取消"), QMessageBox::RejectRole);
    box.setDefaultButton(yes);
    box.exec();
    if (box.clickedButton() == yes)
        return SaveAnswer::Yes;
    return box.clickedButton() == no ? SaveAnswer::No : SaveAnswer::Cancel;
}
}  // namespace

bool MainContentWidget::askSaveThen(const std::function<void()> &afterSave)
{
    if (!ProjectData::instance()->isModified())
        return true;
    const SaveAnswer answer = askToSave(this);
    if (answer == SaveAnswer::No)
        return true;
    if (answer == SaveAnswer::Cancel)
        return false;
    // What waits for the save happens only once the project is safely saved: after a failed
    // save the teacher's work stays open.
    dropPendingAfterSave();
    m_afterSave =
        connect(this, &MainContentWidget::sig_SaveProFinished, this, [this, afterSave](bool saved) {
            dropPendingAfterSave();
            if (saved)
                afterSave();
        });
    slotMenuSave();
    return false;
}

void MainContentWidget::dropPendingAfterSave()
{
    if (m_afterSave)
        disconnect(m_afterSave);
    m_afterSave = QMetaObject::Connection();
}

void MainContentWidget::newProject()
{
    ProjectData *project = ProjectData::instance();
    project->reset();
    project->markSaved();
    QDir().mkpath(project->projectDir());
    updateView(true);
}

void MainContentWidget::slotMenuNew()
{
    // Whatever the play button shows: a playing preview must not go on into the new project.
    stopPlayback();
    if (!askSaveThen([this] { newProject(); }))
        return;
    newProject();
}

void MainContentWidget::slotMenuOpen()
{
    stopPlayback();
    if (!askSaveThen([this] { chooseAndOpenFile(); }))
        return;
    chooseAndOpenFile();
}

void MainContentWidget::chooseAndOpenFile()
{
    const QString path = askProjectFileToOpen(this);
    if (!path.isEmpty())
        openProFile(path);
}

void MainContentWidget::openProFile(const QString &path, SaveOpenManager *unpacking)
{
    ProjectData *project = ProjectData::instance();
    stopPlayback();
    // A recording or an import now would go into the project that the open replaces.
    setBusy(m_opening, true);
    project->reset();
    project->markSaved();
    updateView(true);
    m_ui.view_blank_prompt->hide();
    const QFileInfo info(path);

    // The outcome of an unpack started earlier arrives through the event loop, so it is still
    // to come when it is connected here.
    SaveOpenManager *manager = unpacking ? unpacking : new SaveOpenManager(this);
    manager->setParent(this);
    if (!unpacking)
        manager->openProject(path);
    // The index comes out of the file first, within milliseconds: shown at once, the project
    // is laid out once and drawn with the window's first picture. The loading panel stands in
    // only when the index is late.
    QList<AVData> clips;
    QImage cover;
    if (manager->takeProjectRead(&clips, &cover, kIndexWaitMs)) {
        showOpeningProject(clips, cover);
    } else {
        m_loaddingView->setFileName(info.completeBaseName());
        m_loaddingView->setGeometry(QRect(QPoint(0, 0), m_ui.view_content->size()));
        m_loaddingView->show();
        m_loaddingView->raise();
        connect(manager, &SaveOpenManager::sig_ProjectRead, this,
                &MainContentWidget::showOpeningProject);
    }
    // The file dialog's folder is remembered once the open is over and the editor has shown
    // its outcome: the settings file is synced to the disk as it is written.
    const auto endOpening = [this, manager, folder = info.absolutePath()] {
        manager->deleteLater();
        m_openProgressTimer->stop();
        m_promptWindow->hide();
        m_loaddingView->hide();
        setBusy(m_opening, false);
        QTimer::singleShot(0, this,
                           [folder] { writeSetting(QStringLiteral("openFileDir"), folder); });
    };
    connect(manager, &SaveOpenManager::sig_OpenSuccess, this, [this, endOpening] {
        endOpening();
        ProjectData::instance()->markSaved();
        updateView(true, true);
        // The cover came with the file (it is made again before every save); only a file
        // without one gets it now, so that no tool run competes with the first picture.
        if (!QFileInfo::exists(ProjectData::instance()->coverPath()))
            recreateCover();
    });
    connect(manager, &SaveOpenManager::sig_OpenFailed, this, [this, manager, endOpening] {
        endOpening();
        warn(this, tr("打开失败！"), manager->errorText());
        // The project was never touched by the failed open; start a new one all the same, so
        // the editor shows an empty project and the blank prompt.
        slotMenuNew();
    });
    connect(manager, &SaveOpenManager::sig_UpdateMaxProgress, this,
            [this](qlonglong max) { m_openProgressMax = max; });
    connect(manager, &SaveOpenManager::sig_UpdateProgress, this,
            [this](qlonglong value) { m_promptWindow->setValue(value); });
    // An unpack started earlier may have announced its size before the connection above.
    m_openProgressMax = manager->progressMaximum();
}

void MainContentWidget::showOpeningProject(const QList<AVData> &clips, const QImage &cover)
{
    if (!m_opening || clips.isEmpty())
        return;
    // Laid out as the open's end will lay it out (updateView). The blocks get no files: until
    // the unpack replaces it, the working folder may still hold an earlier copy of the
    // project, and a block would read its pictures from there or make them into it.
    m_loaddingView->hide();
    m_ui.composition->setScaleValue(1.0);
    QList<AVData> shown = clips;
    for (AVData &clip : shown)
        clip.filePath.clear();
    m_ui.composition->avDatas = shown;
    m_ui.composition->refresh();
    takeMaxVideoSize(clips);
    m_videoSize = QSize(clips.first().videoWidth, clips.first().videoHeight);
    m_ui.view_blank_prompt->hide();
    updateVlcViewSize();
    if (!cover.isNull())
        m_ui.view_vlc->showPoster(cover);
    // A large file takes a while more: its progress shows if it does.
    m_openProgressTimer->start();
}

void MainContentWidget::recreateCover(const std::function<void()> &then)
{
    ProjectData *project = ProjectData::instance();
    if (project->count() == 0) {
        if (then)
            then();
        return;
    }
    // The tool runs on a worker: the window stays responsive while it reads the first frame.
    const QStringList args = AvShowManager::coverArguments(project->at(0), project->coverPath());
    auto *watcher = new QFutureWatcher<bool>(this);
    connect(watcher, &QFutureWatcher<bool>::finished, this, [watcher, then] {
        if (!watcher->result())
            qWarning() << "createCover failed";
        watcher->deleteLater();
        if (then)
            then();
    });
    watcher->setFuture(
        QtConcurrent::run([args] { return FfmpegTool::run(args, kCoverWaitMs).succeeded(); }));
}

void MainContentWidget::slotMenuSave()
{
    const QString path = ProjectData::instance()->filePath();
    if (path.isEmpty()) {
        slotMenuSaveAs();
        return;
    }
    setBusy(m_saving, true);
    showPrompt(tr("正在保存..."), 0);
    recreateCover([this, path] { saveProject(path, false); });
}

void MainContentWidget::slotMenuSaveAs()
{
    ProjectData *project = ProjectData::instance();
    QString proposed = project->filePath();
    if (proposed.isEmpty())
        proposed = QDir(dialogStartFolder(QStringLiteral("SaveLsnFileDir"),
                                          QStandardPaths::DocumentsLocation))
                       .filePath(tr("未命名.lsn"));
    const QString name =
        QFileDialog::getSaveFileName(this, tr("保存课件"), proposed, tr("课件文件(*.lsn)"));
    if (name.isEmpty()) {
        // No save follows: a close, new or open waiting for it does not happen either.
        dropPendingAfterSave();
        return;
    }
    qDebug() << "另存课件文件：" << name;
    writeSetting(QStringLiteral("SaveLsnFileDir"), QFileInfo(name).absolutePath());
    setBusy(m_saving, true);
    showPrompt(tr("正在保存..."), 0);
    recreateCover([this, name] { saveProject(name, true); });
}

void MainContentWidget::saveProject(const QString &path, bool saveAs)
{
    setBusy(m_saving, true);
    auto *manager = new SaveOpenManager(this);
    connect(manager, &SaveOpenManager::sig_UpdateMaxProgress, this, [this](qlonglong max) {
        qDebug() << "slotMenuSaveAs:sig_UpdateMaxProgress:" << max;
        showPrompt(tr("正在保存..."), max);
    });
    connect(manager, &SaveOpenManager::sig_UpdateProgress, this, [this](qlonglong value) {
        qDebug() << "slotMenuSaveAs:sig_UpdateProgress:" << value;
        m_promptWindow->setValue(value);
    });
    connect(manager, &SaveOpenManager::sig_SaveFinished, this, [this, manager](bool success) {
        manager->deleteLater();
        m_promptWindow->hide();
        setBusy(m_saving, false);
        if (success) {
            m_successWindow->showMessage(tr("保存成功"), 2000);
            ProjectData::instance()->markSaved();
            emit sig_SaveProFinished(true);
        } else {
            warn(this, tr("保存失败！"), manager->errorText());
            emit sig_SaveProFinished(false);
        }
    });
    manager->saveProject(path, saveAs);
}

void MainContentWidget::updateLock()
{
    // Disabled, the editor's buttons, menu and keys do nothing; its title bar (a part of the
    // frame) still minimises and asks before closing.
    setEnabled(!m_recordWindow && !m_saving && !m_opening);
}

void MainContentWidget::setBusy(bool &flag, bool busy)
{
    flag = busy;
    updateLock();
}

bool MainContentWidget::refuseWhileBusy()
{
    // An open in progress may be left: nothing of the teacher's is at stake in it.
    if (m_saving) {
        QMessageBox::information(this, tr("提示"), tr("正在保存，请稍候！"));
        return true;
    }
    if (!m_recordWindow)
        return false;
    QMessageBox::information(this, tr("提示"), tr("正在录制，请先结束录制！"));
    // The recording may have ended while the box was shown.
    if (m_recordWindow) {
        m_recordWindow->raise();
        m_recordWindow->activateWindow();
    }
    return true;
}

bool MainContentWidget::preCloseWindow()
{
    if (refuseWhileBusy())
        return false;
    return askSaveThen([this] { window()->close(); });
}
