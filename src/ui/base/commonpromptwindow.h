#pragma once
// A small progress strip: busy icon, a text and the percentage done. Starts hidden.
// Main thread only.
#include <QWidget>

class QLabel;

class CommonPromptWindow : public QWidget
{
    Q_OBJECT
public:
    explicit CommonPromptWindow(QWidget *parent = nullptr);

    void setText(const QString &text);
    void setMaximum(qint64 value);
    // Shows value as a percentage of the maximum; shows nothing while the maximum is not
    // positive.
    void setValue(qint64 value);

    QString text() const;
    QString percentText() const;

private:
    qint64 m_maximum = 0;
    QLabel *m_percentLabel = nullptr;
    QLabel *m_textLabel = nullptr;
};
