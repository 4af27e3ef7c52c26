#include "ui/base/loaddingview.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

LoaddingView::LoaddingView(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("LoaddingView"));
    resize(1000, 300);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addStretch();

    label_icon = new QLabel(this);
    label_icon->setObjectName(QStringLiteral("label_icon"));
    label_icon->setFixedHeight(102);
    label_icon->setAlignment(Qt::AlignCenter);
    label_icon->setPixmap(QPixmap(QStringLiteral(":/images/icon_file_load.png")));
    layout->addWidget(label_icon);

    auto *widget = new QWidget(this);
    widget->setObjectName(QStringLiteral("widget"));
    widget->setFixedHeight(22);
    auto *row = new QHBoxLayout(widget);
    row->setSpacing(8);
    row->setContentsMargins(20, 0, 20, 0);
    label_ppt_icon = new QLabel(widget);
    label_ppt_icon->setObjectName(QStringLiteral("label_ppt_icon"));
    label_ppt_icon->setPixmap(QPixmap(QStringLiteral(":/images/icon_ppt_file.png")));
    label_file_name = new QLabel(widget);
    label_file_name->setObjectName(QStringLiteral("label_file_name"));
    label_file_name->setMargin(0);
    label_opening = new QLabel(tr("正在打开文件..."), widget);
    label_opening->setObjectName(QStringLiteral("label_opening"));
    row->addStretch();
    row->addWidget(label_ppt_icon);
    row->addWidget(label_file_name);
    row->addWidget(label_opening);
    row->addStretch();
    layout->addWidget(widget);
    layout->addStretch();

    label_ppt_icon->hide();
}

void LoaddingView::setFileName(const QString &text)
{
    label_file_name->setText(text);
}

void LoaddingView::setPptIconVisible(bool visible)
{
    label_ppt_icon->setVisible(visible);
}
