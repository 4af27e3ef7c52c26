#pragma once
// A spinning busy icon: the picture turns by 5 degrees every 30 ms. Main thread only.
#include <QLabel>
#include <QPixmap>

class QTimer;

class LoadingView : public QLabel
{
    Q_OBJECT
public:
    LoadingView(QWidget *parent, const QString &iconPath);

    int angle() const { return m_angle; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QPixmap m_pixmap;
    int m_angle = 0;
    QTimer *m_timer = nullptr;
};
