#pragma once
// A child of the slide-show container with a native window of its own, whose id is given to
// the slide-show agent. It handles no event itself: every input event goes on to its parent.
// Main thread only.
#include <QWidget>

class PptMainWidget : public QWidget
{
    Q_OBJECT
public:
    explicit PptMainWidget(QWidget *parent = nullptr);

    bool translateKeyEvent(int message, int keyCode) const;

protected:
    bool event(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
};
