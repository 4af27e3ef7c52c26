#pragma once
// One entry of the recent-project grid: a list item that carries its recent file.
// Main thread only.
#include "core/project/recentfiles.h"

#include <QListWidgetItem>

class WidgetItem : public QListWidgetItem
{
public:
    explicit WidgetItem(const RecentFile &recent, QListWidget *view = nullptr);

    const RecentFile &recentFile() const { return m_recent; }

private:
    RecentFile m_recent;
};
