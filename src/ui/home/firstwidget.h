#pragma once
// The home page's body: a menu bar on the left ("新建", "打开", "设置"), and on the right a top
// bar that drags the window and holds its buttons, above the recent-project grid.
// Main thread only.
#include <QPoint>
#include <QWidget>

class QLabel;
class QRecentWidget;
class QToolButton;

class FirstWidget : public QWidget
{
    Q_OBJECT
public:
    explicit FirstWidget(QWidget *parent = nullptr);

    // The account button: the avatar clipped to a circle and the name ("登录" without one).
    void setUser(const QString &avatarPath, const QString &name);

    QToolButton *newButton() const { return m_new; }
    QToolButton *openButton() const { return m_open; }
    QWidget *topBar() const { return m_topBar; }
    QToolButton *closeButton() const { return m_close; }
    QToolButton *maximizeButton() const { return m_maximize; }
    QToolButton *restoreButton() const { return m_restore; }
    QToolButton *minimizeButton() const { return m_minimize; }
    QRecentWidget *recentWidget() const { return m_recent; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    QToolButton *makeMenuButton(const QString &icon, const QString &text);
    QToolButton *makeWindowButton(const QString &icon, const QString &text);
    void onNew();
    void onOpen();
    void openProject(const QString &path);
    void openSettings();

    QWidget *m_menuBar = nullptr;
    QToolButton *m_account = nullptr;
    QToolButton *m_new = nullptr;
    QToolButton *m_open = nullptr;
    QToolButton *m_setting = nullptr;
    QWidget *m_rightArea = nullptr;
    QWidget *m_topBar = nullptr;
    QLabel *m_title = nullptr;
    QWidget *m_windowButtons = nullptr;
    QToolButton *m_close = nullptr;
    QToolButton *m_maximize = nullptr;
    QToolButton *m_restore = nullptr;
    QToolButton *m_minimize = nullptr;
    QRecentWidget *m_recent = nullptr;
    QPoint m_pressPos{-1, -1};
};
