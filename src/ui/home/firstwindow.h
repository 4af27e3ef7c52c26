#pragma once
// The home window: frameless, 842 x 562, holding the home page (FirstWidget) one pixel inside
// its border. Deleted when closed. Main thread only.
#include <QWidget>

class FirstWidget;

class FirstWindow : public QWidget
{
    Q_OBJECT
public:
    explicit FirstWindow(QWidget *parent = nullptr);

    FirstWidget *firstWidget() const { return m_widget; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    FirstWidget *m_widget = nullptr;
};
