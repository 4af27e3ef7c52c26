#pragma once
// The home page's grid of recently used projects ("最近使用"), or "暂无最近使用" when there
// are none. Keeps its own copy of the recent list, taken when it is built or reloaded.
// Main thread only.
#include "core/project/recentfiles.h"

#include <QList>
#include <QWidget>

class QLabel;
class QListWidget;
class QListWidgetItem;
class QStackedWidget;

class QRecentWidget : public QWidget
{
    Q_OBJECT
public:
    explicit QRecentWidget(QWidget *parent = nullptr);

    // Takes a new copy of the process-wide list and shows it.
    void reload();

    const QList<RecentFile> &recentFiles() const { return m_recentFiles; }
    QListWidget *listWidget() const { return m_list; }
    QStackedWidget *stackedWidget() const { return m_stack; }
    QLabel *emptyLabel() const { return m_emptyLabel; }

signals:
    void sigOnClickItem(const RecentFile &recent);

private:
    void onItemClicked(QListWidgetItem *item);

    QList<RecentFile> m_recentFiles;
    QStackedWidget *m_stack = nullptr;
    QListWidget *m_list = nullptr;
    QLabel *m_emptyLabel = nullptr;
};
