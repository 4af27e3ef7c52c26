#pragma once
// How one recent project looks in the home page's grid: its cover with rounded corners, its
// name below, and an "打开" button over the cover while the pointer is on it.
// Main thread only.
#include <QWidget>

class QLabel;
class QPushButton;

class QItemWidget : public QWidget
{
    Q_OBJECT
public:
    QItemWidget(const QString &coverPath, const QString &title, QWidget *parent = nullptr);

    QLabel *coverLabel() const { return m_cover; }
    QLabel *titleLabel() const { return m_title; }
    QPushButton *openButton() const { return m_open; }

    // The cover as shown: scaled to 160 x 90 whatever its shape, corners rounded by 4 pixels.
    static QPixmap roundedCover(const QString &coverPath);

protected:
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    QLabel *m_cover = nullptr;
    QLabel *m_title = nullptr;
    QPushButton *m_open = nullptr;
};
