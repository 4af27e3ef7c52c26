#include "ui/editor/menuitemaction.h"

#include <QEnterEvent>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QToolButton>

namespace {
// The row of one entry. A click anywhere on it triggers the action and closes the menu, the
// way a plain menu entry does.
class MenuItemRow : public QWidget
{
public:
    MenuItemRow(QWidgetAction *action, QWidget *parent) : QWidget(parent), m_action(action)
    {
        setAttribute(Qt::WA_StyledBackground);
        setAttribute(Qt::WA_Hover);
    }

    QLabel *keys = nullptr;

protected:
    // The grey key text would fade into the highlighted row: white while the pointer is on it.
    void enterEvent(QEnterEvent *event) override
    {
        QWidget::enterEvent(event);
        if (keys)
            keys->setStyleSheet(QStringLiteral("color: #ffffff;"));
    }
    void leaveEvent(QEvent *event) override
    {
        QWidget::leaveEvent(event);
        if (keys)
            keys->setStyleSheet(QString());
    }

    void mouseReleaseEvent(QMouseEvent *event) override
    {
        if (event->button() != Qt::LeftButton || !rect().contains(event->position().toPoint()))
            return;
        // Close the menu first: the action may open a modal dialog.
        for (QWidget *w = parentWidget(); w; w = w->parentWidget()) {
            if (auto *menu = qobject_cast<QMenu *>(w)) {
                menu->hide();
                break;
            }
        }
        m_action->trigger();
    }

private:
    QWidgetAction *m_action;
};
}  // namespace

MenuItemAction::MenuItemAction(const QString &iconPath, const QString &text,
                               const QKeySequence &shortcut, QObject *parent)
    : QWidgetAction(parent), m_iconPath(iconPath), m_text(text), m_keys(shortcut)
{
    setText(text);
    setIcon(QIcon(iconPath));
    if (!shortcut.isEmpty())
        setShortcut(shortcut);
}

QWidget *MenuItemAction::createWidget(QWidget *parent)
{
    auto *row = new MenuItemRow(this, parent);
    row->setObjectName(QStringLiteral("menu_item"));
    row->setFixedHeight(42);
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(16, 0, 20, 0);
    layout->setSpacing(10);

    auto *icon = new QToolButton(row);
    icon->setFixedSize(20, 20);
    icon->setIconSize(QSize(20, 20));
    icon->setToolButtonStyle(Qt::ToolButtonIconOnly);
    icon->setIcon(QIcon(m_iconPath));
    // The row takes the clicks.
    icon->setAttribute(Qt::WA_TransparentForMouseEvents);
    layout->addWidget(icon);

    auto *label = new QLabel(m_text, row);
    label->setObjectName(QStringLiteral("menu_item_text"));
    layout->addWidget(label);
    layout->addStretch();

    auto *keys = new QLabel(m_keys.toString(QKeySequence::PortableText), row);
    keys->setObjectName(QStringLiteral("short_cut"));
    layout->addWidget(keys);
    row->keys = keys;
    return row;
}
