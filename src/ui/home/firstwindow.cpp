#include "ui/home/firstwindow.h"

#include "ui/home/firstwidget.h"

#include <QPainter>
#include <QStyleOption>

FirstWindow::FirstWindow(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("main_window"));
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowIcon(QIcon(QStringLiteral(":/images/logo.png")));
    setWindowTitle(tr("Lumora录课"));
    m_widget = new FirstWidget(this);
    m_widget->setGeometry(1, 1, 840, 560);
    resize(842, 562);
}

void FirstWindow::paintEvent(QPaintEvent *event)
{
    // The style sheet's rounded white background with its border.
    Q_UNUSED(event);
    QStyleOption option;
    option.initFrom(this);
    QPainter painter(this);
    style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, this);
}

void FirstWindow::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    m_widget->setGeometry(1, 1, width() - 2, height() - 2);
}
