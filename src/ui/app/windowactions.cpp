// The actions that open the program's other windows: screen recording, slide-show recording,
// export and settings, from the editor and from the home page. Kept together because they
// join the editor and the home page to those windows.
#include "core/project/projectdata.h"
#include "ui/editor/maincontentwidget.h"
#include "ui/export/exportflow.h"
#include "ui/home/firstwidget.h"
#include "ui/record/recordscreenselectwidget.h"
#include "ui/record/recordscreenwidget.h"
#include "ui/settings/settingwidget.h"
#include "ui/timeline/widgetcomposition.h"

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
                    record->show();
                });
        select->show();
    });
}

void MainContentWidget::on_btn_record_ppt_clicked()
{
    const QString dir = readSetting(QStringLiteral("pptFilePath")).toString();
    const QString path =
        QFileDialog::getOpenFileName(this, tr("打开PPT文件"), dir, tr("PPT文件 (*.ppt *.pptx)"));
    if (path.isEmpty())
        return;
    writeSetting(QStringLiteral("pptFilePath"), QFileInfo(path).absolutePath());
    qWarning() << "on_btn_record_ppt_clicked: slide-show recording is not part of this build yet";
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
