#pragma once
// One entry of the settings page's menu list: an icon and a text, drawn selected or not.
// Main thread only.
#include <QPixmap>
#include <QWidget>

class QLabel;

class ItemView : public QWidget
{
    Q_OBJECT
public:
    ItemView(const QString &normalIcon, const QString &selectedIcon, const QString &text,
             QWidget *parent = nullptr);

    void setSelected(bool selected);
    bool isSelected() const { return m_selected; }
    QString text() const;

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    QPixmap m_normalIcon;
    QPixmap m_selectedIcon;
    QWidget *m_inner = nullptr;
    QLabel *m_icon = nullptr;
    QLabel *m_text = nullptr;
    bool m_selected = false;
};
