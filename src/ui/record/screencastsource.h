#pragma once
// ScreenCastSource: where a recording window's picture comes from on a Wayland desktop. An X11
// grab sees nothing there, so before the count-down the window asks the desktop portal for the
// screen (the desktop asks the teacher; once, as it remembers the answer) and records the
// rectangle from the monitor's PipeWire stream (PipeWireSource). Every way it can fail ends
// in a text for the teacher, and the window records nothing. Main thread only.
#include <QObject>
#include <QPointer>
#include <QRect>

#include <memory>

class PictureSource;
class QScreen;
class QWidget;
class ScreenCastPortal;

class ScreenCastSource : public QObject
{
    Q_OBJECT
public:
    // True when recording windows must take the picture through the desktop portal.
    static bool needed();

    // `window` names the parent of the desktop's dialog and owns this object.
    explicit ScreenCastSource(QWidget *window);

    // Asks for the screen that holds `serverRect` (the X server's pixels; `screen` is the Qt
    // screen it is on). Ends with ready or failed, once.
    void request(const QRect &serverRect, const QScreen *screen);
    bool isAsking() const { return !m_portal.isNull() && !m_answered; }

signals:
    void ready(std::shared_ptr<PictureSource> source);
    void failed(const QString &text);

private:
    QWidget *m_window;
    QPointer<ScreenCastPortal> m_portal;
    bool m_answered = false;
};

// Tells the teacher why the recording did not start, in a box that does not block ("警告").
void showRecordWarning(const QString &text);
