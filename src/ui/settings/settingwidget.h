#pragma once
// The settings window: a menu list on the left (its entries "软件版本", "声音", "语言",
// "快捷键" and "摄像头") and the pages on the right, under a title bar that drags the window and
// closes it. Built and shown by its caller (the home page, the editor); deletes itself when closed.
// Main thread only.
#include <QPoint>
#include <QWidget>

class CameraSettingsWidget;
class KeysSettingsWidget;
class LanguageSettingsWidget;
class QListWidget;
class QListWidgetItem;
class QStackedWidget;
class SoundSettingsWidget;
class VersionWidget;

class SettingWidget : public QWidget
{
    Q_OBJECT
public:
    explicit SettingWidget(QWidget *parent = nullptr);

    VersionWidget *versionWidget() const { return m_versionWidget; }
    SoundSettingsWidget *soundWidget() const { return m_soundWidget; }
    LanguageSettingsWidget *languageWidget() const { return m_languageWidget; }
    KeysSettingsWidget *keysWidget() const { return m_keysWidget; }
    CameraSettingsWidget *cameraWidget() const { return m_cameraWidget; }

protected:
    void paintEvent(QPaintEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildForm();
    void slot_current_item_changed(QListWidgetItem *current, QListWidgetItem *previous);

    QListWidget *m_menu = nullptr;
    QWidget *m_titleView = nullptr;
    QStackedWidget *m_pages = nullptr;
    VersionWidget *m_versionWidget = nullptr;
    SoundSettingsWidget *m_soundWidget = nullptr;
    LanguageSettingsWidget *m_languageWidget = nullptr;
    KeysSettingsWidget *m_keysWidget = nullptr;
    CameraSettingsWidget *m_cameraWidget = nullptr;
    QPoint m_dragAnchor{-1, -1};
};
