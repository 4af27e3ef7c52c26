#include "ui/home/widgetitem.h"

WidgetItem::WidgetItem(const RecentFile &recent, QListWidget *view)
    : QListWidgetItem(view, QListWidgetItem::UserType), m_recent(recent)
{
    setSizeHint(QSize(162, 120));
    setToolTip(recent.filePath);
}
