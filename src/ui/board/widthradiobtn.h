#pragma once
// A line-width choice that works as a radio button: a short line of its width. A click only
// ever checks it. Main thread only.
#include <QRadioButton>

class WidthRadioBtn : public QRadioButton
{
    Q_OBJECT
public:
    explicit WidthRadioBtn(int lineWidth, QWidget *parent = nullptr);
    int lineWidth() const { return m_lineWidth; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    int m_lineWidth;
};
