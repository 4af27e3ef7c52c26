#include "ui/settings/versionwidget.h"

#include "ui/base/loadingview.h"

#include <QDebug>
#include <QDesktopServices>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>

VersionWidget::VersionWidget(QWidget *parent)
    : QWidget(parent), m_rightPixmap(QStringLiteral(":/images/icon_right.png")),
      m_warningPixmap(QStringLiteral(":/images/icon_warning.png"))
{
    buildForm();
    m_version->setText(tr("当前版本:V%1").arg(shownVersion(QStringLiteral(LUMORA_VERSION))));
    m_checker = new UpdateChecker(this);
    connect(m_checker, &UpdateChecker::finished, this,
            [this](UpdateChecker::Result result, const QString &url, const QString &) {
                slot_check_finished(result, url);
            });
    QMetaObject::connectSlotsByName(this);
    checkNewVersion();
}

void VersionWidget::buildForm()
{
    auto *root = new QVBoxLayout(this);
    root->setContentsMargins(30, 20, 30, 30);
    root->setSpacing(0);
    auto *title = new QLabel(tr("软件版本"), this);
    title->setObjectName(QStringLiteral("label_title"));
    title->setStyleSheet(
        QStringLiteral("QLabel{font-size: 14px;font-weight: 500;color: #131b26;}"));
    root->addWidget(title);
    root->addSpacing(40);

    auto *iconRow = new QHBoxLayout;
    m_loading = new LoadingView(this, QStringLiteral(":/images/icon_loading_setting.png"));
    m_loading->setObjectName(QStringLiteral("loading_view"));
    m_loading->setFixedSize(48, 48);
    m_icon = new QLabel(this);
    m_icon->setObjectName(QStringLiteral("label_icon"));
    m_icon->setFixedSize(48, 48);
    m_icon->setScaledContents(true);
    iconRow->addStretch();
    iconRow->addWidget(m_loading);
    iconRow->addWidget(m_icon);
    iconRow->addStretch();
    root->addLayout(iconRow);
    root->addSpacing(16);

    // A centred line of text in the settings page's own font size and colour.
    const auto addCentredLabel = [this, root](const QString &name, const QString &style) {
        auto *label = new QLabel(this);
        label->setObjectName(name);
        label->setAlignment(Qt::AlignCenter);
        label->setStyleSheet(style);
        root->addWidget(label);
        return label;
    };
    m_status =
        addCentredLabel(QStringLiteral("label_title_2"),
                        QStringLiteral("QLabel{font-size: 14px;font-weight: 400;color: #181e33;}"));
    root->addSpacing(8);
    m_version =
        addCentredLabel(QStringLiteral("label_version"),
                        QStringLiteral("QLabel{font-size: 12px;font-weight: 400;color: #646873;}"));
    root->addSpacing(24);

    m_update = new QPushButton(tr("检查更新"), this);
    m_update->setObjectName(QStringLiteral("btn_update"));
    // Wide enough for its longest text: "检查更新" and "去更新" in every language.
    QFont font = m_update->font();
    font.setPixelSize(14);
    const QFontMetrics metrics(font);
    m_update->setFixedSize(std::max({120, metrics.horizontalAdvance(tr("检查更新")) + 28,
                                     metrics.horizontalAdvance(tr("去更新")) + 28}),
                           34);
    m_update->setCursor(Qt::PointingHandCursor);
    m_update->setStyleSheet(
        QStringLiteral("QPushButton{border: 1px solid #94c1ff;border-radius: 5px;font-size: 14px;"
                       "font-weight: 400;text-align: center;color: #1677ff;}"
                       "QPushButton:hover{background: #e9f3ff;}"
                       "QPushButton:pressed{background: #d8eaff;opacity: 0.8;}"));
    root->addWidget(m_update, 0, Qt::AlignHCenter);
    root->addStretch();
}

QString VersionWidget::shownVersion(const QString &version)
{
    const int dot = version.lastIndexOf(QLatin1Char('.'));
    return dot > 0 ? version.left(dot) : version;
}

void VersionWidget::checkNewVersion()
{
    if (m_checking)
        return;
    m_checking = true;
    m_status->setText(tr("正在检查更新..."));
    m_icon->hide();
    m_loading->show();
    m_checker->check(QStringLiteral(LUMORA_VERSION));
}

void VersionWidget::slot_check_finished(UpdateChecker::Result result, const QString &downloadUrl)
{
    m_loading->hide();
    m_icon->show();
    switch (result) {
    case UpdateChecker::UpToDate:
        m_icon->setPixmap(m_rightPixmap);
        m_status->setText(tr("Lumora录课已是最新版本"));
        break;
    case UpdateChecker::NewVersion:
        m_icon->setPixmap(m_warningPixmap);
        m_status->setText(tr("检测有新版本"));
        m_update->setText(tr("去更新"));
        m_downloadUrl = downloadUrl;
        break;
    case UpdateChecker::Failed:
        m_icon->setPixmap(m_warningPixmap);
        m_status->setText(tr("检查更新失败，请重试"));
        break;
    case UpdateChecker::NoServer:
        // A build without an update server: "retry" would promise what no press can do.
        m_icon->setPixmap(m_warningPixmap);
        m_status->setText(tr("没有可用的更新服务器，无法检查更新"));
        break;
    }
    m_checking = false;
}

void VersionWidget::on_btn_update_clicked()
{
    if (!m_downloadUrl.isEmpty()) {
        // Only a web address reaches the browser (the checker accepts no other).
        if (UpdateChecker::isWebAddress(m_downloadUrl))
            QDesktopServices::openUrl(QUrl(m_downloadUrl));
        else
            qWarning() << "btn_update: download address refused:" << m_downloadUrl;
        return;
    }
    checkNewVersion();
}
