#pragma once
// The pen settings pop-up: a row of colours and a row of line widths. Every toggle of a choice
// (on or off) is announced; in an exclusive row the newly chosen button toggles last, so the
// last announcement carries the choice. Main thread only.
#include <QColor>
#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QStringList>
#include <QWidget>

class QButtonGroup;

class BoardSettingPopup : public QWidget
{
    Q_OBJECT
public:
    explicit BoardSettingPopup(QWidget *parent = nullptr);

    // Checks the initial colour and width; call once the signals are connected.
    void selectInitial();
    // Shows the pop-up next to `button` (placement()).
    void showBeside(QWidget *button);

    // Top-left of a pop-up of `popup` size for a button at global `buttonTopLeft` of `button`
    // size on `screen`: left of the button; when that leaves the screen on the left, below it,
    // else (no room below) right of it, else above it. Beside the button it never reaches
    // below the screen.
    static QPoint placement(QPoint buttonTopLeft, QSize button, QSize popup, const QRect &screen);

signals:
    void sig_ColorSelect(QColor color);
    void sig_WidthSelect(int width);

private:
    QStringList m_colors;
    QList<int> m_widths;
    QButtonGroup *m_colorGroup = nullptr;
    QButtonGroup *m_widthGroup = nullptr;
};
