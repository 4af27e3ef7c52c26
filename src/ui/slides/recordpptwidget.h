#pragma once
// The presentation recording window's content: the slide show (PptContainer) above a row of
// recording controls and the drawing tools; records the slide area with a ScreenRecord into
// a new clip inserted at the editor's playhead, and starts a further clip (titled "第N页") at
// every slide change. A failed recording puts the project's clip list back as it was when the
// window opened; closing during the count-down takes the new clip out again and closes.
// Lives in a BaseWindow; main thread only.
#include "core/project/avdata.h"
#include "ui/base/basewindowinterface.h"
#include "ui/board/countdownwidget.h"
#include "ui/record/screencastsource.h"

#include <QList>
#include <QPointer>
#include <QTime>
#include <QWidget>

class BoardToolsWidget;
class PptContainer;
class QFrame;
class QHBoxLayout;
class QLabel;
class QTimer;
class QToolButton;
class QVBoxLayout;
class RecordHealth;
class ScreenRecord;
class SoundLevelMeter;

class RecordPptWidget : public QWidget, public BaseWindowInterface
{
    Q_OBJECT
public:
    explicit RecordPptWidget(QWidget *parent = nullptr);
    ~RecordPptWidget() override;

    // Opens the presentation; the recording goes into the project at `offset` ms into
    // `clip` (what ProjectData::clipAt gives for the playhead); a negative offset appends.
    bool openPptFile(const QString &path, const AVData &clip, qint64 offset);
    bool preCloseWindow() override;

    ScreenRecord *recorder() const { return m_recorder; }
    PptContainer *container() const { return ui.view_ppt_container; }
    BoardToolsWidget *drawTools() const { return ui.view_draw_tools; }
    int pageNo() const { return m_pageNo; }
    // The count-down shown between "开始" and the start of the recording (null otherwise).
    CountDownWidget *countDown() const { return m_countDown; }

    struct Ui
    {
        QVBoxLayout *verticalLayout = nullptr;
        PptContainer *view_ppt_container = nullptr;
        QWidget *view_record_controls = nullptr;
        QHBoxLayout *horizontalLayout = nullptr;
        QToolButton *btn_mute = nullptr;
        QToolButton *btn_unmute = nullptr;
        QToolButton *btn_play = nullptr;
        QToolButton *btn_pause = nullptr;
        QToolButton *btn_stop = nullptr;
        QFrame *line = nullptr;
        QToolButton *btn_previous = nullptr;
        QToolButton *btn_next = nullptr;
        QLabel *label_record_time = nullptr;
        BoardToolsWidget *view_draw_tools = nullptr;
    };
    const Ui &form() const { return ui; }

private:
    void setupUi();
    // The keys that work from any window act on this window's controls and tools.
    void connectKeys();
    // recordpptrecording.cpp
    void on_btn_play_clicked();
    void on_btn_pause_clicked();
    void on_btn_stop_clicked();
    // Asks first when there is no microphone, then beginRecording: the clip and the count-down
    // for the slides' area `serverRect` (in the X server's pixels).
    void startRecording();
    void beginRecording(const QRect &serverRect);
    void onCountDownFinished();
    void cancelCountDown();
    void updateRecordTime();
    void setStaysOnTop(bool on);

    Ui ui;
    ScreenRecord *m_recorder = nullptr;
    QString m_pptName;
    QTime m_startTime;
    QTime m_pauseTime;
    QTimer *m_timer = nullptr;
    // The microphone meter and the warning line under the elapsed time, and what feeds them.
    SoundLevelMeter *m_meter = nullptr;
    QLabel *m_labelWarning = nullptr;
    QLabel *m_labelComputerSound = nullptr;
    RecordHealth *m_health = nullptr;
    bool m_stoppedForDisk = false;
    int m_pageNo = 1;
    QList<AVData> m_savedAvDatas;
    AVData m_clipTemplate;
    qint64 m_insertTime = -1;

    bool m_startWhenInPlace = false;  // "开始" was pressed before the slides were in place
    QPointer<QWidget> m_countDownOverlay;
    QPointer<CountDownWidget> m_countDown;
    bool m_asking = false;  // the question before the count-down is open
    AVData m_recordClip;    // the clip the recording began with
    // A Wayland desktop: the desktop portal is asked for the screen before the count-down.
    QPointer<ScreenCastSource> m_screenCast;
    bool m_screenShared = false;
};
