#pragma once
// Shows a recording's health in its window: the meter follows the microphone, one short
// warning line shows the most pressing warning (the disk, then a lost sound input, then the
// engine's last warning, then a sound input that is back, for a few seconds, then another
// microphone the sound server moved the recording to, then a silent microphone, then a chosen
// microphone that was gone), hidden when there is none, and a label says whether the computer's
// sound is recorded (hidden until the sound inputs are open). Main thread only.
#include <QObject>
#include <QPointer>
#include <QTimer>

class QLabel;
class QWidget;
class RecordHealth;
class SoundLevelMeter;

class RecordHealthView : public QObject
{
    Q_OBJECT
public:
    RecordHealthView(RecordHealth *health, SoundLevelMeter *meter, QLabel *warning,
                     QObject *parent = nullptr);

    QString warningText() const;
    void setComputerSoundLabel(QLabel *label);
    // The label every recording bar shows beside its meter for the computer's sound: grey,
    // `pixelSize` high, hidden and keeping its room until the sound inputs are open.
    static QLabel *makeComputerSoundLabel(QWidget *parent, int pixelSize);

private:
    void refresh();

    QPointer<SoundLevelMeter> m_meter;
    QPointer<QLabel> m_warning;
    QPointer<QLabel> m_computerSound;
    // How long "back again" stays on the line.
    static constexpr int kBackShownMs = 6000;

    bool m_microphoneFellBack = false;
    bool m_microphoneLost = false;
    bool m_computerSoundLost = false;
    QString m_backText;
    QTimer m_backTimer;
    QString m_engineWarning;
    QString m_microphoneNow;  // description of the microphone moved to; empty: not moved
    bool m_silent = false;
    bool m_diskLow = false;
    qint64 m_secondsLeft = 0;
};
