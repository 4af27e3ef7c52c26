#include "ui/base/commonsuccesswindow.h"

#include "ui/base/commonpromptwindow.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QTimer>

CommonSuccessWindow::CommonSuccessWindow(QWidget *parent) : QWidget(parent)
{
    QHBoxLayout *layout = buildPromptFrame(this, QSize(120, 48), 6, QMargins(20, 0, 20, 0));
    QWidget *inner = layout->parentWidget();
    auto *icon = new QLabel(inner);
    icon->setFixedSize(18, 18);
    icon->setScaledContents(true);
    icon->setPixmap(QPixmap(QStringLiteral(":/images/icon_success.png")));
    m_textLabel = new QLabel(inner);
    layout->addWidget(icon);
    layout->addWidget(m_textLabel);

    // One timer, so that a second message restarts the wait instead of being hidden early
    // by the first message's timer.
    m_hideTimer = new QTimer(this);
    m_hideTimer->setSingleShot(true);
    connect(m_hideTimer, &QTimer::timeout, this, &QWidget::hide);
}

void CommonSuccessWindow::showMessage(const QString &text, int msec)
{
    m_textLabel->setText(text);
    placeInParent();
    show();
    raise();
    m_hideTimer->start(msec);
}

void CommonSuccessWindow::placeInParent()
{
    const int parentWidth = parentWidget() ? parentWidget()->width() : width();
    move((parentWidth - width()) / 2, 180);
}

QString CommonSuccessWindow::text() const
{
    return m_textLabel->text();
}
