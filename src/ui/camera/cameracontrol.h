#pragma once
// CameraControl: the camera of one recording window. Opens the camera chosen in the settings
// (off the main thread: a camera may take seconds to answer) when the teacher turns it on — at
// once when "录制时显示摄像头" is set — shows it live over the recorded picture where it will be
// in the file (a CameraPreview the teacher drags and resizes, remembered per kind of window),
// and tells the recorder where and whether to lay it on (CameraPlacement), so that turning it
// on or off, or moving it, reaches the file from that moment. Main thread only.
#include "core/camera/camerasettings.h"
#include "ui/camera/camerapreview.h"

#include <QObject>
#include <QPointer>
#include <QRect>

#include <functional>
#include <memory>

class CameraFeed;
class CameraPlacement;

class ScreenRecord;
class QWidget;

class CameraControl : public QObject
{
    Q_OBJECT
public:
    // `kind` names the kind of window ("screen", "board", "slides"); the preview is a child of
    // `previewParent`.
    CameraControl(const QString &kind, QWidget *previewParent, QObject *parent = nullptr);
    ~CameraControl() override;

    // Where the recorded picture shows in the preview's parent, and its size in pixels.
    void setArea(const QRect &area, const QSize &pictureSize);
    // Whether the teacher wants the camera now (it shows once it is open).
    bool isOn() const { return m_on; }
    void setOn(bool on);
    void toggle() { setOn(!m_on); }
    // The camera is open and shows.
    bool isShowing() const;
    CameraPreview *preview() const { return m_preview; }
    std::shared_ptr<CameraPlacement> placement() const { return m_placement; }
    // Why the camera could not be opened (empty: it could, or was not tried).
    QString openError() const { return m_error; }

    // Before the count-down: `go(true)` at once, unless the camera is wanted and cannot be
    // opened; then the teacher is asked ("无法打开摄像头…" with the reason) whether to record
    // without it (`go(true)`, the camera off) or not at all (`go(false)`). Waits for a camera
    // that is still being opened.
    void confirmBeforeRecording(QWidget *dialogParent, std::function<void(bool go)> go);
    // The recorder lays the camera onto its pictures while it shows.
    void attach(ScreenRecord *recorder);

    // The question confirmBeforeRecording asks.
    static QString cannotOpenText(const QString &reason);

signals:
    void sig_OnChanged(bool on);
    // Opening finished (isShowing() tells how).
    void sig_Opened();
    // A line for the window's bar (the camera could not be opened, or stopped).
    void sig_Message(const QString &text);

private:
    void open();
    void onOpened(std::shared_ptr<CameraFeed> feed, const QString &error);
    void publish();

    QString m_kind;
    CameraSettings m_settings;
    CameraPlace m_place;
    QPointer<CameraPreview> m_preview;
    std::shared_ptr<CameraPlacement> m_placement;
    std::shared_ptr<CameraFeed> m_feed;
    bool m_on = false;
    bool m_opening = false;
    QString m_error;
};
