#include "ui/base/projectfiledialog.h"

#include "core/platform/settings.h"

#include <QCoreApplication>
#include <QFileDialog>

QString askProjectFileToOpen(QWidget *parent)
{
    const QString dir =
        dialogStartFolder(QStringLiteral("openFileDir"), QStandardPaths::DocumentsLocation);
    return QFileDialog::getOpenFileName(
        parent, QCoreApplication::translate("ProjectFileDialog", "打开课件"), dir,
        QCoreApplication::translate("ProjectFileDialog", "课件文件(*.lsn)"));
}
