#include "ui/record/screenselectedbuttonwidget.h"

#include <QPushButton>

#include <algorithm>

ScreenSelectedButtonWidget::ScreenSelectedButtonWidget(QWidget *parent) : QWidget(parent)
{
    setObjectName("screen_selected_button_widget");
    setAttribute(Qt::WA_TranslucentBackground);
    m_cancel = new QPushButton(tr("取消"), this);
    m_cancel->setObjectName("screen_cancel_reocrd");
    m_cancel->setCursor(Qt::PointingHandCursor);
    m_start = new QPushButton(tr("开始录制"), this);
    m_start->setObjectName("screen_start_reocrd");
    m_start->setCursor(Qt::PointingHandCursor);
    // 70 wide each, or wider for a longer word; 11 between them.
    const auto widthFor = [](QPushButton *button) {
        return std::max(70, button->fontMetrics().horizontalAdvance(button->text()) + 16);
    };
    const int cancelWidth = widthFor(m_cancel);
    const int startWidth = widthFor(m_start);
    m_cancel->setGeometry(0, 0, cancelWidth, 26);
    m_start->setGeometry(cancelWidth + 11, 0, startWidth, 26);
    setFixedSize(cancelWidth + 11 + startWidth, 26);
    connect(m_cancel, &QPushButton::clicked, this, &ScreenSelectedButtonWidget::sig_Cancel);
    connect(m_start, &QPushButton::clicked, this, &ScreenSelectedButtonWidget::sig_StartRecord);
}
