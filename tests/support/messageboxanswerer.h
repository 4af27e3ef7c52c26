#pragma once
// Answers the program's message boxes as a person would: while it lives, every message box
// that appears is noted (title, text, informative text) and answered with a chosen button
// (OK when the box has no such button). Works while the box runs its own event loop.
#include <QList>
#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <functional>

class MessageBoxAnswerer : public QObject
{
    Q_OBJECT
public:
    struct Seen
    {
        QString title;
        QString text;
        QString informativeText;
    };

    explicit MessageBoxAnswerer(QMessageBox::StandardButton answer = QMessageBox::Ok);

    void setAnswer(QMessageBox::StandardButton answer) { m_answer = answer; }
    // Called with each new box before it is answered, to look at the screen at that moment.
    void setOnBox(std::function<void(QMessageBox *)> onBox) { m_onBox = std::move(onBox); }
    const QList<Seen> &seen() const { return m_seen; }
    // "title|text" of every box so far, for comparing with a list.
    QStringList summary() const;
    void clear() { m_seen.clear(); }

private:
    void poll();

    QTimer m_timer;
    QMessageBox::StandardButton m_answer;
    QList<Seen> m_seen;
    QList<QPointer<QMessageBox>> m_answered;
    std::function<void(QMessageBox *)> m_onBox;
};
