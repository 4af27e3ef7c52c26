#include "ui/export/dialogtitlerow.h"

#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>

QPushButton *addTitleRow(QHBoxLayout *row, QLabel *title, QWidget *parent)
{
    auto *close = new QPushButton(parent);
    close->setObjectName(QStringLiteral("btn_close"));
    close->setIcon(QIcon(QStringLiteral(":/images/icon_window_close.png")));
    close->setIconSize(QSize(16, 16));
    close->setFixedSize(24, 24);
    close->setFlat(true);
    row->addWidget(title);
    row->addStretch();
    row->addWidget(close);
    return close;
}
