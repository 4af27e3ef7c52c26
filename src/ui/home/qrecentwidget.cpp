#include "ui/home/qrecentwidget.h"

#include "ui/home/qitemwidget.h"
#include "ui/home/widgetitem.h"

#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QStackedWidget>
#include <QVBoxLayout>

QRecentWidget::QRecentWidget(QWidget *parent) : QWidget(parent)
{
    // Named before its labels are made: the style sheet's "#recent_widget QLabel" applies.
    setObjectName(QStringLiteral("recent_widget"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(10);

    auto *title = new QLabel(tr("最近使用"), this);
    title->setObjectName(QStringLiteral("recent_title"));
    title->setStyleSheet(QStringLiteral("margin-left:10px;"));
    layout->addWidget(title);

    m_stack = new QStackedWidget(this);
    m_stack->setObjectName(QStringLiteral("recent_stack"));
    m_stack->setStyleSheet(
        QStringLiteral("QStackedWidget#recent_stack{border-bottom-right-radius:9px;"
                       "background:#ffffff;}"));
    layout->addWidget(m_stack, 1);

    m_list = new QListWidget(m_stack);
    m_list->setObjectName(QStringLiteral("recent_list"));
    m_list->setStyleSheet(QStringLiteral("border-bottom-right-radius:9px;"));
    m_list->setIconSize(QSize(160, 90));
    m_list->setViewMode(QListView::IconMode);
    m_list->setResizeMode(QListView::Adjust);
    m_list->setMovement(QListView::Static);
    m_list->setSpacing(18);
    m_list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->setFrameShape(QFrame::NoFrame);
    m_stack->addWidget(m_list);

    auto *empty = new QWidget(m_stack);
    empty->setObjectName(QStringLiteral("recent_empty"));
    empty->setStyleSheet(QStringLiteral("border-bottom-right-radius:9px;"));
    auto *emptyLayout = new QVBoxLayout(empty);
    emptyLayout->addStretch(2);
    auto *icon = new QLabel(empty);
    icon->setPixmap(QPixmap(QStringLiteral(":/images/icon_no_recent.png")));
    icon->setAlignment(Qt::AlignCenter);
    emptyLayout->addWidget(icon);
    m_emptyLabel = new QLabel(tr("暂无最近使用"), empty);
    m_emptyLabel->setObjectName(QStringLiteral("recent_empty_label"));
    m_emptyLabel->setStyleSheet(QStringLiteral("color: #8A8b99;"));
    m_emptyLabel->setAlignment(Qt::AlignCenter);
    emptyLayout->addWidget(m_emptyLabel);
    emptyLayout->addStretch(3);
    m_stack->addWidget(empty);

    connect(m_list, &QListWidget::itemClicked, this, &QRecentWidget::onItemClicked);
    reload();
}

void QRecentWidget::reload()
{
    m_recentFiles = RecentFiles::instance()->files();
    m_list->clear();
    if (m_recentFiles.isEmpty()) {
        m_stack->setCurrentIndex(1);
        return;
    }
    m_stack->setCurrentIndex(0);
    for (const RecentFile &recent : std::as_const(m_recentFiles)) {
        auto *item = new WidgetItem(recent, m_list);
        const QString cover = QFileInfo(recent.coverPath()).isFile()
                                  ? recent.coverPath()
                                  : QStringLiteral(":/images/default_recent_cover.png");
        m_list->setItemWidget(item, new QItemWidget(cover, recent.displayName()));
    }
}

void QRecentWidget::onItemClicked(QListWidgetItem *item)
{
    if (auto *entry = dynamic_cast<WidgetItem *>(item))
        emit sigOnClickItem(entry->recentFile());
}
