#include "ui/base/maskform.h"

#include <QEvent>

MaskForm::MaskForm(QWidget *mainWidget) : QWidget(nullptr), m_mainWidget(mainWidget)
{
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint);
    setAutoFillBackground(true);
    setMaskColor(Qt::black, 0.6);
}

void MaskForm::setMainWidget(QWidget *widget)
{
    if (widget)
        m_mainWidget = widget;
}

void MaskForm::setWatchedWidget(QWidget *widget)
{
    if (m_watched)
        m_watched->removeEventFilter(this);
    m_watched = widget;
    if (widget)
        widget->installEventFilter(this);
}

void MaskForm::setMaskColor(const QColor &color, qreal opacity)
{
    if (!color.isValid())
        return;
    QPalette pal = palette();
    pal.setBrush(QPalette::All, QPalette::Window, color);
    setPalette(pal);
    setWindowOpacity(opacity);
}

void MaskForm::showEvent(QShowEvent *event)
{
    // The mask is a window of its own, so it needs the main widget's place on the screen.
    if (m_mainWidget) {
        const QRect area = m_mainWidget->isWindow() ? m_mainWidget->geometry()
                                                    : QRect(m_mainWidget->mapToGlobal(QPoint(0, 0)),
                                                            m_mainWidget->size());
        setGeometry(area);
    }
    QWidget::showEvent(event);
}

bool MaskForm::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_watched) {
        if (event->type() == QEvent::Show)
            show();
        else if (event->type() == QEvent::Hide)
            hide();
    }
    return QWidget::eventFilter(watched, event);
}
