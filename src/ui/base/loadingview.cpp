#include "ui/base/loadingview.h"

#include <QPainter>
#include <QTimer>

LoadingView::LoadingView(QWidget *parent, const QString &iconPath)
    : QLabel(parent), m_pixmap(iconPath)
{
    setFixedSize(m_pixmap.size());
    m_timer = new QTimer(this);
    m_timer->setInterval(30);
    connect(m_timer, &QTimer::timeout, this, [this] {
        m_angle += 5;
        update();
    });
    m_timer->start();
}

void LoadingView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.translate(width() / 2.0, height() / 2.0);
    painter.rotate(m_angle);
    painter.drawPixmap(-m_pixmap.width() / 2, -m_pixmap.height() / 2, m_pixmap);
    if (m_angle >= 360)
        m_angle = 0;
}
