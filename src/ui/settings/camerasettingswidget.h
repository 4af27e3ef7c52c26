#pragma once
// The settings page's "摄像头" section: the cameras found (none: "没有找到摄像头" and why), a
// live preview of the chosen one while the page shows, "录制时显示摄像头", the shape (圆形 /
// 圆角矩形), the size (小 / 中 / 大) and whether the preview, and the file too, show the camera
// as in a mirror. Every change is kept in "conf.ini" at once (CameraSettings) and used by the
// next recording window. The cameras are looked for, and the chosen one opened, off the main
// thread; the camera is let go while the page is hidden. Main thread only.
#include "core/camera/camerasettings.h"

#include <QList>
#include <QWidget>

#include <memory>

class CameraFeed;
class CameraPreview;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;

class CameraSettingsWidget : public QWidget
{
    Q_OBJECT
public:
    explicit CameraSettingsWidget(QWidget *parent = nullptr);
    ~CameraSettingsWidget() override;

    // Looks for the cameras again (done when the page is first shown).
    void refreshCameras();
    bool isLoading() const { return m_loading; }
    QComboBox *cameraBox() const { return m_cameras; }
    CameraPreview *preview() const { return m_preview; }

signals:
    // The list of cameras has been filled.
    void camerasListed();
    // The chosen camera was opened for the preview, or could not be.
    void previewOpened();

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void buildForm();
    void fill(const QList<CameraInfo> &cameras, const QString &whyNone);
    void openChosen();
    void applyLook();

    QComboBox *m_cameras = nullptr;
    QLabel *m_none = nullptr;
    CameraPreview *m_preview = nullptr;
    QCheckBox *m_show = nullptr;
    QButtonGroup *m_shapes = nullptr;
    QButtonGroup *m_sizes = nullptr;
    QCheckBox *m_mirror = nullptr;
    QCheckBox *m_mirrorRecording = nullptr;
    QList<CameraInfo> m_found;
    CameraSettings m_settings;
    bool m_loading = false;
    bool m_listed = false;
    int m_opening = 0;  // preview openings under way; the last one counts
};
