#pragma once
// The settings page's "软件版本" section: the installed version and the update check. It
// checks once when built; its button checks again, or, once a newer version was found, opens
// its download address in the browser. Main thread only.
#include "core/update/updatechecker.h"

#include <QPixmap>
#include <QWidget>

class LoadingView;
class QLabel;
class QPushButton;

class VersionWidget : public QWidget
{
    Q_OBJECT
public:
    explicit VersionWidget(QWidget *parent = nullptr);

    void checkNewVersion();
    bool isChecking() const { return m_checking; }

    // The installed version as shown: "0.2.5.0" gives "0.2.5".
    static QString shownVersion(const QString &version);

private slots:
    void on_btn_update_clicked();

private:
    void buildForm();
    void slot_check_finished(UpdateChecker::Result result, const QString &downloadUrl);

    LoadingView *m_loading = nullptr;
    QLabel *m_icon = nullptr;
    QLabel *m_status = nullptr;
    QLabel *m_version = nullptr;
    QPushButton *m_update = nullptr;
    bool m_checking = false;
    QPixmap m_rightPixmap;
    QPixmap m_warningPixmap;
    UpdateChecker *m_checker = nullptr;
    QString m_downloadUrl;
};
