#include "ui/record/recordmessages.h"

#include "core/record/screenrecord.h"

#include <QMessageBox>

void installRecordMessagePresenter()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    ScreenRecord::setMessagePresenter([](QObject *, bool critical, const QString &text) {
        auto *box = new QMessageBox(critical ? QMessageBox::Critical : QMessageBox::Warning,
                                    critical ? QObject::tr("错误") : QObject::tr("警告"), text,
                                    QMessageBox::Ok);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setWindowFlag(Qt::WindowStaysOnTopHint);
        box->show();
    });
}

void showRecordNotice(const QString &text)
{
    auto *box =
        new QMessageBox(QMessageBox::Information, QObject::tr("提示"), text, QMessageBox::Ok);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowFlag(Qt::WindowStaysOnTopHint);
    box->show();
}
