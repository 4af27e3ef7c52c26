#pragma once
// A dimming layer laid over a widget while a popup is up. It can follow another widget:
// shown when that one is shown, hidden when it is hidden. Main thread only.
#include <QPointer>
#include <QWidget>

class MaskForm : public QWidget
{
    Q_OBJECT
public:
    explicit MaskForm(QWidget *mainWidget = nullptr);

    void setMainWidget(QWidget *widget);
    void setWatchedWidget(QWidget *widget);
    QWidget *watchedWidget() const { return m_watched; }
    void setMaskColor(const QColor &color, qreal opacity);

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QPointer<QWidget> m_mainWidget;
    QPointer<QWidget> m_watched;
};
