#pragma once
// The screen recording window: covers the screen, frames the chosen rectangle, lays the
// drawing canvas over it, counts down three seconds and records the rectangle (inside the
// frame) into a new clip of the project inserted at the playhead, with the control bar under
// the rectangle. It closes itself (and is deleted) once the recording is finished or failed,
// after emitting sig_Record_Finish; a failure puts the project's clip list back as it was.
//
// On X11 the window is shaped to what it shows and what takes the pointer: the frame, the
// control bar, the count-down and, while a drawing tool is chosen, the canvas. The rest of the
// screen stays the desktop, visible and usable. Without a compositing manager the canvas
// could only be opaque, so drawing is then unavailable and the bar says so.
//
// On a Wayland desktop the desktop portal is asked for the screen before the count-down
// (ScreenCastSource); when the teacher refuses or there is no portal the window says why and
// closes with the project unchanged.
//
// Main thread only (the engine reports back to it through queued signals).
#include "core/project/avdata.h"

#include <QList>
#include <QPointer>
#include <QRect>
#include <QWidget>

class BoardCanvas;
class CameraControl;
class CountDownWidget;
class RecordHealth;
class RecordScreenCtrlWidget;
class ScreenCastSource;
class ScreenRecord;

class RecordScreenWidget : public QWidget
{
    Q_OBJECT
public:
    // Seconds counted down before the recording starts.
    static constexpr int kCountDownSeconds = 3;

    // `selectArea` is in device-independent pixels of `screen` (its top-left at (0, 0)); null:
    // the screen under the mouse, where the selection was made. The new clip goes `insertTime`
    // ms into `clipTemplate` (normally ProjectData::clipAt of the playhead), splitting it
    // there; -1 appends it.
    RecordScreenWidget(const QRectF &selectArea, const AVData &clipTemplate, qint64 insertTime,
                       QWidget *parent = nullptr, QScreen *screen = nullptr);
    ~RecordScreenWidget() override;

    // Where the control bar of `barSize` goes for `selectArea` on a screen whose last row is
    // `screenBottom`: under the area, right-aligned, when it fits; else inside it at the bottom.
    static QPoint ctrlWidgetPos(const QRectF &selectArea, const QSize &barSize, int screenBottom);

    QRect recordArea() const { return m_rect; }
    // The rectangle handed to the engine, in the X server's pixels.
    QRect serverRecordRect() const;
    bool drawingAvailable() const { return m_composited; }
    RecordScreenCtrlWidget *ctrlWidget() const { return m_ctrlWidget; }
    CountDownWidget *countDown() const { return m_countDown; }
    BoardCanvas *canvas() const { return m_canvas; }
    ScreenRecord *recorder() const { return m_recorder; }
    // The clip the recording goes into.
    AVData recordClip() const { return m_clip; }

signals:
    void sig_Record_Finish();

protected:
    void paintEvent(QPaintEvent *event) override;
    // A close asked for from outside (the window manager) ends the recording the way the stop
    // button does; the window closes once the file is finished.
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Inserts the clip, opens the recording and counts down.
    void startCountDown();
    void prepareRecord();
    void connectBoard();
    // The keys that work from any window act on this window's bar and tools.
    void connectKeys();
    void connectCamera();
    // Shapes the window to the frame, the bar, the count-down and the canvas while drawing.
    void updateMask();
    QRegion frameRegion() const;
    void finish(bool failed);

    QRect m_rect;
    RecordScreenCtrlWidget *m_ctrlWidget = nullptr;
    CountDownWidget *m_countDown = nullptr;
    ScreenRecord *m_recorder = nullptr;
    BoardCanvas *m_canvas = nullptr;
    QList<AVData> m_savedAvDatas;
    AVData m_clipTemplate;
    qint64 m_insertTime = -1;
    AVData m_clip;
    QPointer<QScreen> m_screen;
    bool m_composited = false;
    bool m_finished = false;
    RecordHealth *m_health = nullptr;
    CameraControl *m_camera = nullptr;
    bool m_stoppedForDisk = false;
    ScreenCastSource *m_screenCast = nullptr;  // on a Wayland desktop
};
