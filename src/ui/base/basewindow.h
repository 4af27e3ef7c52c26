#pragma once
// The frameless top-level window that holds the editor or the presentation recording window:
// its body (BaseMainWidget) draws the title bar, which drags the window and keeps it on the
// available area of its screen. Deleted when closed. Main thread only.
#include <QRect>
#include <QWidget>

class BaseMainWidget;

class BaseWindow : public QWidget
{
    Q_OBJECT
public:
    explicit BaseWindow(QWidget *parent = nullptr);

    void setTitle(const QString &title);
    void setContentWidget(QWidget *widget);
    BaseMainWidget *mainWidget() const { return m_mainWidget; }
    void setMovable(bool movable) { m_movable = movable; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    bool dragEvent(QEvent *event);

    BaseMainWidget *m_mainWidget = nullptr;
    bool m_movable = true;
    bool m_dragging = false;
    int m_pressX = -1;
    int m_pressY = -1;
    QRect m_available;  // the area the window is kept inside while it is dragged
};
