#pragma once
// Shows a recording's health in its window: the meter follows the microphone, and one short
// warning line shows the most pressing warning (the disk before the microphone), hidden when
// there is none. Main thread only.
#include <QObject>
#include <QPointer>

class QLabel;
class RecordHealth;
class SoundLevelMeter;

class RecordHealthView : public QObject
{
    Q_OBJECT
public:
    RecordHealthView(RecordHealth *health, SoundLevelMeter *meter, QLabel *warning,
                     QObject *parent = nullptr);

    QString warningText() const;

private:
    void refresh();

    QPointer<SoundLevelMeter> m_meter;
    QPointer<QLabel> m_warning;
    bool m_silent = false;
    bool m_diskLow = false;
    qint64 m_secondsLeft = 0;
};
