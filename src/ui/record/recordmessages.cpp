#include "ui/record/recordmessages.h"

#include "core/record/recordhealth.h"
#include "core/record/screenrecord.h"

#include <QDebug>
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

void tellAfterRecording(const ScreenRecord *recorder, bool stoppedForDisk)
{
    const qint64 late = recorder ? recorder->latePictureCount() : 0;
    const qint64 total = recorder ? recorder->pictureCount() : 0;
    qInfo() << "recording ended: pictures late" << late << "of" << total;
    QStringList lines;
    if (stoppedForDisk)
        lines << RecordHealth::diskFullText();
    const QString lateText = RecordHealth::latePicturesText(late, total);
    if (!lateText.isEmpty())
        lines << lateText;
    if (!lines.isEmpty())
        showRecordNotice(lines.join('\n'));
}
