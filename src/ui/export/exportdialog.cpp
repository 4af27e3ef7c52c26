#include "ui/export/exportdialog.h"
#include "ui/export/dialogtitlerow.h"

#include "core/export/exportloudness.h"
#include "core/platform/settings.h"
#include "core/project/projectdata.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QVBoxLayout>

#include <algorithm>

namespace {

QFrame *makeLine(QWidget *parent, const QString &name)
{
    auto *line = new QFrame(parent);
    line->setObjectName(name);
    line->setFixedHeight(1);
    line->setFrameShape(QFrame::NoFrame);
    return line;
}

}  // namespace

ExportDialog::ExportDialog(QWidget *parent) : QDialog(parent)
{
    buildForm();
    setWindowFlag(Qt::FramelessWindowHint, true);
    m_cloud->hide();  // there is no cloud upload
    connect(findChild<QPushButton *>(QStringLiteral("btn_close")), &QPushButton::clicked, this,
            &QDialog::close);
    connect(findChild<QPushButton *>(QStringLiteral("btn_export_cancel")), &QPushButton::clicked,
            this, &QDialog::close);
    QMetaObject::connectSlotsByName(this);
    fillFields();
}

void ExportDialog::buildForm()
{
    setObjectName(QStringLiteral("ExportDialog"));
    setWindowTitle(tr("Dialog"));
    setFixedSize(480, 440);
    auto *root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);

    auto *top = new QWidget(this);
    top->setObjectName(QStringLiteral("view_top"));
    top->setFixedHeight(44);
    auto *topLayout = new QHBoxLayout(top);
    topLayout->setContentsMargins(20, 0, 12, 0);
    auto *title = new QLabel(tr("导出"), top);
    title->setObjectName(QStringLiteral("label_dialog_title"));
    addTitleRow(topLayout, title, top);
    root->addWidget(top);
    root->addWidget(makeLine(this, QStringLiteral("line")));

    auto *center = new QWidget(this);
    center->setObjectName(QStringLiteral("view_center"));
    auto *centerLayout = new QVBoxLayout(center);
    centerLayout->setContentsMargins(30, 20, 30, 12);
    centerLayout->setSpacing(14);
    m_cover = new QLabel(tr("暂无封面"), center);
    m_cover->setObjectName(QStringLiteral("iv_cover"));
    m_cover->setFixedSize(320, 180);
    m_cover->setAlignment(Qt::AlignCenter);
    centerLayout->addWidget(m_cover, 0, Qt::AlignHCenter);

    // A labelled field: the labels as wide as the longer of the two (at least 60), the field
    // 28 high; gives the row.
    const int labelWidth = std::max({60, fontMetrics().horizontalAdvance(tr("视频名称")) + 6,
                                     fontMetrics().horizontalAdvance(tr("导出至")) + 6});
    const auto fieldRow = [center, labelWidth](const QString &label, const QString &labelName,
                                               QLineEdit *&field, const QString &fieldName) {
        auto *row = new QHBoxLayout;
        auto *text = new QLabel(label, center);
        text->setObjectName(labelName);
        text->setFixedWidth(labelWidth);
        field = new QLineEdit(center);
        field->setObjectName(fieldName);
        field->setFixedHeight(28);
        row->addWidget(text);
        row->addWidget(field);
        return row;
    };
    centerLayout->addLayout(fieldRow(tr("视频名称"), QStringLiteral("label"), m_name,
                                     QStringLiteral("edit_video_name")));
    QHBoxLayout *dirRow =
        fieldRow(tr("导出至"), QStringLiteral("label_2"), m_dir, QStringLiteral("edit_export_dir"));
    auto *browse = new QPushButton(tr("浏览"), center);
    browse->setObjectName(QStringLiteral("btn_export_open"));
    browse->setFixedSize(std::max(56, browse->fontMetrics().horizontalAdvance(browse->text()) + 16),
                         28);
    dirRow->addWidget(browse);
    centerLayout->addLayout(dirRow);

    auto *loudnessRow = new QHBoxLayout;
    m_loudness = new QCheckBox(tr("统一音量"), center);
    m_loudness->setObjectName(QStringLiteral("cb_export_loudness"));
    m_loudnessLevel = new QLabel(center);
    m_loudnessLevel->setObjectName(QStringLiteral("label_loudness_level"));
    connect(m_loudness, &QCheckBox::toggled, m_loudnessLevel, &QWidget::setEnabled);
    loudnessRow->addWidget(m_loudness);
    loudnessRow->addWidget(m_loudnessLevel, 1);
    centerLayout->addLayout(loudnessRow);

    m_cloud = new QCheckBox(tr("导出至云盘"), center);
    m_cloud->setObjectName(QStringLiteral("cb_export_cloud"));
    centerLayout->addWidget(m_cloud);
    centerLayout->addStretch();
    root->addWidget(center, 1);
    root->addWidget(makeLine(this, QStringLiteral("line_2")));

    auto *bottom = new QWidget(this);
    bottom->setObjectName(QStringLiteral("view_bottom"));
    bottom->setFixedHeight(60);
    auto *bottomLayout = new QHBoxLayout(bottom);
    bottomLayout->setContentsMargins(30, 0, 30, 0);
    bottomLayout->setSpacing(12);
    m_exportInfo = new QLabel(tr("时长"), bottom);
    m_exportInfo->setObjectName(QStringLiteral("label_export_info"));
    auto *cancel = new QPushButton(tr(" 取消"), bottom);
    cancel->setObjectName(QStringLiteral("btn_export_cancel"));
    cancel->setFixedSize(80, 30);
    auto *exportButton = new QPushButton(tr("导出"), bottom);
    exportButton->setObjectName(QStringLiteral("btn_export"));
    exportButton->setFixedSize(80, 30);
    exportButton->setDefault(true);
    bottomLayout->addWidget(m_exportInfo);
    bottomLayout->addStretch();
    bottomLayout->addWidget(cancel);
    bottomLayout->addWidget(exportButton);
    root->addWidget(bottom);
}

QString ExportDialog::lengthText(qint64 totalMs)
{
    const qint64 seconds = qMax<qint64>(0, totalMs) / 1000;
    const QString length =
        seconds < 60 ? tr("%1秒").arg(seconds) : tr("%1分%2秒").arg(seconds / 60).arg(seconds % 60);
    return tr("时长：%1").arg(length);
}

void ExportDialog::fillFields()
{
    const ProjectData *project = ProjectData::instance();
    const QString packed = project->filePath();
    m_name->setText(packed.isEmpty() ? tr("未命名") : QFileInfo(packed).completeBaseName());

    QString dir = readSetting(QStringLiteral("lastExportPath")).toString();
    if (dir.isEmpty()) {
        const QStringList movies =
            QStandardPaths::standardLocations(QStandardPaths::MoviesLocation);
        if (!movies.isEmpty())
            dir = movies.first();
    }
    m_dir->setText(dir);

    qint64 totalMs = 0;
    if (project->count() > 0) {
        const AVData &last = project->at(project->count() - 1);
        totalMs = last.position + last.endTime - last.beginTime;
    }
    m_exportInfo->setText(lengthText(totalMs));

    m_loudnessLevel->setText(tr("人声 %1 LUFS，峰值不超过 %2 dBTP")
                                 .arg(loudness::kTargetLufs, 0, 'f', 0)
                                 .arg(loudness::kTruePeakDb, 0, 'f', 1));
    const QVariant levelled = readSetting(QStringLiteral("exportLoudness"));
    m_loudness->setChecked(!levelled.isValid() || levelled.toBool());
    m_loudnessLevel->setEnabled(m_loudness->isChecked());

    const QString cover = project->coverPath();
    if (!cover.isEmpty() && QFileInfo::exists(cover)) {
        const QPixmap picture(cover);
        if (!picture.isNull())
            m_cover->setPixmap(
                picture.scaled(m_cover->size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    }
}

std::optional<double> ExportDialog::loudnessLufs() const
{
    if (!m_loudness->isChecked())
        return std::nullopt;
    return loudness::kTargetLufs;
}

void ExportDialog::warn(const QString &text)
{
    QMessageBox::warning(this, tr("警告"), text, QMessageBox::Ok);
}

void ExportDialog::on_btn_export_open_clicked()
{
    const QString dir = QFileDialog::getExistingDirectory(this, tr("导出至"), m_dir->text(),
                                                          QFileDialog::ShowDirsOnly);
    if (!dir.isEmpty())
        m_dir->setText(QDir::toNativeSeparators(dir));
}

void ExportDialog::on_btn_export_clicked()
{
    const QString name = m_name->text();
    const QString dirText = m_dir->text();
    if (name.trimmed().isEmpty()) {
        warn(tr("视频名称为空"));
        return;
    }
    if (dirText.trimmed().isEmpty()) {
        warn(tr("视频路径为空"));
        return;
    }
    const QDir dir(dirText);
    if (!dir.mkpath(QStringLiteral("."))) {
        warn(tr("请检查视频路径是否合法"));
        return;
    }
    // The name is one file name inside the chosen folder: a separator would put the export
    // (and the overwrite question) somewhere else, e.g. "../课" in the folder above.
    if (name.contains(QLatin1Char('/')) || name.contains(QChar(0))) {
        warn(tr("请检查视频名称是否合法"));
        return;
    }
    const QString target = dir.absoluteFilePath(QStringLiteral("%1.mp4").arg(name));
    const QFileInfo existing(target);
    if (existing.exists() || existing.isSymLink()) {
        const auto answer = QMessageBox::question(this, tr("提示"), tr("文件已存在，是否覆盖？"),
                                                  QMessageBox::Yes | QMessageBox::No);
        if (answer != QMessageBox::Yes)
            return;
        if (existing.isDir() || !QFile::remove(target)) {
            warn(tr("无法覆盖已有的文件：%1").arg(QDir::toNativeSeparators(target)));
            return;
        }
    }
    // Whether the file system takes the name is learnt by writing a small file under it.
    {
        QFile probe(target);
        if (probe.open(QIODevice::ReadWrite | QIODevice::Text)) {
            probe.write("hello");
            probe.flush();
            probe.close();
        }
    }
    if (!QFileInfo(target).isFile()) {
        // A folder that takes no file at all (read-only, a system folder) is the path's fault,
        // not the name's.
        QTemporaryFile plain(dir.filePath(QStringLiteral("export-probe-XXXXXX")));
        warn(plain.open() ? tr("请检查视频名称是否合法") : tr("请检查视频路径是否合法"));
        return;
    }
    QFile::remove(target);
    writeSetting(QStringLiteral("lastExportPath"), dirText);
    writeSetting(QStringLiteral("exportLoudness"), m_loudness->isChecked());
    emit sig_PreExport(target);
}
