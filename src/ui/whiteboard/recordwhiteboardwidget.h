#pragma once
// The whiteboard recording window's content: a board (WhiteboardView) above a row of recording
// controls, page controls, the board's background and the drawing tools. Records the board's
// own pictures (WhiteboardRenderer into a ScenePictureSource, nothing grabbed from the screen)
// with the microphone into a new clip inserted at the editor's playhead, and starts a further
// clip titled "白板第N页" whenever the page changes while recording. A failed recording puts
// the project's clip list back as it was when the window opened; closing during the count-down
// takes the new clip out again and closes. Lives in a BaseWindow; main thread only.
#include "core/project/avdata.h"
#include "ui/base/basewindowinterface.h"
#include "ui/board/countdownwidget.h"

#include <QList>
#include <QPointer>
#include <QTime>
#include <QWidget>

#include <memory>

class BoardToolsWidget;
class QActionGroup;
class QFrame;
class QHBoxLayout;
class QLabel;
class QTimer;
class QToolButton;
class QVBoxLayout;
class RecordHealth;
class ScenePictureSource;
class ScreenRecord;
class SoundLevelMeter;
class WhiteboardRenderer;
class WhiteboardView;

class RecordWhiteboardWidget : public QWidget, public BaseWindowInterface
{
    Q_OBJECT
public:
    explicit RecordWhiteboardWidget(QWidget *parent = nullptr);
    ~RecordWhiteboardWidget() override;

    // The recording goes into the project at `offset` ms into `clip` (what
    // ProjectData::clipAt gives for the playhead); a negative offset appends.
    void setInsertPoint(const AVData &clip, qint64 offset);
    bool preCloseWindow() override;

    ScreenRecord *recorder() const { return m_recorder; }
    WhiteboardView *board() const { return ui.view_board; }
    WhiteboardRenderer *renderer() const { return m_renderer; }
    // The count-down shown between "开始" and the start of the recording (null otherwise).
    CountDownWidget *countDown() const { return m_countDown; }

    struct Ui
    {
        QVBoxLayout *verticalLayout = nullptr;
        WhiteboardView *view_board = nullptr;
        QWidget *view_record_controls = nullptr;
        QHBoxLayout *horizontalLayout = nullptr;
        QToolButton *btn_mute = nullptr;
        QToolButton *btn_unmute = nullptr;
        QToolButton *btn_play = nullptr;
        QToolButton *btn_pause = nullptr;
        QToolButton *btn_stop = nullptr;
        QFrame *line = nullptr;
        QToolButton *btn_previous = nullptr;
        QLabel *label_page = nullptr;
        QToolButton *btn_next = nullptr;
        QToolButton *btn_new_page = nullptr;
        QToolButton *btn_background = nullptr;
        QLabel *label_record_time = nullptr;
        BoardToolsWidget *view_draw_tools = nullptr;
    };
    const Ui &form() const { return ui; }

private:
    void setupUi();
    // The keys that work from any window act on this window's controls and tools.
    void connectKeys();
    void updatePageLabel();
    void onPageChanged(int pageNo);
    // recordwhiteboardrecording.cpp
    void on_btn_play_clicked();
    void on_btn_pause_clicked();
    void on_btn_stop_clicked();
    // Asks first when there is no microphone, then beginRecording: the clip and the count-down.
    void startRecording();
    void beginRecording();
    void onCountDownFinished();
    void cancelCountDown();
    void updateRecordTime();

    Ui ui;
    std::shared_ptr<ScenePictureSource> m_source;
    WhiteboardRenderer *m_renderer = nullptr;
    ScreenRecord *m_recorder = nullptr;
    QTime m_startTime;
    QTime m_pauseTime;
    QTimer *m_timer = nullptr;
    SoundLevelMeter *m_meter = nullptr;
    QLabel *m_labelWarning = nullptr;
    QLabel *m_labelComputerSound = nullptr;
    RecordHealth *m_health = nullptr;
    bool m_stoppedForDisk = false;
    QList<AVData> m_savedAvDatas;
    AVData m_clipTemplate;
    qint64 m_insertTime = -1;
    QPointer<CountDownWidget> m_countDown;
    bool m_asking = false;  // the question before the count-down is open
    AVData m_recordClip;    // the clip the recording began with
};
