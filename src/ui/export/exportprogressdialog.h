#pragma once
// Runs one export and shows its progress: percentage, elapsed and estimated remaining time,
// a cancel button, and at the end a message that says whether the export succeeded (judged by
// the export's own result, with its reason on failure). Deletes itself when closed, and takes
// its ExportManager with it. Main thread only.
#include <QDialog>
#include <QElapsedTimer>
#include <QPointer>

#include <optional>

#include "core/export/exportmanager.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

class ExportProgressDialog : public QDialog
{
    Q_OBJECT
public:
    explicit ExportProgressDialog(QWidget *parent = nullptr);

    // Creates the ExportManager and starts exporting the open project to `path`, its sound
    // brought to `loudnessLufs` when given (ExportManager::setLoudness).
    void startExport(const QString &path, std::optional<double> loudnessLufs = std::nullopt);

    // "mm:ss" for `ms` milliseconds; the minutes are not capped at 60.
    static QString timeText(qint64 ms);

protected:
    void reject() override;
    void closeEvent(QCloseEvent *event) override;

private:
    void buildForm();
    void slot_cancel_or_close();
    void slot_export_max_progress(int maxProgress);
    void slot_export_progress(int curProgress);
    void slot_export_finished(bool sucess);
    void slot_export_canceled();

    QLabel *m_progress = nullptr;
    QLabel *m_useTime = nullptr;
    QLabel *m_remainingTime = nullptr;
    QProgressBar *m_bar = nullptr;
    QPushButton *m_cancel = nullptr;
    QElapsedTimer m_elapsed;
    QTimer *m_refreshTimer = nullptr;
    QPointer<ExportManager> m_manager;
    QString m_path;
    bool m_done = false;  // the export has ended (finished or cancelled)
};
