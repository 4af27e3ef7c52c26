#pragma once
// The "取消" / "开始录制" pair shown under a finished screen selection. Main thread only.
#include <QWidget>

class QPushButton;

class ScreenSelectedButtonWidget : public QWidget
{
    Q_OBJECT
public:
    explicit ScreenSelectedButtonWidget(QWidget *parent = nullptr);

    QPushButton *startButton() const { return m_start; }

signals:
    void sig_Cancel();
    void sig_StartRecord();

private:
    QPushButton *m_cancel;
    QPushButton *m_start;
};
