#pragma once
// Asks for the exported video's name and folder, shows the project's cover and length, checks
// that the target can be written and emits the chosen file path (sig_PreExport). The dialog
// stays open after that; the caller closes it (see runExportFlow). "统一音量" (on unless the
// teacher turned it off last time) asks for the voice at loudness::kTargetLufs. Main thread
// only.
#include <QDialog>

#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;
class QCheckBox;

class ExportDialog : public QDialog
{
    Q_OBJECT
public:
    explicit ExportDialog(QWidget *parent = nullptr);

    // "时长：59秒", "时长：2分5秒" for a project of `totalMs` milliseconds.
    static QString lengthText(qint64 totalMs);
    // The level the export brings the sound to; none when "统一音量" is off.
    std::optional<double> loudnessLufs() const;

signals:
    void sig_PreExport(QString filePath);

private slots:
    void on_btn_export_open_clicked();
    void on_btn_export_clicked();

private:
    void buildForm();
    void fillFields();
    void warn(const QString &text);

    QLabel *m_cover = nullptr;
    QLineEdit *m_name = nullptr;
    QLineEdit *m_dir = nullptr;
    QLabel *m_exportInfo = nullptr;
    QCheckBox *m_cloud = nullptr;
    QCheckBox *m_loudness = nullptr;
    QLabel *m_loudnessLevel = nullptr;
};
