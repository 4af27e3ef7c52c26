#include "ui/slides/pptmainwidget.h"

#include <QDebug>
#include <QKeyEvent>

PptMainWidget::PptMainWidget(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("ppt_main_widget"));
}

bool PptMainWidget::translateKeyEvent(int message, int keyCode) const
{
    qDebug() << "translateKeyEvent,message:<<" << message << ";keycode：" << keyCode;
    return true;
}

bool PptMainWidget::event(QEvent *)
{
    return false;
}

void PptMainWidget::keyPressEvent(QKeyEvent *event)
{
    qDebug() << "keyPressEvent,event:" << event;
}

void PptMainWidget::keyReleaseEvent(QKeyEvent *event)
{
    qDebug() << "keyReleaseEvent,event:" << event;
}

bool PptMainWidget::eventFilter(QObject *, QEvent *event)
{
    qDebug() << "eventFilter,event:" << event;
    return false;
}
