#include "ui/slides/pptshowwidget.h"

PptShowWidget::PptShowWidget(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("ppt_show_widget"));
}
