#include "support/messageboxanswerer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QTest>

MessageBoxAnswerer::MessageBoxAnswerer(QMessageBox::StandardButton answer) : m_answer(answer)
{
    m_timer.setInterval(30);
    connect(&m_timer, &QTimer::timeout, this, &MessageBoxAnswerer::poll);
    m_timer.start();
}

QStringList MessageBoxAnswerer::summary() const
{
    QStringList lines;
    for (const Seen &box : m_seen)
        lines << box.title + '|' + box.text;
    return lines;
}

void MessageBoxAnswerer::poll()
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget *window : windows) {
        auto *box = qobject_cast<QMessageBox *>(window);
        if (!box || !box->isVisible() || m_answered.contains(box))
            continue;
        m_answered.append(box);
        m_seen.append({box->windowTitle(), box->text(), box->informativeText()});
        if (m_onBox)
            m_onBox(box);
        QAbstractButton *button = box->button(m_answer);
        if (!button)
            button = box->button(QMessageBox::Ok);
        if (!button && !box->buttons().isEmpty())
            button = box->buttons().first();
        if (button)
            QTest::mouseClick(button, Qt::LeftButton);
    }
}
