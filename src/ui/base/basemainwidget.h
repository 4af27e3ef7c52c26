#pragma once
// The body of a BaseWindow: its own title bar (avatar, user name, title, minimize, maximize,
// restore and close buttons) above the content widget. Main thread only.
#include <QWidget>

class QLabel;
class QToolButton;
class QVBoxLayout;

class BaseMainWidget : public QWidget
{
    Q_OBJECT
public:
    explicit BaseMainWidget(QWidget *parent = nullptr);

    void setTitle(const QString &title);
    // Puts the content below the title bar with stretch 1; the frame keeps a pointer to it.
    void setContentWidget(QWidget *widget);
    QWidget *contentWidget() const { return m_ui.content; }
    // Shows the restore button instead of the maximize button while maximized.
    void setMaximizedLook(bool maximized);
    // Whether the title bar offers to maximize and restore the window at all: a recording
    // window keeps its size while it records, whatever state the window goes through.
    void setSizeButtonsShown(bool shown);

    QWidget *titleBar() const { return m_ui.titleBar; }
    QLabel *titleLabel() const { return m_ui.title; }
    QToolButton *minimizeButton() const { return m_ui.minimize; }
    QToolButton *maximizeButton() const { return m_ui.maximize; }
    QToolButton *restoreButton() const { return m_ui.restore; }
    QToolButton *closeButton() const { return m_ui.close; }

    static constexpr int kTitleBarHeight = 62;

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void onCloseClicked();
    QToolButton *makeButton(const QString &icon, const QString &text);

    struct Ui
    {
        QWidget *titleBar = nullptr;
        QLabel *avatar = nullptr;
        QLabel *userName = nullptr;
        QLabel *title = nullptr;
        QToolButton *minimize = nullptr;
        QToolButton *maximize = nullptr;
        QToolButton *restore = nullptr;
        QToolButton *close = nullptr;
        QWidget *content = nullptr;
    } m_ui;
    QVBoxLayout *m_layout = nullptr;
    bool m_sizeButtonsShown = true;
    bool m_maximized = false;
};
