#pragma once
// A round-cornered colour swatch that works as a radio button. Main thread only.
#include <QColor>
#include <QRadioButton>

class ColorRadioBtn : public QRadioButton
{
    Q_OBJECT
public:
    explicit ColorRadioBtn(const QColor &color, QWidget *parent = nullptr);
    QColor color() const { return m_color; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor m_color;
};
