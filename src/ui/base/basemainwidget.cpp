#include "ui/base/basemainwidget.h"

#include "ui/base/basewindowinterface.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QResizeEvent>
#include <QToolButton>
#include <QVBoxLayout>

BaseMainWidget::BaseMainWidget(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("base_main_widget"));

    m_layout = new QVBoxLayout(this);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);

    m_ui.titleBar = new QWidget(this);
    m_ui.titleBar->setFixedHeight(kTitleBarHeight);
    auto *barLayout = new QHBoxLayout(m_ui.titleBar);
    barLayout->setContentsMargins(0, 0, 0, 0);

    m_ui.avatar = new QLabel(m_ui.titleBar);
    m_ui.avatar->setFixedSize(30, 30);
    m_ui.userName = new QLabel(m_ui.titleBar);
    m_ui.userName->setObjectName(QStringLiteral("user_name"));
    barLayout->addWidget(m_ui.avatar);
    barLayout->addWidget(m_ui.userName);
    barLayout->addStretch();

    m_ui.minimize = makeButton(QStringLiteral(":/images/icon_window_minimize.png"), tr("最小化"));
    m_ui.minimize->setContentsMargins(0, 30, 0, 0);
    m_ui.maximize = makeButton(QStringLiteral(":/images/icon_window_maximize.png"), tr("最大化"));
    m_ui.restore = makeButton(QStringLiteral(":/images/icon_window_restore.png"), tr("还原"));
    m_ui.close = makeButton(QStringLiteral(":/images/icon_window_close.png"), tr("关闭"));
    m_ui.restore->hide();

    auto *buttons = new QHBoxLayout;
    buttons->setContentsMargins(0, 19, 19, 0);
    buttons->setSpacing(0);
    buttons->addWidget(m_ui.minimize);
    buttons->addSpacing(30);
    buttons->addWidget(m_ui.maximize);
    buttons->addWidget(m_ui.restore);
    buttons->addSpacing(30);
    buttons->addWidget(m_ui.close);
    barLayout->addLayout(buttons);
    barLayout->setAlignment(buttons, Qt::AlignTop);

    // The title is centred over the whole bar, outside the layout, so the buttons do not
    // push it aside.
    m_ui.title = new QLabel(m_ui.titleBar);
    m_ui.title->setObjectName(QStringLiteral("window_title"));
    m_ui.title->setAlignment(Qt::AlignCenter);
    m_ui.title->move(100, 0);
    m_ui.title->lower();

    // Kept at the top also while the frame has no content yet.
    m_layout->addWidget(m_ui.titleBar, 0, Qt::AlignTop);

    connect(m_ui.minimize, &QToolButton::clicked, this, [this] { window()->showMinimized(); });
    connect(m_ui.maximize, &QToolButton::clicked, this, [this] { window()->showMaximized(); });
    connect(m_ui.restore, &QToolButton::clicked, this, [this] { window()->showNormal(); });
    connect(m_ui.close, &QToolButton::clicked, this, &BaseMainWidget::onCloseClicked);
}

QToolButton *BaseMainWidget::makeButton(const QString &icon, const QString &text)
{
    auto *button = new QToolButton(m_ui.titleBar);
    button->setFixedSize(24, 24);
    button->setIconSize(QSize(24, 24));
    // Flat: no button panel behind the light icon on the dark bar.
    button->setAutoRaise(true);
    button->setIcon(QIcon(icon));
    button->setText(text);
    button->setToolTip(text);
    return button;
}

void BaseMainWidget::setTitle(const QString &title)
{
    m_ui.title->setText(title);
}

void BaseMainWidget::setContentWidget(QWidget *widget)
{
    m_ui.content = widget;
    if (widget)
        m_layout->addWidget(widget, 1);
}

void BaseMainWidget::setMaximizedLook(bool maximized)
{
    m_maximized = maximized;
    m_ui.restore->setVisible(m_sizeButtonsShown && maximized);
    m_ui.maximize->setVisible(m_sizeButtonsShown && !maximized);
}

void BaseMainWidget::setSizeButtonsShown(bool shown)
{
    m_sizeButtonsShown = shown;
    setMaximizedLook(m_maximized);
}

void BaseMainWidget::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    m_ui.title->resize(qMax(0, event->size().width() - 200), kTitleBarHeight);
}

void BaseMainWidget::onCloseClicked()
{
    auto *content = dynamic_cast<BaseWindowInterface *>(m_ui.content);
    if (content && !content->preCloseWindow())
        return;
    window()->close();
}
