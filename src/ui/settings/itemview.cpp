#include "ui/settings/itemview.h"

#include <QHBoxLayout>
#include <QLabel>

ItemView::ItemView(const QString &normalIcon, const QString &selectedIcon, const QString &text,
                   QWidget *parent)
    : QWidget(parent), m_normalIcon(normalIcon), m_selectedIcon(selectedIcon)
{
    // The inner widget carries the style (a plain QWidget draws no style-sheet background of
    // its own unless it is styled through an object name) and always fills the entry.
    m_inner = new QWidget(this);
    m_inner->setObjectName(QStringLiteral("ItemView"));
    m_inner->setAttribute(Qt::WA_StyledBackground, true);
    auto *layout = new QHBoxLayout(m_inner);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_icon = new QLabel(m_inner);
    m_icon->setFixedSize(18, 18);
    m_icon->setScaledContents(true);
    m_text = new QLabel(text, m_inner);
    layout->addStretch();
    layout->addWidget(m_icon);
    layout->addSpacing(10);
    layout->addWidget(m_text);
    layout->addStretch();
    setSelected(false);
}

QString ItemView::text() const
{
    return m_text->text();
}

void ItemView::setSelected(bool selected)
{
    m_selected = selected;
    m_icon->setPixmap(selected ? m_selectedIcon : m_normalIcon);
    m_inner->setStyleSheet(
        selected ? QStringLiteral("QWidget#ItemView{background:#fff6f1;}"
                                  "QLabel{color:#f2733d;font-size: 14px;}")
                 : QStringLiteral("QWidget#ItemView{background:#ffffff;}"
                                  "QLabel{color:#474c59;font-size: 14px;}"));
}

void ItemView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    m_inner->setGeometry(rect());
}
