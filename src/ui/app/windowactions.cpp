// The actions that open the program's other windows: screen recording, slide-show recording,
// whiteboard recording, export and settings, from the editor and from the home page. Kept
// together because they join the editor and the home page to those windows.
#include "core/project/projectdata.h"
#include "ui/base/basewindow.h"
#include "ui/editor/maincontentwidget.h"
#include "ui/export/exportflow.h"
#include "ui/home/firstwidget.h"
#include "ui/record/recordscreenselectwidget.h"
#include "ui/record/recordscreenwidget.h"
#include "ui/settings/settingwidget.h"
#include "ui/slides/recordpptwidget.h"
#include "ui/timeline/widgetcomposition.h"
#include "ui/whiteboard/recordwhiteboardwidget.h"

#include <QDebug>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QTimer>

#include "core/platform/settings.h"

void MainContentWidget::slotMenuExport()
{
    if (ProjectData::instance()->count() == 0) {
        QMessageBox::warning(this, tr("提示"), tr("录制类容为空！"));
        return;
    }
    recreateCover([this] { runExportFlow(window()); });
}

void MainContentWidget::slotMenuSetting()
{
    auto *settings = new SettingWidget(window());
    settings->show();
}

void MainContentWidget::on_btn_record_screen_clicked()
{
    window()->showMinimized();
    // The selection shows the frozen screen: the editor must be gone from it first.
    QTimer::singleShot(300, this, [this] {
        // Without a parent: the window manager would hide children of the minimised editor.
        auto *select = new RecordScreenSelectWidget;
        watchRecordingWindow(select);
        connect(select, &RecordScreenSelectWidget::sig_Cancel, this, [this] {
            window()->showNormal();
            window()->activateWindow();
        });
        connect(select, &RecordScreenSelectWidget::sig_StartRecord, this,
                [this, select](const QRectF &area) {
                    const ClipAtResult at =
                        ProjectData::instance()->clipAt(m_ui.composition->curTimeMs());
                    auto *record = new RecordScreenWidget(area, at.clip, at.offset, nullptr,
                                                          select->grabbedScreen());
                    connect(record, &RecordScreenWidget::sig_Record_Finish, this,
                            [this] { onRecordFinished(5); });
                    watchRecordingWindow(record);
                    record->show();
                });
        select->show();
    });
}

void MainContentWidget::on_btn_record_ppt_clicked()
{
    const QString dir =
        dialogStartFolder(QStringLiteral("pptFilePath"), QStandardPaths::DocumentsLocation);
    // The presentation types the slide show also opens come after the usual ones.
    const QString path =
        QFileDialog::getOpenFileName(this, tr("打开PPT文件"), dir,
                                     tr("PPT文件 (*.ppt *.pptx)") + ";;" +
                                         tr("演示文稿 (*.ppt *.pptx *.pps *.ppsx *.odp *.pdf)"));
    if (path.isEmpty())
        return;
    writeSetting(QStringLiteral("pptFilePath"), QFileInfo(path).absolutePath());
    if (m_pptWindow) {  // one slide show at a time
        m_pptWindow->raise();
        m_pptWindow->activateWindow();
        return;
    }
    auto *frame = new BaseWindow;
    auto *record = new RecordPptWidget;
    frame->setContentWidget(record);
    frame->setTitle(path.mid(path.lastIndexOf('/') + 1));
    m_pptWindow = frame;
    watchRecordingWindow(frame);
    connect(frame, &QObject::destroyed, this, [this] { onRecordFinished(15); });
    frame->showMaximized();
    const ClipAtResult at = ProjectData::instance()->clipAt(m_ui.composition->curTimeMs());
    record->openPptFile(path, at.clip, at.offset);
    window()->showMinimized();
}

void MainContentWidget::on_btn_record_white_board_clicked()
{
    auto *frame = new BaseWindow;
    auto *record = new RecordWhiteboardWidget;
    frame->setContentWidget(record);
    frame->setTitle(tr("白板"));
    watchRecordingWindow(frame);
    connect(frame, &QObject::destroyed, this, [this] { onRecordFinished(15); });
    const ClipAtResult at = ProjectData::instance()->clipAt(m_ui.composition->curTimeMs());
    record->setInsertPoint(at.clip, at.offset);
    frame->showMaximized();
    window()->showMinimized();
}

void MainContentWidget::watchRecordingWindow(QWidget *window)
{
    m_recordWindow = window;
    // Checked once the window is really gone (a pointer to it is cleared by then).
    connect(window, &QObject::destroyed, this,
            [this] { QTimer::singleShot(0, this, &MainContentWidget::updateLock); });
    updateLock();
}

void MainContentWidget::onRecordFinished(int delayMs)
{
    QWidget *top = window();
    top->showNormal();
    top->activateWindow();
    QTimer::singleShot(delayMs, this, [this] { updateView(false); });
}

void FirstWidget::openSettings()
{
    auto *settings = new SettingWidget(this);
    settings->show();
}
