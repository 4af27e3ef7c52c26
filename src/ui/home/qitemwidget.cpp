#include "ui/home/qitemwidget.h"

#include <QBitmap>
#include <QEnterEvent>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>

QItemWidget::QItemWidget(const QString &coverPath, const QString &title, QWidget *parent)
    : QWidget(parent)
{
    setFixedSize(162, 120);

    m_cover = new QLabel(this);
    m_cover->setObjectName(QStringLiteral("labCover"));
    m_cover->setGeometry(0, 0, 162, 92);
    m_cover->setAlignment(Qt::AlignCenter);
    m_cover->setPixmap(roundedCover(coverPath));
    m_cover->setStyleSheet(QStringLiteral("border: 0px solid #f2733d;border-radius: 5px;"));

    m_title = new QLabel(this);
    m_title->setObjectName(QStringLiteral("labTitle"));
    m_title->setGeometry(0, 100, 160, 18);
    m_title->setStyleSheet(QStringLiteral("color: #131B26; font-size: 12px;"));
    // A long name is shortened with "…" rather than cut; the whole name is in the tool tip.
    m_title->setText(m_title->fontMetrics().elidedText(title, Qt::ElideRight, 160));
    m_title->setToolTip(title);

    m_open = new QPushButton(tr("打开"), this);
    m_open->setObjectName(QStringLiteral("btnOpen"));
    m_open->setGeometry(55, 33, 50, 24);
    QFont font = m_open->font();
    font.setPointSize(9);
    m_open->setFont(font);
    m_open->setStyleSheet(
        QStringLiteral("background: #f2733d; border-radius: 4px; color: #ffffff;"));
    m_open->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_open->hide();
}

QPixmap QItemWidget::roundedCover(const QString &coverPath)
{
    QPixmap source(coverPath);
    if (source.isNull())
        source = QPixmap(QStringLiteral(":/images/default_recent_cover.png"));
    const QPixmap scaled = source.scaled(160, 90, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    QPixmap rounded(scaled.size());
    rounded.fill(Qt::transparent);
    QPainter painter(&rounded);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(QRectF(rounded.rect()), 4, 4);
    painter.setClipPath(path);
    painter.drawPixmap(0, 0, scaled);
    return rounded;
}

void QItemWidget::enterEvent(QEnterEvent *event)
{
    QWidget::enterEvent(event);
    m_open->show();
    m_cover->setStyleSheet(QStringLiteral("border: 1px solid #f2733d;border-radius: 5px;"));
}

void QItemWidget::leaveEvent(QEvent *event)
{
    QWidget::leaveEvent(event);
    m_open->hide();
    m_cover->setStyleSheet(QStringLiteral("border: 0px solid #f2733d;border-radius: 5px;"));
}
