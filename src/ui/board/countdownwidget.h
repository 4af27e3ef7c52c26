#pragma once
// The 3-2-1 count-down shown before a recording starts: shows the seconds left, hides itself
// after the last one and announces the end 100 ms later. Main thread only.
#include <QLabel>
#include <QTimer>

class CountDownWidget : public QLabel
{
    Q_OBJECT
public:
    CountDownWidget(QWidget *parent, int seconds);

    void start();
    // Moves the widget so that its centre is at (x, y).
    void moveCenter(int x, int y);
    int count() const { return m_count; }

signals:
    void sig_CountDownFinished();

private:
    void tick();

    int m_count;
    QTimer m_timer;
};
