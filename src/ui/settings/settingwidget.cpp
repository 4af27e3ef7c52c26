#include "ui/settings/settingwidget.h"

#include "ui/settings/camerasettingswidget.h"
#include "ui/settings/itemview.h"
#include "ui/settings/keyssettingswidget.h"
#include "ui/settings/languagesettingswidget.h"
#include "ui/settings/soundsettingswidget.h"
#include "ui/settings/versionwidget.h"

#include <QHBoxLayout>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QStackedWidget>
#include <QStyleOption>
#include <QVBoxLayout>

SettingWidget::SettingWidget(QWidget *parent) : QWidget(parent)
{
    buildForm();
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_TranslucentBackground);
    setStyleSheet(QStringLiteral(
        "QWidget#SettingWidget{background: #ffffff;border: 1px solid #e0e0e0;border-radius: 9px;}"
        "QWidget#line{background:#f2f2f2;}QListView{background:transparent;border:0px;}"));

    const auto addEntry = [this](const QString &icon, const QString &text) {
        auto *item = new QListWidgetItem(m_menu);
        item->setSizeHint(QSize(0, 50));
        m_menu->setItemWidget(
            item, new ItemView(QStringLiteral(":/images/%1.png").arg(icon),
                               QStringLiteral(":/images/%1_checked.png").arg(icon), text));
    };
    addEntry(QStringLiteral("icon_version"), tr("软件版本"));
    addEntry(QStringLiteral("icon_sound"), tr("声音"));
    addEntry(QStringLiteral("icon_language"), tr("语言"));
    addEntry(QStringLiteral("icon_keys"), tr("快捷键"));
    addEntry(QStringLiteral("icon_camera_setting"), tr("摄像头"));
    connect(m_menu, &QListWidget::currentItemChanged, this,
            &SettingWidget::slot_current_item_changed);
    m_menu->setCurrentRow(0);
}

void SettingWidget::buildForm()
{
    setObjectName(QStringLiteral("SettingWidget"));
    resize(640, 420);
    auto *root = new QHBoxLayout(this);
    root->setContentsMargins(1, 1, 1, 1);
    root->setSpacing(0);

    m_menu = new QListWidget(this);
    m_menu->setObjectName(QStringLiteral("listview_menu"));
    m_menu->setFixedWidth(160);
    m_menu->setFocusPolicy(Qt::NoFocus);
    m_menu->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto *menuColumn = new QVBoxLayout;
    menuColumn->setContentsMargins(0, 50, 0, 10);
    menuColumn->addWidget(m_menu);
    root->addLayout(menuColumn);

    auto *line = new QWidget(this);
    line->setObjectName(QStringLiteral("line"));
    line->setAttribute(Qt::WA_StyledBackground, true);
    line->setFixedWidth(1);
    root->addWidget(line);

    auto *right = new QVBoxLayout;
    right->setContentsMargins(0, 0, 0, 0);
    right->setSpacing(0);
    m_titleView = new QWidget(this);
    m_titleView->setObjectName(QStringLiteral("title_view"));
    m_titleView->setFixedHeight(40);
    auto *titleLayout = new QHBoxLayout(m_titleView);
    titleLayout->setContentsMargins(0, 0, 12, 0);
    titleLayout->addStretch();
    auto *minimize = new QPushButton(m_titleView);
    minimize->setObjectName(QStringLiteral("btn_min_window"));
    minimize->setIcon(QIcon(QStringLiteral(":/images/icon_window_minimize1.png")));
    minimize->setFlat(true);
    minimize->setFixedSize(24, 24);
    minimize->hide();
    auto *close = new QPushButton(m_titleView);
    close->setObjectName(QStringLiteral("btn_close_window"));
    close->setIcon(QIcon(QStringLiteral(":/images/icon_window_close1.png")));
    close->setIconSize(QSize(16, 16));
    close->setFlat(true);
    close->setFixedSize(24, 24);
    titleLayout->addWidget(minimize);
    titleLayout->addWidget(close);
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    m_titleView->installEventFilter(this);
    right->addWidget(m_titleView);

    m_pages = new QStackedWidget(this);
    auto *pageVersion = new QWidget(m_pages);
    pageVersion->setObjectName(QStringLiteral("page_version"));
    auto *pageLayout = new QVBoxLayout(pageVersion);
    pageLayout->setContentsMargins(0, 0, 0, 0);
    m_versionWidget = new VersionWidget(pageVersion);
    pageLayout->addWidget(m_versionWidget);
    auto *pageSound = new QWidget(m_pages);
    pageSound->setObjectName(QStringLiteral("page_sound"));
    auto *soundLayout = new QVBoxLayout(pageSound);
    soundLayout->setContentsMargins(0, 0, 0, 0);
    m_soundWidget = new SoundSettingsWidget(pageSound);
    soundLayout->addWidget(m_soundWidget);
    m_languageWidget = new LanguageSettingsWidget(m_pages);
    auto *page2 = new QWidget(m_pages);
    page2->setObjectName(QStringLiteral("page_2"));
    m_pages->addWidget(pageVersion);
    m_pages->addWidget(pageSound);
    m_pages->addWidget(m_languageWidget);
    m_keysWidget = new KeysSettingsWidget(m_pages);
    m_pages->addWidget(m_keysWidget);
    m_cameraWidget = new CameraSettingsWidget(m_pages);
    m_pages->addWidget(m_cameraWidget);
    m_pages->addWidget(page2);
    right->addWidget(m_pages, 1);
    root->addLayout(right, 1);
}

void SettingWidget::slot_current_item_changed(QListWidgetItem *current, QListWidgetItem *previous)
{
    if (auto *view = previous ? qobject_cast<ItemView *>(m_menu->itemWidget(previous)) : nullptr)
        view->setSelected(false);
    if (auto *view = current ? qobject_cast<ItemView *>(m_menu->itemWidget(current)) : nullptr)
        view->setSelected(true);
    if (current)
        m_pages->setCurrentIndex(qMax(0, m_menu->row(current)));
}

void SettingWidget::paintEvent(QPaintEvent *)
{
    // Draws the style sheet's rounded white background on the translucent window.
    QStyleOption option;
    option.initFrom(this);
    QPainter painter(this);
    style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, this);
}

bool SettingWidget::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (watched == m_titleView && (type == QEvent::MouseButtonPress || type == QEvent::MouseMove ||
                                   type == QEvent::MouseButtonRelease)) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        const QPoint global = mouse->globalPosition().toPoint();
        if (type == QEvent::MouseButtonPress && mouse->button() == Qt::LeftButton)
            m_dragAnchor = global - pos();
        else if (type == QEvent::MouseMove && mouse->buttons() == Qt::LeftButton &&
                 m_dragAnchor.x() > 0)
            move(global - m_dragAnchor);
        else if (type == QEvent::MouseButtonRelease && mouse->button() == Qt::LeftButton)
            m_dragAnchor = QPoint(-1, -1);
    }
    return QWidget::eventFilter(watched, event);
}
