#include "ui/board/countdownwidget.h"

CountDownWidget::CountDownWidget(QWidget *parent, int seconds) : QLabel(parent), m_count(seconds)
{
    setObjectName("count_down_widget");
    setFixedSize(200, 200);
    setAlignment(Qt::AlignCenter);
    setText(QString::number(seconds));
    m_timer.setInterval(1000);
    // A coarse timer may tick 5 % early: the count-down would end 150 ms too soon.
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &CountDownWidget::tick);
}

void CountDownWidget::start()
{
    m_timer.start();
}

void CountDownWidget::moveCenter(int x, int y)
{
    move(x - width() / 2, y - height() / 2);
}

void CountDownWidget::tick()
{
    // "<= 1" rather than "== 1": a count of 0 or less would otherwise count down for ever.
    if (m_count <= 1) {
        hide();
        m_timer.stop();
        QTimer::singleShot(100, this, &CountDownWidget::sig_CountDownFinished);
        return;
    }
    --m_count;
    setText(QString::number(m_count));
}
