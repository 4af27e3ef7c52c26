#pragma once
// The control bar of the screen recording: the drawing tools, the camera, mute, pause/resume,
// stop and the elapsed recording time, which leaves out the paused stretches. Main thread only.
#include <QTime>
#include <QTimer>
#include <QWidget>

class BoardToolsWidget;
class SoundLevelMeter;
class QLabel;
class QToolButton;

class RecordScreenCtrlWidget : public QWidget
{
    Q_OBJECT
public:
    explicit RecordScreenCtrlWidget(QWidget *parent = nullptr);

    BoardToolsWidget *boardTools() const { return m_boardTools; }
    QToolButton *pauseButton() const { return m_btnPause; }
    QToolButton *stopButton() const { return m_btnStop; }
    // Shows or hides the camera (checked while it is on).
    QToolButton *cameraButton() const { return m_btnCamera; }
    QLabel *timeLabel() const { return m_labelTime; }
    // The microphone's level under the time, and the line for a warning under it.
    SoundLevelMeter *levelMeter() const { return m_meter; }
    QLabel *warningLabel() const { return m_labelWarning; }
    // Beside the meter: whether the computer's sound is recorded.
    QLabel *computerSoundLabel() const { return m_labelComputerSound; }
    // The sentence shown in place of the drawing tools when drawing is unavailable.
    QLabel *drawUnavailableLabel() const { return m_drawUnavailable; }

    // Starts the elapsed time; pause and stop can be used from now on.
    void startTiming();
    // Replaces the drawing tools by one sentence saying that drawing is unavailable.
    void setDrawUnavailable();

signals:
    void sig_MuteStateChanged(bool mute);
    void sig_PauseRecord();
    void sig_ResumeRecord();
    void sig_StopRecord();
    void sig_CameraClicked(bool on);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QToolButton *makeButton(const QString &name, const QString &text, const QString &icon,
                            bool checkable);
    void showElapsed();

    BoardToolsWidget *m_boardTools;
    QLabel *m_drawUnavailable;
    QToolButton *m_btnMute;
    QToolButton *m_btnPause;
    QToolButton *m_btnStop;
    QToolButton *m_btnCamera;
    QLabel *m_labelTime;
    SoundLevelMeter *m_meter;
    QLabel *m_labelWarning;
    QLabel *m_labelComputerSound;
    QTime m_startTime;
    QTime m_pauseTime;
    QTimer m_timer;
};
