#include "ui/export/exportflow.h"

#include "core/project/projectdata.h"
#include "ui/base/maskform.h"
#include "ui/export/exportdialog.h"
#include "ui/export/exportprogressdialog.h"

#include <QMessageBox>
#include <QPointer>

void runExportFlow(QWidget *window)
{
    if (ProjectData::instance()->count() == 0) {
        QMessageBox::warning(window, QObject::tr("提示"), QObject::tr("录制类容为空！"),
                             QMessageBox::Ok);
        return;
    }
    MaskForm mask(window);
    // A window of the editor's, so the window manager keeps it above the editor.
    mask.setParent(window->window(), mask.windowFlags());
    mask.setMaskColor(Qt::black, 0.8);

    ExportDialog dialog(window);
    mask.setWatchedWidget(&dialog);
    QObject::connect(&dialog, &ExportDialog::sig_PreExport, &dialog,
                     [&dialog, &mask, window](const QString &filePath) {
                         QPointer<ExportProgressDialog> progress = new ExportProgressDialog(window);
                         mask.setWatchedWidget(progress);
                         progress->startExport(filePath, dialog.loudnessLufs());
                         dialog.close();
                         progress->exec();
                     });
    dialog.exec();
    mask.setWatchedWidget(nullptr);
}
