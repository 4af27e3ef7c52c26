#include "ui/board/colorradiobtn.h"

#include <QPainter>

ColorRadioBtn::ColorRadioBtn(const QColor &color, QWidget *parent)
    : QRadioButton(parent), m_color(color)
{
    setFixedSize(20, 20);
    setStyleSheet(QString("ColorRadioBtn{background-color: %1;}").arg(color.name()));
    setCursor(Qt::PointingHandCursor);
}

void ColorRadioBtn::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::white, 1));
    painter.setBrush(m_color);
    painter.drawRoundedRect(QRectF(3, 3, width() - 6, height() - 6), 3, 3);
    if (isChecked()) {
        painter.setPen(QPen(QColor("#f2733d"), 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(QRectF(0.5, 0.5, width() - 1, height() - 1), 4, 4);
    }
}
