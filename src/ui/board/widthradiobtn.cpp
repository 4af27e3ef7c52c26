#include "ui/board/widthradiobtn.h"

#include <QMouseEvent>
#include <QPainter>

WidthRadioBtn::WidthRadioBtn(int lineWidth, QWidget *parent)
    : QRadioButton(parent), m_lineWidth(lineWidth)
{
    setFixedSize(44, 22);
    setCursor(Qt::PointingHandCursor);
}

void WidthRadioBtn::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    QColor ink("#FA5151");
    if (isChecked()) {
        painter.fillRect(rect(), QColor("#FA5151"));
        ink = QColor("#FFFFFF");
    }
    painter.setPen(QPen(ink, m_lineWidth));
    const int y = height() / 2;
    painter.drawLine((width() - 20) / 2, y, (width() + 20) / 2, y);
}

void WidthRadioBtn::mousePressEvent(QMouseEvent *event)
{
    setChecked(true);
    event->accept();
}
