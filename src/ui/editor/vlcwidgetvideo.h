#pragma once
// The widget a VlcMediaPlayer draws its picture into. Main thread only. It holds three stacked
// native X11 windows of its own size ("surfaces"): the player draws the file it plays into
// the front one and opens the next file into one beneath, then raises that one when it
// switches; the third takes a fresh player while the one before it is still being stopped. Deleting
// the widget first stops its player, because the video output must not outlive the window it draws
// into; deleting the player first is fine. When the surfaces get new native windows (the widget was
// moved into another window), the player is given them.
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

    static constexpr int kSurfaces = 3;

    // The native window of surface `index` (0 to kSurfaces - 1); created on first call.
    WId surface(int index);
    // Puts surface `index` in front of the other.
    void raiseSurface(int index);

protected:
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QPointer<VlcMediaPlayer> m_player;
    QWidget *m_surfaces[kSurfaces] = {nullptr, nullptr, nullptr};
    int m_front = 0;
    bool m_surfacesChanging = false;  // a hand-over of new surface windows is queued
};
