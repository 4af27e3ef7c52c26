#include "ui/export/exportprogressdialog.h"
#include "ui/export/dialogtitlerow.h"

#include "core/export/exportmanager.h"

#include <QCloseEvent>
#include <QDebug>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

ExportProgressDialog::ExportProgressDialog(QWidget *parent) : QDialog(parent)
{
    buildForm();
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowFlag(Qt::FramelessWindowHint, true);
    m_progress->setStyleSheet(QStringLiteral("color:#F7704E"));
    connect(findChild<QPushButton *>(QStringLiteral("btn_close")), &QPushButton::clicked, this,
            &ExportProgressDialog::slot_cancel_or_close);
    connect(m_cancel, &QPushButton::clicked, this, &ExportProgressDialog::slot_cancel_or_close);
    m_elapsed.start();
    m_refreshTimer = new QTimer(this);
    m_refreshTimer->setInterval(200);
    connect(m_refreshTimer, &QTimer::timeout, this,
            [this] { m_useTime->setText(timeText(m_elapsed.elapsed())); });
    m_refreshTimer->start();
}

void ExportProgressDialog::buildForm()
{
    setObjectName(QStringLiteral("ExportProgressDialog"));
    setWindowTitle(tr("Form"));
    setFixedSize(420, 220);
    auto *root = new QVBoxLayout(this);
    root->setContentsMargins(24, 12, 12, 20);
    root->setSpacing(12);

    auto *top = new QHBoxLayout;
    auto *title = new QLabel(tr("导出至本地"), this);
    title->setObjectName(QStringLiteral("label"));
    title->setStyleSheet(QStringLiteral("color:#f3f3f3; font-size: 14px;"));
    addTitleRow(top, title, this);
    root->addLayout(top);

    auto *state = new QHBoxLayout;
    state->setContentsMargins(0, 8, 12, 0);
    auto *running = new QLabel(tr("正在导出..."), this);
    running->setObjectName(QStringLiteral("label_2"));
    running->setStyleSheet(QStringLiteral("color:#f3f3f3; font-size: 12px;"));
    m_progress = new QLabel(QStringLiteral("0%"), this);
    m_progress->setObjectName(QStringLiteral("label_progress"));
    m_progress->setMinimumWidth(48);  // "100%" without the row moving
    state->addWidget(running);
    state->addWidget(m_progress);
    state->addStretch();
    root->addLayout(state);

    auto *times = new QWidget(this);
    times->setObjectName(QStringLiteral("views_time"));
    auto *timesLayout = new QHBoxLayout(times);
    timesLayout->setContentsMargins(0, 0, 12, 0);
    timesLayout->setSpacing(4);
    auto *used = new QLabel(tr("已用时:"), times);
    used->setObjectName(QStringLiteral("label_3"));
    m_useTime = new QLabel(QStringLiteral("00:00"), times);
    m_useTime->setObjectName(QStringLiteral("label_use_time"));
    auto *left = new QLabel(tr("估计剩余时间:"), times);
    left->setObjectName(QStringLiteral("label_5"));
    m_remainingTime = new QLabel(QStringLiteral("--:--"), times);
    m_remainingTime->setObjectName(QStringLiteral("label_remaining_time"));
    timesLayout->addWidget(used);
    timesLayout->addWidget(m_useTime);
    timesLayout->addSpacing(24);
    timesLayout->addWidget(left);
    timesLayout->addWidget(m_remainingTime);
    timesLayout->addStretch();
    root->addWidget(times);

    m_bar = new QProgressBar(this);
    m_bar->setObjectName(QStringLiteral("pb_export"));
    m_bar->setTextVisible(false);
    m_bar->setFixedHeight(16);
    m_bar->setRange(0, 100);
    m_bar->setValue(0);
    auto *barRow = new QHBoxLayout;
    barRow->setContentsMargins(0, 0, 12, 0);
    barRow->addWidget(m_bar);
    root->addLayout(barRow);
    root->addStretch();

    m_cancel = new QPushButton(tr("取消"), this);
    m_cancel->setObjectName(QStringLiteral("btn_cancel"));
    m_cancel->setFixedSize(80, 30);
    auto *bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(m_cancel);
    bottom->addSpacing(12);
    root->addLayout(bottom);
}

QString ExportProgressDialog::timeText(qint64 ms)
{
    const qint64 seconds = qMax<qint64>(0, ms) / 1000;
    return QStringLiteral("%1:%2")
        .arg(seconds / 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

void ExportProgressDialog::startExport(const QString &path, std::optional<double> loudnessLufs)
{
    if (m_manager)
        return;
    m_path = path;
    m_manager = new ExportManager(this);
    connect(m_manager, &ExportManager::sig_ExportMaxProgress, this,
            &ExportProgressDialog::slot_export_max_progress);
    connect(m_manager, &ExportManager::sig_ExportProgress, this,
            &ExportProgressDialog::slot_export_progress);
    connect(m_manager, &ExportManager::sig_ExportFinished, this,
            &ExportProgressDialog::slot_export_finished);
    connect(m_manager, &ExportManager::sig_ExportCanceled, this,
            &ExportProgressDialog::slot_export_canceled);
    m_manager->setLoudness(loudnessLufs);
    m_manager->exportToFile(path);
}

void ExportProgressDialog::slot_cancel_or_close()
{
    if (m_manager && !m_done) {
        // The dialog closes when the export reports that it has stopped.
        m_cancel->setEnabled(false);
        m_manager->cancelExport();
        return;
    }
    close();
}

void ExportProgressDialog::reject()
{
    // Escape (and closing) cancels a running export like the cancel button.
    if (m_manager && !m_done) {
        slot_cancel_or_close();
        return;
    }
    QDialog::reject();
}

void ExportProgressDialog::closeEvent(QCloseEvent *event)
{
    if (m_manager && !m_done) {
        event->ignore();
        slot_cancel_or_close();
        return;
    }
    QDialog::closeEvent(event);
}

void ExportProgressDialog::slot_export_max_progress(int maxProgress)
{
    m_bar->setMinimum(0);
    m_bar->setMaximum(qMax(0, maxProgress));
}

void ExportProgressDialog::slot_export_progress(int curProgress)
{
    const int maximum = m_bar->maximum();
    qDebug() << "ExportManager::sig_ExportProgress:" << curProgress << "Maximum:" << maximum;
    // A project shorter than one second has a maximum of 0: no share can be worked out yet.
    const int percent =
        maximum > 0 ? int(qBound(qint64(0), qint64(curProgress) * 100 / maximum, qint64(100))) : 0;
    if (percent > 5)
        m_bar->setValue(qMin(curProgress, maximum));
    m_progress->setText(QStringLiteral("%1%").arg(percent));
    const qint64 elapsedMs = m_elapsed.elapsed();
    const qint64 remainingMs =
        curProgress > 0 ? qMax<qint64>(0, maximum - curProgress) * elapsedMs / curProgress : 0;
    m_remainingTime->setText(timeText(remainingMs));
}

void ExportProgressDialog::slot_export_finished(bool sucess)
{
    if (m_done)
        return;
    m_done = true;
    m_refreshTimer->stop();
    m_cancel->setEnabled(false);
    m_remainingTime->setText(QStringLiteral("00:00"));
    // The export's own result decides; a file at the path is not proof of success. A failed
    // export keeps the progress it had reached.
    const bool written = sucess && QFileInfo(m_path).isFile();
    if (written) {
        m_progress->setText(QStringLiteral("100%"));
        if (m_bar->maximum() <= 0)
            m_bar->setRange(0, 1);  // a full bar also for a project shorter than one second
        m_bar->setValue(m_bar->maximum());
    }
    // Over the editor window, as the program's other boxes: a box given this frameless dialog
    // as its parent came up in the top-left corner of the screen under openbox.
    QWidget *over = parentWidget() ? parentWidget()->window() : this;
    if (written) {
        QMessageBox::information(over, tr("提示"), tr("导出成功"), QMessageBox::Ok);
    } else {
        QString reason = m_manager ? m_manager->errorText() : QString();
        if (reason.isEmpty() && sucess)
            reason = tr("导出的文件不存在：%1").arg(m_path);
        QMessageBox box(QMessageBox::Warning, tr("警告"), tr("导出失败"), QMessageBox::Ok, over);
        box.setInformativeText(reason);
        box.exec();
    }
    window()->close();
}

void ExportProgressDialog::slot_export_canceled()
{
    m_done = true;
    m_refreshTimer->stop();
    close();
}
