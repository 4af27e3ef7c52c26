#pragma once
// One entry of the editor's file menu: a widget action whose row shows the icon, the text and
// the key sequence, which is also the action's shortcut. Main thread only.
#include <QKeySequence>
#include <QWidgetAction>

class QLabel;
class QToolButton;

class MenuItemAction : public QWidgetAction
{
    Q_OBJECT
public:
    MenuItemAction(const QString &iconPath, const QString &text, const QKeySequence &shortcut,
                   QObject *parent = nullptr);

protected:
    QWidget *createWidget(QWidget *parent) override;

private:
    QString m_iconPath;
    QString m_text;
    QKeySequence m_keys;
};
