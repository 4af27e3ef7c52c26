#include "ui/record/screenselectedbuttonwidget.h"

#include <QPushButton>

ScreenSelectedButtonWidget::ScreenSelectedButtonWidget(QWidget *parent) : QWidget(parent)
{
    setObjectName("screen_selected_button_widget");
    setAttribute(Qt::WA_TranslucentBackground);
    setFixedSize(151, 26);
    m_cancel = new QPushButton(tr("取消"), this);
    m_cancel->setObjectName("screen_cancel_reocrd");
    m_cancel->setGeometry(0, 0, 70, 26);
    m_cancel->setCursor(Qt::PointingHandCursor);
    m_start = new QPushButton(tr("开始录制"), this);
    m_start->setObjectName("screen_start_reocrd");
    m_start->setGeometry(81, 0, 70, 26);
    m_start->setCursor(Qt::PointingHandCursor);
    connect(m_cancel, &QPushButton::clicked, this, &ScreenSelectedButtonWidget::sig_Cancel);
    connect(m_start, &QPushButton::clicked, this, &ScreenSelectedButtonWidget::sig_StartRecord);
}
