#pragma once
// The widget a VlcMediaPlayer draws its picture into: a native X11 window that libvlc's video
// output fills. Main thread only. Deleting the widget first stops its player, because the
// video output must not outlive the window it draws into; deleting the player first is fine.
#include <QFrame>
#include <QPointer>

class VlcMediaPlayer;

class VlcWidgetVideo : public QFrame
{
    Q_OBJECT
public:
    explicit VlcWidgetVideo(QWidget *parent = nullptr);
    explicit VlcWidgetVideo(VlcMediaPlayer *player, QWidget *parent = nullptr);
    ~VlcWidgetVideo() override;

    // Attaches this widget to `player` (null detaches it from its current player).
    void setMediaPlayer(VlcMediaPlayer *player);
    VlcMediaPlayer *mediaPlayer() const;

    // The native window libvlc draws into; created on first call.
    WId request();

private:
    QPointer<VlcMediaPlayer> m_player;
};
