#pragma once
// The settings page's "声音" section: the microphone to record (the sound server's
// microphones; the desktop's default marked and chosen until the teacher picks another),
// with a live level meter of the chosen one, "同时录制电脑声音", "降噪" and the shortest pause
// the editor's "查找停顿" looks for ("最短停顿", 1-10 s). Every change is
// stored in "conf.ini" at once (SoundSettings) and used by the next recording of any window.
// The list is asked of the sound server off the main thread when the page is built; the
// meter listens only while the page is shown. Main thread only.
#include "core/record/soundsettings.h"

#include <QList>
#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class SoundLevelMeter;
class SoundLevelProbe;

class SoundSettingsWidget : public QWidget
{
    Q_OBJECT
public:
    explicit SoundSettingsWidget(QWidget *parent = nullptr);
    ~SoundSettingsWidget() override;

    // Asks the sound server for its microphones again (done once when built).
    void refreshMicrophones();
    bool isLoading() const { return m_loading; }
    QComboBox *microphoneBox() const { return m_microphones; }
    SoundLevelMeter *levelMeter() const { return m_meter; }
    SoundLevelProbe *probe() const { return m_probe; }
    QComboBox *minPauseBox() const { return m_minPause; }

signals:
    // The microphone list has been filled.
    void microphonesListed();

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void buildForm();
    void fill(const QList<TDeviceInfo> &devices);
    void listenToChosen();
    void on_combo_microphone_activated(int index);

    QComboBox *m_microphones = nullptr;
    SoundLevelMeter *m_meter = nullptr;
    QLabel *m_note = nullptr;
    QCheckBox *m_computerSound = nullptr;
    QCheckBox *m_noiseReduction = nullptr;
    QComboBox *m_minPause = nullptr;
    SoundLevelProbe *m_probe = nullptr;
    SoundSettings m_settings;
    bool m_loading = false;
};
