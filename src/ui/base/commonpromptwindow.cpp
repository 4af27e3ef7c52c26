#include "ui/base/commonpromptwindow.h"

#include "ui/base/loadingview.h"

#include <QHBoxLayout>
#include <QLabel>

QHBoxLayout *buildPromptFrame(QWidget *popup, const QSize &size, int spacing,
                              const QMargins &margins)
{
    popup->setObjectName(QStringLiteral("SavePromptWindow"));
    popup->setFixedSize(size);
    auto *inner = new QWidget(popup);
    inner->setFixedSize(size);
    auto *layout = new QHBoxLayout(inner);
    layout->setSpacing(spacing);
    layout->setContentsMargins(margins);
    return layout;
}

CommonPromptWindow::CommonPromptWindow(QWidget *parent) : QWidget(parent)
{
    QHBoxLayout *layout = buildPromptFrame(this, QSize(kWidth, 48), 0, QMargins(24, 0, 24, 0));
    QWidget *inner = layout->parentWidget();
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
    // Wider than the usual strip when the text and a full percentage need it.
    QWidget *inner = m_textLabel->parentWidget();
    const QMargins margins = inner->layout()->contentsMargins();
    const int icon = inner->layout()->itemAt(0)->sizeHint().width();
    const int needed =
        margins.left() + icon + 10 + m_textLabel->fontMetrics().horizontalAdvance(text) +
        m_percentLabel->fontMetrics().horizontalAdvance(QStringLiteral(" 100%")) + margins.right();
    const int width = qMax(kWidth, needed);
    setFixedWidth(width);
    inner->setFixedWidth(width);
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
