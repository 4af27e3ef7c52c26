#pragma once
// A short note that something succeeded, shown centred near the top of its parent and
// hidden again after a while. Main thread only.
#include <QWidget>

class QLabel;
class QTimer;

class CommonSuccessWindow : public QWidget
{
    Q_OBJECT
public:
    explicit CommonSuccessWindow(QWidget *parent = nullptr);

    void showMessage(const QString &text, int msec);
    // Centred near the top of the parent; called again when the parent changes size.
    void placeInParent();
    QString text() const;

private:
    QLabel *m_textLabel = nullptr;
    QTimer *m_hideTimer = nullptr;
};
