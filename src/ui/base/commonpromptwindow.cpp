#include "ui/base/commonpromptwindow.h"

#include "ui/base/loadingview.h"

#include <QHBoxLayout>
#include <QLabel>

CommonPromptWindow::CommonPromptWindow(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("SavePromptWindow"));
    setFixedSize(177, 48);

    auto *inner = new QWidget(this);
    inner->setFixedSize(177, 48);
    auto *layout = new QHBoxLayout(inner);
    layout->setSpacing(0);
    layout->setContentsMargins(24, 0, 24, 0);
    layout->addWidget(new LoadingView(inner, QStringLiteral(":/images/icon_loading.png")));
    layout->addSpacing(10);
    m_textLabel = new QLabel(inner);
    m_percentLabel = new QLabel(inner);
    m_percentLabel->setStyleSheet(QStringLiteral("color:#F2733D"));
    layout->addWidget(m_textLabel);
    layout->addWidget(m_percentLabel);

    hide();
}

void CommonPromptWindow::setText(const QString &text)
{
    m_textLabel->setText(text);
}

void CommonPromptWindow::setMaximum(qint64 value)
{
    m_maximum = value;
}

void CommonPromptWindow::setValue(qint64 value)
{
    if (m_maximum <= 0) {
        m_percentLabel->clear();
        return;
    }
    // In 128 bits: value * 100 overflows 64 bits for values above about 9.2e16.
    const auto percent = static_cast<qint64>(static_cast<__int128>(value) * 100 / m_maximum);
    m_percentLabel->setText(QStringLiteral("%1%").arg(percent));
}

QString CommonPromptWindow::text() const
{
    return m_textLabel->text();
}

QString CommonPromptWindow::percentText() const
{
    return m_percentLabel->text();
}
