#pragma once
// The window of page lessons: the whiteboard's, and (as RecordPptWidget) the slide show's. A
// board (WhiteboardView) above a row of recording controls, page controls and the drawing
// tools (the whiteboard adds a new page and the board's background). Records the board's own
// pictures (WhiteboardRenderer into a ScenePictureSource: the page, or the slide as the agent
// rendered it, with the ink, the tools and the pointer over it; nothing grabbed from the
// screen, so neither a desktop question nor a compositing manager is needed and no window
// passing over the board is recorded) with the microphone into a new clip inserted at the
// editor's playhead, and starts a further clip titled after the page whenever the page changes
// while recording. A failed recording puts the project's clip list back as it was when the
// window opened; closing during the count-down takes the new clip out again and closes.
// Lives in a BaseWindow; main thread only.
#include "core/project/avdata.h"
#include "ui/base/basewindowinterface.h"
#include "ui/board/countdownwidget.h"

#include <QList>
#include <QPointer>
#include <QTime>
#include <QWidget>

#include <memory>

class BoardToolsWidget;
class CameraControl;
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
    BoardToolsWidget *drawTools() const { return ui.view_draw_tools; }
    // Draws the recording's pictures; made when the recording is prepared (null before).
    WhiteboardRenderer *renderer() const { return m_renderer; }
    // The count-down shown between "开始" and the start of the recording (null otherwise).
    CountDownWidget *countDown() const { return m_countDown; }
    // The teacher's camera over the board.
    CameraControl *camera() const { return m_camera; }

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
        QToolButton *btn_camera = nullptr;
        QLabel *label_record_time = nullptr;
        BoardToolsWidget *view_draw_tools = nullptr;
    };
    const Ui &form() const { return ui; }

protected:
    // A page lesson on `board`, shown in the window as `area` (the board itself, or a widget
    // holding it); the camera's place is remembered for windows of `cameraKind`.
    RecordWhiteboardWidget(QWidget *area, WhiteboardView *board, const QString &cameraKind,
                           QWidget *parent);

    // The title of the clip of page `pageNo`.
    virtual QString pageTitle(int pageNo) const;
    // The file name of the recording's first clip.
    virtual QString recordingFileName() const;
    // False when the board cannot be recorded yet ("开始" then waits: call startRecording
    // once it can).
    virtual bool readyToRecord() { return true; }
    // False when page `pageNo` cannot be shown yet (call turnToPage again once it can).
    virtual bool pageReady(int /*pageNo*/) { return true; }
    // Page `pageNo` is shown now.
    virtual void pageShown(int /*pageNo*/) {}

    // Shows page `pageNo` (0: a new page after the current one), starting its clip while
    // recording.
    void turnToPage(int pageNo);
    void updatePageLabel();
    // A line on the bar, as the recording's own warnings are.
    void showBarWarning(const QString &text);
    // recordwhiteboardrecording.cpp
    void on_btn_play_clicked();
    // Asks first when there is no microphone, then beginRecording: the clip and the count-down.
    void startRecording();

    Ui ui;

private:
    void setupUi(QWidget *area);
    // The keys that work from any window act on this window's controls and tools.
    void connectKeys();
    // recordwhiteboardrecording.cpp
    void on_btn_pause_clicked();
    void on_btn_stop_clicked();
    void beginRecording();
    void onCountDownFinished();
    void cancelCountDown();
    void updateRecordTime();

    bool eventFilter(QObject *watched, QEvent *event) override;
    void placeCamera();

    CameraControl *m_camera = nullptr;
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
