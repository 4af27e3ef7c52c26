#pragma once
// The full-screen selection window: freezes the screen under the mouse, dims it and lets the
// teacher draw the rectangle to record (ScreenGraphicsItem). Escape or "取消" cancels; "开始录制"
// hands the rectangle on (device-independent pixels of that screen, (0, 0) at its top-left)
// and the window closes 100 ms later. Deleted on close. Main thread only.
#include <QPixmap>
#include <QPointer>
#include <QScreen>
#include <QWidget>

class QGraphicsScene;
class QGraphicsView;
class QScreen;
class ScreenGraphicsItem;

class RecordScreenSelectWidget : public QWidget
{
    Q_OBJECT
public:
    explicit RecordScreenSelectWidget(QWidget *parent = nullptr);

    // The screen that was frozen; the recording window goes there.
    QScreen *grabbedScreen() const { return m_screen; }
    ScreenGraphicsItem *selectionItem() const { return m_item; }
    const QPixmap &screenPixmap() const { return m_screenPixmap; }

signals:
    void sig_Cancel();
    void sig_StartRecord(QRectF selectArea);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    QPixmap m_screenPixmap;
    QGraphicsView *m_view = nullptr;
    QGraphicsScene *m_scene = nullptr;
    ScreenGraphicsItem *m_item = nullptr;
    QPointer<QScreen> m_screen;
};
