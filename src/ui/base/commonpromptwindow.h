#pragma once
// A small progress strip: busy icon, a text and the percentage done. Starts hidden.
// Main thread only.
#include <QWidget>

class QHBoxLayout;
class QLabel;
class QMargins;
class QSize;

// The frame of the editor's small pop-ups (this strip and CommonSuccessWindow): the object
// name their style rule names, a fixed size, and an inner widget of that size whose row
// layout is returned.
QHBoxLayout *buildPromptFrame(QWidget *popup, const QSize &size, int spacing,
                              const QMargins &margins);

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
    static constexpr int kWidth = 177;  // unless the text needs more
    qint64 m_maximum = 0;
    QLabel *m_percentLabel = nullptr;
    QLabel *m_textLabel = nullptr;
};
