#include "ui/home/firstwidget.h"

#include "core/platform/processes.h"
#include "core/project/projectdata.h"
#include "ui/app/startup.h"
#include "ui/base/projectfiledialog.h"
#include "ui/home/qrecentwidget.h"

#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolButton>

namespace {
constexpr int kMenuBarWidth = 80;
constexpr int kTopBarHeight = 51;
constexpr int kButtonSize = 68;
}  // namespace

FirstWidget::FirstWidget(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("main_widget"));
    resize(840, 560);

    m_menuBar = new QWidget(this);
    m_menuBar->setObjectName(QStringLiteral("first_widget_menu_bar"));
    m_menuBar->setAttribute(Qt::WA_StyledBackground);
    m_account = makeMenuButton(QStringLiteral(":/images/icon_default_header.png"), tr("登录"));
    m_new = makeMenuButton(QStringLiteral(":/images/icon_new.png"), tr("新建"));
    m_open = makeMenuButton(QStringLiteral(":/images/icon_open.png"), tr("打开"));
    m_setting = makeMenuButton(QStringLiteral(":/images/icon_setting.png"), tr("设置"));
    const int x = (kMenuBarWidth - kButtonSize) / 2;
    m_account->move(x, 16);
    m_new->move(x, m_account->geometry().bottom() + 16);
    m_open->move(x, m_new->geometry().bottom() + 16);

    m_rightArea = new QWidget(this);
    m_rightArea->setObjectName(QStringLiteral("home_right_area"));
    m_rightArea->setAttribute(Qt::WA_StyledBackground);

    m_topBar = new QWidget(m_rightArea);
    m_topBar->setObjectName(QStringLiteral("home_top_bar"));
    m_title = new QLabel(tr("Lumora录课"), m_topBar);
    m_title->setObjectName(QStringLiteral("home_title_label"));
    m_title->setGeometry(20, 0, 200, kTopBarHeight);
    m_title->setAttribute(Qt::WA_TransparentForMouseEvents);

    m_windowButtons = new QWidget(m_topBar);
    m_windowButtons->resize(114, 24);
    auto *buttons = new QHBoxLayout(m_windowButtons);
    buttons->setDirection(QBoxLayout::RightToLeft);
    buttons->setContentsMargins(0, 0, 0, 0);
    buttons->setSpacing(21);
    m_close = makeWindowButton(QStringLiteral(":/images/icon_window_close1.png"), tr("关闭"));
    m_maximize =
        makeWindowButton(QStringLiteral(":/images/icon_window_maximize1.png"), tr("最大化"));
    m_restore = makeWindowButton(QStringLiteral(":/images/icon_window_restore1.png"), tr("还原"));
    m_minimize =
        makeWindowButton(QStringLiteral(":/images/icon_window_minimize1.png"), tr("最小化"));
    m_restore->hide();
    for (QToolButton *b : {m_close, m_maximize, m_restore, m_minimize})
        buttons->addWidget(b);

    m_recent = new QRecentWidget(m_rightArea);
    m_recent->setObjectName(QStringLiteral("recent_widget"));

    m_account->hide();
    m_topBar->installEventFilter(this);

    connect(m_new, &QToolButton::clicked, this, &FirstWidget::onNew);
    connect(m_open, &QToolButton::clicked, this, &FirstWidget::onOpen);
    connect(m_setting, &QToolButton::clicked, this, &FirstWidget::openSettings);
    connect(m_recent, &QRecentWidget::sigOnClickItem, this,
            [this](const RecentFile &recent) { openProject(recent.filePath); });
    connect(m_close, &QToolButton::clicked, this, [this] { window()->close(); });
    connect(m_minimize, &QToolButton::clicked, this, [this] { window()->showMinimized(); });
    connect(m_maximize, &QToolButton::clicked, this, [this] {
        m_restore->show();
        m_maximize->hide();
        window()->setWindowState(Qt::WindowMaximized);
        window()->showMaximized();
    });
    connect(m_restore, &QToolButton::clicked, this, [this] {
        m_maximize->show();
        m_restore->hide();
        window()->setWindowState(Qt::WindowNoState);
        window()->showNormal();
    });

    // A slide-show agent left over from an earlier run would hold its presentation open.
    killProcesses(QStringLiteral("lumora_slide_agent"));
}

QToolButton *FirstWidget::makeMenuButton(const QString &icon, const QString &text)
{
    auto *button = new QToolButton(m_menuBar);
    button->setFixedSize(kButtonSize, kButtonSize);
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    button->setIcon(QIcon(icon));
    button->setIconSize(QSize(30, 30));
    button->setText(text);
    button->setAutoRaise(true);
    return button;
}

QToolButton *FirstWidget::makeWindowButton(const QString &icon, const QString &text)
{
    auto *button = new QToolButton(m_windowButtons);
    button->setFixedSize(24, 24);
    button->setIconSize(QSize(24, 24));
    button->setIcon(QIcon(icon));
    button->setText(text);
    button->setToolTip(text);
    button->setAutoRaise(true);
    return button;
}

void FirstWidget::setUser(const QString &avatarPath, const QString &name)
{
    QPixmap avatar(avatarPath);
    if (avatar.isNull())
        avatar = QPixmap(QStringLiteral(":/images/icon_default_header.png"));
    avatar = avatar.scaled(30, 30, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    QPixmap round(30, 30);
    round.fill(Qt::transparent);
    QPainter painter(&round);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath circle;
    circle.addEllipse(0, 0, 30, 30);
    painter.setClipPath(circle);
    painter.drawPixmap(0, 0, avatar);
    painter.end();
    m_account->setIcon(QIcon(round));
    m_account->setText(name.isEmpty() ? tr("登录") : name);
}

void FirstWidget::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    const int w = width(), h = height();
    m_menuBar->setGeometry(0, 0, kMenuBarWidth, h);
    m_setting->move((kMenuBarWidth - kButtonSize) / 2, h - kButtonSize - 30);
    m_rightArea->setGeometry(kMenuBarWidth, 0, w - kMenuBarWidth, h);
    m_topBar->setGeometry(0, 0, m_rightArea->width(), kTopBarHeight);
    m_windowButtons->move(m_topBar->width() - 114 - 6, 6);
    m_recent->setGeometry(0, kTopBarHeight, m_rightArea->width(), h - kTopBarHeight);
}

bool FirstWidget::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_topBar)
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() == Qt::LeftButton)
            m_pressPos = mouse->position().toPoint();
        break;
    }
    case QEvent::MouseMove: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        // A press on the bar's first column or row starts no drag.
        // The pressed point stays under the pointer.
        if ((mouse->buttons() & Qt::LeftButton) && m_pressPos.x() > 0 && m_pressPos.y() > 0)
            window()->move(mouse->globalPosition().toPoint() -
                           m_topBar->mapTo(window(), m_pressPos));
        break;
    }
    case QEvent::MouseButtonRelease: m_pressPos = QPoint(-1, -1); break;
    default: break;
    }
    return QWidget::eventFilter(watched, event);
}

void FirstWidget::onNew()
{
    // The new project starts in an empty working folder.
    const QString dir = ProjectData::instance()->projectDir();
    QDir(dir).removeRecursively();
    QDir().mkpath(dir);
    openEditorWindow(QString());
    window()->close();
}

void FirstWidget::onOpen()
{
    const QString path = askProjectFileToOpen(this);
    if (!path.isEmpty())
        openProject(path);
}

void FirstWidget::openProject(const QString &path)
{
    openEditorWindow(path);
    window()->close();
}
